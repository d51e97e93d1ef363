// The station killed (SIGKILL) in the middle of an alarm flood, four times over the
// same log: every line in the file stays whole, and every line the station had shown
// is in it, in order. The next run appends after the dead one's last line. Its value
// history stays a sound file that lost at most the last second.
#include "FloodKit.h"
#include "HistoryProbe.h"
#include "Sanitizer.h"
#include "TestStation.h"

#include <climits>
#include <csignal>

using namespace corvane;
using namespace corvane::test;

namespace {
// The history's writer commits at least once a second; a kill takes what it had not
// committed yet, and a value needs a moment to travel from the broker to the writer
// (more on two cores shared with other tests, the writer running at a lower priority).
const int kHistoryLossMs = 1000 + int(measuredBound(500));
} // namespace

class TestKill : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void killedMidFloodLeavesOnlyWholeLinesAndEveryShownOne_data()
    {
        QTest::addColumn<QList<int>>("killAfterMs");
        QTest::newRow("four runs, killed at different moments") << QList<int>{400, 900, 1500, 4000};
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
            const QString history = dir.filePath(QStringLiteral("history-%1.sqlite").arg(ms));
            StationProcess station(broker, log,
                                   {QStringLiteral("--echo-alarms"), QStringLiteral("--history"), history});
            QTRY_VERIFY_WITH_TIMEOUT(station.linkUp(), 20'000);
            QTRY_COMPARE_WITH_TIMEOUT(qsizetype(parseAlarmLog(log, offset).lines.size()), qsizetype(initial), 20'000);
            publisher.start(std::chrono::milliseconds(20));
            int togglesKept = 0; // published long enough before the kill to be committed
            if (ms > kHistoryLossMs) {
                QTest::qWait(ms - kHistoryLossMs);
                togglesKept = publisher.toggles();
                QTest::qWait(kHistoryLossMs);
            } else {
                QTest::qWait(ms);
            }
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
            // Killed within a second of its start, the station may not have made its
            // history yet: the writer had nothing to commit that it could not lose.
            if (ms > kHistoryLossMs || QFileInfo::exists(history))
                QCOMPARE(historyAnswer(history, "pragma integrity_check"), QStringLiteral("ok"));
            int fewest = -1;
            if (ms > kHistoryLossMs) {
                fewest = INT_MAX;
                for (const FloodItem &item : floodItems()) {
                    const QByteArray count
                            = "select count(value) from history where item = '" + QByteArray(item.item) + "'";
                    fewest = std::min(fewest, historyAnswer(history, count.constData()).toInt());
                }
                // The retained value at start, then every toggle but the last second's.
                QVERIFY2(fewest >= 1 + togglesKept,
                         qPrintable(QStringLiteral("%1 < 1 + %2").arg(fewest).arg(togglesKept)));
            }
            qInfo("killed after %d ms of flood: %lld lines shown, %lld in the file; history: at least %d values an "
                  "item, %d toggles published before the last %d ms",
                  ms, static_cast<long long>(shown.size()), static_cast<long long>(run.lines.size()), fewest,
                  togglesKept, kHistoryLossMs);
        }
        const ParsedLog all = parseAlarmLog(log);
        QVERIFY2(all.problems.isEmpty(), qPrintable(all.problems.mid(0, 5).join(u'\n')));
    }
};

CORVANE_TEST_MAIN(TestKill)
#include "tst_kill.moc"
