// The station killed (SIGKILL) in the middle of an alarm flood, four times over the
// same log: every line in the file stays whole, and every line the station had shown
// is in it, in order. The next run appends after the dead one's last line. Its value
// history stays a sound file that lost at most the last second, of values and alarm
// lines alike, also when no value changed for a while before the kill.
#include "FloodKit.h"
#include "HistoryProbe.h"
#include "Sanitizer.h"
#include "TestStation.h"

#include "history/HistoryStore.h"

#include <algorithm>
#include <csignal>

using namespace corvane;
using namespace corvane::test;

namespace {
// The history's writer commits at least once a second; a kill takes what it had not
// committed yet. Counted from what the station had shown, so the flood's way through
// the broker is not part of it; the writer runs at a lower priority than the screens.
const int kHistoryLossMs = 1000 + int(measuredBound(500));

int shownLines(const StationProcess &station)
{
    const QStringList out = station.stdoutLines();
    return int(std::count_if(out.begin(), out.end(), [](const QString &l) { return l.startsWith(u"alarm: "); }));
}
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
            int shownKept = 0; // lines shown long enough before the kill to be committed
            if (ms > kHistoryLossMs) {
                QTest::qWait(ms - kHistoryLossMs);
                shownKept = shownLines(station);
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
            if (ms > kHistoryLossMs) {
                // Every value behind a line shown before the last second: the retained
                // one, then one per line after the first delivery's.
                for (int i = 0; i < int(floodItems().size()); ++i) {
                    const FloodItem &item = floodItems()[size_t(i)];
                    const int lines = int(std::count_if(run.lines.begin(), run.lines.begin() + shownKept,
                                                        [i](const LogLine &l) { return l.item == i; }));
                    const QByteArray count
                            = "select count(value) from history where item = '" + QByteArray(item.item) + "'";
                    const int values = historyAnswer(history, count.constData()).toInt();
                    QVERIFY2(values >= lines - expectedLines(item, 0) + 1,
                             qPrintable(QStringLiteral("%1: %2 values, %3 lines shown")
                                                .arg(QLatin1String(item.item))
                                                .arg(values)
                                                .arg(lines)));
                }
                // And every line shown before the last second, in order.
                const QStringList recorded
                        = historyQuery(history, "select text from alarm_lines order by seq", 1).mid(0, shownKept);
                QCOMPARE(recorded, shown.mid(0, shownKept));
            }
            qInfo("killed after %d ms of flood: %lld lines shown, %lld in the file, %d shown a second before the kill",
                  ms, static_cast<long long>(shown.size()), static_cast<long long>(run.lines.size()), shownKept);
        }
        const ParsedLog all = parseAlarmLog(log);
        QVERIFY2(all.problems.isEmpty(), qPrintable(all.problems.mid(0, 5).join(u'\n')));
    }

    // Killed after values stood still for a while: the next start ends every line at
    // most a second before the kill, not at the last change.
    void steadyValuesLoseAtMostTheLastSecond()
    {
        Broker broker({}, noDropBrokerConfig());
        QVERIFY(broker.start());
        FloodPublisher publisher(broker);
        QVERIFY(publisher.connect());
        QVERIFY(publisher.publishInitial());
        QTemporaryDir dir(QDir::current().filePath(QStringLiteral("kill-XXXXXX")));
        const QString history = dir.filePath(QStringLiteral("history.sqlite"));
        {
            StationProcess station(broker, dir.filePath(QStringLiteral("alarm_log.txt")),
                                   {QStringLiteral("--history"), history});
            QTRY_VERIFY_WITH_TIMEOUT(station.linkUp(), 20'000);
            const QByteArray recorded = "select count(distinct item) from history where value is not null";
            QTRY_COMPARE_WITH_TIMEOUT(historyAnswer(history, recorded.constData()).toInt(), int(floodItems().size()),
                                      20'000);
            QTest::qWait(4000);
            const qint64 killedAt = QDateTime::currentMSecsSinceEpoch();
            station.signal(SIGKILL);
            QCOMPARE(station.waitForExit(), -1);
            // The next start closes what the dead run left open.
            {
                history::HistoryStore store({history, 90, [](const QString &) {}});
            }
            const QByteArray ended = "select min(t_ms) from samples where value is null";
            const qint64 gapAt = historyAnswer(history, ended.constData()).toLongLong();
            QVERIFY2(gapAt >= killedAt - kHistoryLossMs,
                     qPrintable(QStringLiteral("gap %1 ms before the kill").arg(killedAt - gapAt)));
        }
    }
};

CORVANE_TEST_MAIN(TestKill)
#include "tst_kill.moc"
