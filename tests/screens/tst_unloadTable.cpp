// A screen added to the station needs a row in the main car screen's unload table;
// without one it stays loaded, hidden, when the main screen closes, and with it the
// program, which ends only when no screen is loaded.

#include "TestStation.h"

using namespace corvane;
using namespace corvane::test;

namespace {
const QString kMain = QStringLiteral("frmCVCarmain");
const QString kSelect = QStringLiteral("frmSelect");
} // namespace

class TestUnloadTable : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void closingTheMainScreenUnloadsEveryRegisteredScreen_data()
    {
        QTest::addColumn<QString>("form");
        TestStation t;
        for (const QString &form : t.screens().formNames()) {
            if (form != kMain && form != kSelect)
                QTest::newRow(qPrintable(form)) << form;
        }
    }

    void closingTheMainScreenUnloadsEveryRegisteredScreen()
    {
        QFETCH(QString, form);
        TestStation t;
        t.screens().show(kSelect);
        t.screens().show(kMain);
        t.advance(1000);
        QVERIFY(t.screens().load(form));
        t.settle();

        t.screens().unload(kMain);
        t.settle();
        QVERIFY2(!t.screens().isLoaded(form), "still loaded: missing from the main screen's unload table");
        QVERIFY(t.screens().isLoaded(kSelect)); // the car-selection window stays
        QCOMPARE(t.screens().loadedCount(), 1);
    }
};

CORVANE_TEST_MAIN(TestUnloadTable)
#include "tst_unloadTable.moc"
