#include "TestStation.h"

#include <QPushButton>

using namespace corvane;
using namespace corvane::test;

namespace {
const QString kBlowIO = QStringLiteral("frmOvrhdBlowIO");

// Takes the place of a blower speed screen that has not landed in this build.
class StandIn : public Screen
{
public:
    StandIn(Station &s, const QString &name)
        : Screen(s, name, name)
    {
    }

protected:
    void build(QWidget *form) override { makeButton(form, QStringLiteral("cmdOk"), QStringLiteral("OK")); }
};
} // namespace

class TestFrmOvrhdBlowIO : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void aSpeedButtonLeavesItsSpeedScreenOpenAndThisOneClosed_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("form");
        QTest::newRow("A end") << "cmdAOHBloSpds"
                               << "A End Overhead Blower Speeds"
                               << "frmBlowASpeeds";
        QTest::newRow("B end") << "cmdBOHBloSpds"
                               << "B End Overhead Blower Speeds"
                               << "frmBlowBSpeeds";
        QTest::newRow("dome") << "cmdDmOHBloSpds"
                              << "Dome Overhead Blower Speeds"
                              << "frmBlowDmSpeeds";
    }
    void aSpeedButtonLeavesItsSpeedScreenOpenAndThisOneClosed()
    {
        QFETCH(QString, button);
        QFETCH(QString, caption);
        QFETCH(QString, form);
        TestStation t;
        if (!t.screen(form))
            t.screens().add(std::make_unique<StandIn>(*t.station, form));
        t.screens().show(kBlowIO);
        TestStation::activate(t.screen(kBlowIO)->window());
        QCOMPARE(t.captionOf(kBlowIO, button), caption);
        // The buttons stand in a column right of the frame.
        QVERIFY(t.control(kBlowIO, button)->x() > t.control(kBlowIO, "fraOHBlowIO")->geometry().right());
        t.control<QPushButton>(kBlowIO, button)->click();
        QVERIFY(t.screens().isLoaded(form));
        TestStation::activate(t.screen(form)->window()); // activation moves to the speed screen
        QVERIFY(t.screens().isLoaded(form));
        QVERIFY(!t.screens().isLoaded(kBlowIO));
    }
};

CORVANE_TEST_MAIN(TestFrmOvrhdBlowIO)
#include "tst_frmOvrhdBlowIO.moc"
