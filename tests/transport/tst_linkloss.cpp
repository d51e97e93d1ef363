// What the station does when the data server's link goes and comes back, on any
// transport (here the in-process server, in virtual time): the DSDATA alarm lines,
// the " [NO DATA]" captions and the "Status" item.
#include "TestStation.h"

#include "core/alarm/AlarmLogger.h"
#include "screens/AllScreens.h"

using namespace corvane;
using namespace corvane::test;

namespace {
const QString kSelect = QStringLiteral("frmSelect");
const QString kMain = QStringLiteral("frmCVCarmain");
const QString kFault = QStringLiteral("FAULT DSDATA Data Server Link Lost  14:03:%1 06/21/2004");
const QString kClear = QStringLiteral("CLEAR DSDATA Data Server Link Lost  14:03:%1 06/21/2004");

QStringList dsdataLines(const TestStation &t)
{
    return t.alarmLogLines().filter(QStringLiteral(" DSDATA "));
}

QString title(const TestStation &t, const QString &form)
{
    Screen *s = t.screen(form);
    return s && s->window() ? s->window()->windowTitle() : QStringLiteral("<not loaded>");
}
} // namespace

class TestLinkLoss : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void lossAndReturnWhileTheMainScreenIsLoaded()
    {
        TestStation t;
        t.server.setValue(QStringLiteral("Status"), QStringLiteral("1"));
        t.screens().show(kSelect);
        t.screens().show(kMain);
        t.advance(1000);
        QCOMPARE(t.captionOf(kSelect, "cmdCV"), QStringLiteral("Corvane Link Active"));

        t.server.setPresent(false);
        t.advance(200);
        QCOMPARE(dsdataLines(t), QStringList{kFault.arg("01")});
        QCOMPARE(title(t, kSelect), QStringLiteral(" Ordovan [NO DATA]"));
        QCOMPARE(title(t, kMain), QStringLiteral("Corvane Main Interface [NO DATA]"));
        QCOMPARE(t.link(kSelect, "lblCVDSDataStatus")->value(), QStringLiteral("0"));
        QCOMPARE(t.captionOf(kSelect, "cmdCV"), QStringLiteral("Corvane Link NOT Active"));
        t.server.setPresent(false); // no news: nothing more
        t.advance(2000);
        QCOMPARE(dsdataLines(t).size(), 1);

        t.server.setPresent(true);
        t.advance(200);
        QCOMPARE(dsdataLines(t), QStringList({kFault.arg("01"), kClear.arg("03")}));
        QCOMPARE(title(t, kSelect), QStringLiteral(" Ordovan"));
        QCOMPARE(title(t, kMain), QStringLiteral("Corvane Main Interface"));
        QCOMPARE(t.captionOf(kSelect, "cmdCV"), QStringLiteral("Corvane Link Active"));
    }

    void nothingWhileTheMainScreenIsNotLoaded()
    {
        TestStation t;
        t.screens().show(kSelect);
        t.server.setPresent(false);
        t.advance(1000);
        t.server.setPresent(true);
        t.advance(1000);
        QVERIFY(dsdataLines(t).isEmpty());
    }

    void mainScreenLoadedDuringAnOutage()
    {
        TestStation t;
        t.screens().show(kSelect);
        t.advance(1000);
        t.server.setPresent(false);
        t.advance(1000);
        t.screens().show(kMain);
        t.settle();
        QCOMPARE(dsdataLines(t), QStringList{kFault.arg("02")});
        // The line came after the load: the fresh alarm list holds it too.
        QVERIFY(t.alarmListLines().contains(kFault.arg("02")));
        t.advance(1000);
        t.server.setPresent(true);
        t.settle();
        QCOMPARE(dsdataLines(t), QStringList({kFault.arg("02"), kClear.arg("03")}));
    }

    void noLossBeforeTheFirstConnection()
    {
        VirtualScheduler scheduler;
        InProcessServer server(scheduler);
        server.setPresent(false); // the station starts before its data server
        QTemporaryDir dir;
        Station station(scheduler, server, dir.filePath(QStringLiteral("alarm_log.txt")));
        registerAllScreens(station);
        station.screens().show(kMain);
        scheduler.advance(1000);
        server.setPresent(true);
        scheduler.advance(1000);
        QFile log(station.alarms().path());
        QVERIFY(!log.exists() || (log.open(QIODevice::ReadOnly) && !log.readAll().contains("DSDATA")));
        station.shutDown();
    }

    void aClearOnlyFollowsItsFault()
    {
        TestStation t;
        t.screens().show(kMain);
        t.advance(1000);
        t.server.setPresent(false);
        t.settle();
        t.screens().unload(kMain);
        t.server.setPresent(true);
        t.settle();
        t.screens().show(kMain);
        t.advance(1000);
        QCOMPARE(dsdataLines(t), QStringList{kFault.arg("01")});
    }

    void statusReadsZeroAlsoWhenReopenedDuringAnOutage()
    {
        TestStation t;
        t.server.setValue(QStringLiteral("Status"), QStringLiteral("1"));
        t.screens().show(kSelect);
        t.settle();
        Link *status = t.link(kSelect, "lblCVDSDataStatus");
        QCOMPARE(status->value(), QStringLiteral("1"));
        status->setLinkMode(LinkMode::None);
        t.server.setPresent(false);
        t.settle();
        QCOMPARE(status->value(), QStringLiteral("1")); // a closed link follows nothing
        status->setLinkMode(LinkMode::Automatic);       // fails: the server is away
        QCOMPARE(status->value(), QStringLiteral("0"));
    }

    void aSecondOutageAfterTheMainScreenClosedDuringTheFirstStillFaults()
    {
        TestStation t;
        t.screens().show(kMain);
        t.advance(1000);
        t.server.setPresent(false);
        t.settle();
        t.screens().unload(kMain); // its FAULT stays without a CLEAR
        t.server.setPresent(true);
        t.settle();
        t.screens().show(kMain);
        t.advance(1000);
        t.server.setPresent(false);
        t.settle();
        t.server.setPresent(true);
        t.settle();
        QCOMPARE(dsdataLines(t), QStringList({kFault.arg("01"), kFault.arg("02"), kClear.arg("02")}));
    }
};

CORVANE_TEST_MAIN(TestLinkLoss)
#include "tst_linkloss.moc"
