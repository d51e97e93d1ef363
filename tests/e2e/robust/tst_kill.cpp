// The station killed (SIGKILL) in the middle of an alarm flood, three times over the
// same log: every line in the file stays whole, and every line the station had shown
// is in it, in order. The next run appends after the dead one's last line.
#include "FloodKit.h"
#include "TestStation.h"

#include <csignal>

using namespace corvane;
using namespace corvane::test;

class TestKill : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void killedMidFloodLeavesOnlyWholeLinesAndEveryShownOne_data()
    {
        QTest::addColumn<QList<int>>("killAfterMs");
        QTest::newRow("three runs, killed at different moments") << QList<int>{400, 900, 1500};
    }
    void killedMidFloodLeavesOnlyWholeLinesAndEveryShownOne()
    {
        QFETCH(QList<int>, killAfterMs);
        Broker broker({}, noDropBrokerConfig());
        QVERIFY(broker.start());
        FloodPublisher publisher(broker);
        QVERIFY(publisher.connect());
        QVERIFY(publisher.publishInitial());
        QTemporaryDir dir(QDir::current().filePath(QStringLiteral("kill-XXXXXX")));
        const QString log = dir.filePath(QStringLiteral("alarm_log.txt"));
        int initial = 0;
        for (const FloodItem &item : floodItems())
            initial += expectedLines(item, 0);

        for (const int ms : killAfterMs) {
            const qint64 offset = QFileInfo(log).size();
            StationProcess station(broker, log, {QStringLiteral("--echo-alarms")});
            QTRY_VERIFY_WITH_TIMEOUT(station.linkUp(), 20'000);
            QTRY_COMPARE_WITH_TIMEOUT(qsizetype(parseAlarmLog(log, offset).lines.size()), qsizetype(initial), 20'000);
            publisher.start(std::chrono::milliseconds(20));
            QTest::qWait(ms);
            station.signal(SIGKILL);
            QCOMPARE(station.waitForExit(), -1);
            publisher.stop();
            QVERIFY(publisher.waitAcknowledged(10'000));

            const ParsedLog run = parseAlarmLog(log, offset);
            QVERIFY2(run.problems.isEmpty(), qPrintable(run.problems.mid(0, 5).join(u'\n')));
            const QStringList order = checkPerItem(run, publisher.toggles(), false);
            QVERIFY2(order.isEmpty(), qPrintable(order.mid(0, 5).join(u'\n')));

            QStringList shown;
            for (const QString &line : station.stdoutLines()) {
                if (line.startsWith(QLatin1String("alarm: ")))
                    shown << line.mid(7);
            }
            QVERIFY2(shown.size() > initial, "the flood never reached the screens");
            QVERIFY(qsizetype(run.lines.size()) >= shown.size());
            for (qsizetype i = 0; i < shown.size(); ++i)
                QCOMPARE(run.lines[size_t(i)].text, shown.at(i));
            qInfo("killed after %d ms of flood: %lld lines shown, %lld in the file", ms,
                  static_cast<long long>(shown.size()), static_cast<long long>(run.lines.size()));
        }
        const ParsedLog all = parseAlarmLog(log);
        QVERIFY2(all.problems.isEmpty(), qPrintable(all.problems.mid(0, 5).join(u'\n')));
    }
};

CORVANE_TEST_MAIN(TestKill)
#include "tst_kill.moc"
