// A screen opened and closed all day (the porter screen pops up on every call and
// closes itself when the porter clicks elsewhere) must leave nothing behind: no
// widget, no link, no pending delivery, and the demo's server keeps no log of it.

#include "TestStation.h"

#include <QApplication>

using namespace corvane;
using namespace corvane::test;

class TestReloadCycles : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void nothingIsLeftAfterReloads_data()
    {
        QTest::addColumn<QString>("form");
        TestStation t;
        for (const QString &form : t.screens().formNames()) {
            if (form != u"frmCVCarmain" && form != u"frmSelect")
                QTest::newRow(qPrintable(form)) << form;
        }
    }

    void nothingIsLeftAfterReloads()
    {
        QFETCH(QString, form);
        TestStation t;
        t.server.setRecording(false);
        t.screens().show(QStringLiteral("frmCVCarmain"));
        t.advance(1000);
        // A screen the main screen keeps loaded unloads only with it: cycle the main
        // screen too, or its rows would never unload at all.
        const bool stays = t.screens().isLoaded(form);
        const QString unloaded = stays ? QStringLiteral("frmCVCarmain") : form;
        auto cycle = [&] {
            t.screens().show(QStringLiteral("frmCVCarmain"));
            t.screens().show(form);
            t.advance(500);
            QVERIFY(t.screens().isLoaded(form));
            t.screens().unload(unloaded);
            t.advance(10);
            QVERIFY(!t.screens().isLoaded(form));
            // What the event loop does between two events; tests have no loop of their own.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        };
        cycle();
        if (QTest::currentTestFailed())
            return;
        const qsizetype widgets = QApplication::allWidgets().size();
        const int links = t.server.openLinkCount();
        for (int i = 0; i < 20; ++i)
            cycle();
        QCOMPARE(QApplication::allWidgets().size(), widgets);
        QCOMPARE(t.server.openLinkCount(), links);
        QCOMPARE(t.scheduler.pendingPosts(), 0);
        QVERIFY(t.server.operations().isEmpty());
    }
};

CORVANE_TEST_MAIN(TestReloadCycles)
#include "tst_reloadCycles.moc"
