#include "HistoryProbe.h"
#include "TestStation.h"

#include "history/HistoryStore.h"
#include "history/RecordingTagSource.h"

using namespace corvane;
using namespace corvane::history;
using namespace corvane::test;

namespace {

const char *kPlc[] = {"DSData", "CVPlc"};

TagAddress plc(const QString &item)
{
    return {QString::fromLatin1(kPlc[0]), QString::fromLatin1(kPlc[1]), item};
}

} // namespace

class TestRecordingTagSource : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Each step: "<ms> <what> [item] [value]", run on virtual time from 10:00:00.000 UTC;
    // the recorder ends at 10:00:05.000.
    void recording_data()
    {
        const QString longest(64, u'v'), tooLong(65, u'w');
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("every item from the start, no screen needed")
                << QStringList{"0 set c27 0", "0 set x227 45.5", "100 set c27 1", "250 set c27 0"}
                << QStringList{"c27 2026-12-08T10:00:00.000Z 0",    "x227 2026-12-08T10:00:00.000Z 45.5",
                               "c27 2026-12-08T10:00:00.100Z 1",    "c27 2026-12-08T10:00:00.250Z 0",
                               "c27 2026-12-08T10:00:05.000Z NULL", "x227 2026-12-08T10:00:05.000Z NULL"};
        QTest::newRow("links opened and closed change nothing, manual or automatic")
                << QStringList{"0 set Enable 1",  "10 manual Enable", "10 open Enable", "20 open Enable",
                               "30 close Enable", "40 set Enable 0",  "50 set Enable 0"}
                << QStringList{"Enable 2026-12-08T10:00:00.000Z 1", "Enable 2026-12-08T10:00:00.040Z 0",
                               "Enable 2026-12-08T10:00:05.000Z NULL"};
        QTest::newRow("link down is a gap for every item; back, the values again")
                << QStringList{"0 set x227 45.5", "0 set a 1", "1500 down", "2000 set a 2", "4000 up"}
                << QStringList{"a 2026-12-08T10:00:00.000Z 1",    "x227 2026-12-08T10:00:00.000Z 45.5",
                               "a 2026-12-08T10:00:01.500Z NULL", "x227 2026-12-08T10:00:01.500Z NULL",
                               "a 2026-12-08T10:00:04.000Z 2",    "x227 2026-12-08T10:00:04.000Z 45.5",
                               "a 2026-12-08T10:00:05.000Z NULL", "x227 2026-12-08T10:00:05.000Z NULL"};
        QTest::newRow("value text kept as received; names up to 64 characters")
                << QStringList{"0 set s  007,50 ", "0 set " + longest + " 1", "0 set " + tooLong + " 1"}
                << QStringList{"s 2026-12-08T10:00:00.000Z  007,50 ", longest + " 2026-12-08T10:00:00.000Z 1",
                               "s 2026-12-08T10:00:05.000Z NULL", longest + " 2026-12-08T10:00:05.000Z NULL"};
    }
    void recording()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, rows);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("history.sqlite"));
        VirtualScheduler scheduler;
        InProcessServer server(scheduler);
        server.setValue({QStringLiteral("Other"), QStringLiteral("CVPlc"), QStringLiteral("c27")}, QStringLiteral("9"));
        QStringList delivered;
        {
            HistoryStore store({path, 90, [](const QString &) {}});
            {
                RecordingTagSource tags(server, &store, [&] { return kT0 + scheduler.elapsedMs(); });
                QVERIFY(tags.isRecording());
                QMultiHash<QString, LinkId> links;
                for (const QString &step : std::as_const(steps)) {
                    const QStringList w = step.split(u' ');
                    scheduler.advance(w[0].toLongLong() - scheduler.elapsedMs());
                    const QString what = w[1];
                    if (what == u"set")
                        server.setValue(w[2], step.section(u' ', 3));
                    else if (what == u"open" || what == u"manual") {
                        const auto id = tags.open(
                                plc(w[2]), what == u"open" ? LinkMode::Automatic : LinkMode::Manual,
                                [&delivered, item = w[2]](const QString &v) { delivered << item + u'=' + v; });
                        QVERIFY(id);
                        links.insert(w[2], *id);
                    } else if (what == u"close") {
                        const LinkId id = links.value(w[2]);
                        links.remove(w[2], id);
                        tags.close(id);
                    } else if (what == u"down" || what == u"up") {
                        server.setPresent(what == u"up");
                    } else {
                        QFAIL(qPrintable(step));
                    }
                    scheduler.advance(0);
                }
                scheduler.advance(5000 - scheduler.elapsedMs());
            }
            store.flush();
            QCOMPARE(historyRows(path), rows);
        }
        // The screens see every delivery.
        QCOMPARE(delivered.isEmpty(), steps.filter(QStringLiteral(" open ")).isEmpty());
    }

    // A data server gone wrong: the first 10 000 items are recorded, the rest are not,
    // with one warning.
    void tooManyItemsOneWarning()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("history.sqlite"));
        VirtualScheduler scheduler;
        InProcessServer server(scheduler);
        QStringList warnings;
        HistoryStore store({path, 90, [&](const QString &w) { warnings << w; }});
        RecordingTagSource tags(server, &store);
        for (int i = 0; i < 10'050; ++i)
            server.setValue(QStringLiteral("v%1").arg(i), QStringLiteral("1"));
        scheduler.advance(0);
        store.flush();
        QCOMPARE(historyAnswer(path, "SELECT count(DISTINCT item) FROM history"), QStringLiteral("10000"));
        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings[0].contains(QStringLiteral("10000 items")), qPrintable(warnings[0]));
    }

    // A screen on the recorder sees what a screen on the real source sees, repeats included.
    void forwardsUnchanged()
    {
        QTemporaryDir dir;
        VirtualScheduler scheduler;
        InProcessServer server(scheduler);
        HistoryStore store({dir.filePath(QStringLiteral("h.sqlite")), 90, [](const QString &) {}});
        RecordingTagSource tags(server, &store);
        QSignalSpy states(&tags, &TagSource::linkStateChanged);
        server.setValue(QStringLiteral("c27"), QStringLiteral("0"));
        QStringList viaRecorder, direct;
        const auto id = tags.open(plc(QStringLiteral("c27")), LinkMode::Automatic,
                                  [&](const QString &v) { viaRecorder << v; });
        const auto other = tags.open(plc(QStringLiteral("c27")), LinkMode::Automatic, [](const QString &) {});
        QVERIFY(server.open(plc(QStringLiteral("c27")), LinkMode::Automatic, [&](const QString &v) { direct << v; }));
        QVERIFY(id && other);
        QVERIFY(viaRecorder.isEmpty()); // posted, never inside open
        scheduler.advance(0);
        QVERIFY(tags.poke(*id, QStringLiteral("1")));
        QVERIFY(tags.setTimeout(*id, 50));
        scheduler.advance(0);
        QCOMPARE(server.pokes(QStringLiteral("c27")), QStringList{QStringLiteral("1@0")});
        server.setPresent(false);
        QVERIFY(!tags.isLinkUp());
        QVERIFY(!tags.open(plc(QStringLiteral("c28")), LinkMode::Automatic, [](const QString &) {}));
        server.setPresent(true);
        scheduler.advance(0);
        QCOMPARE(states.size(), 2);
        tags.close(*id);
        server.setValue(QStringLiteral("c27"), QStringLiteral("5"));
        scheduler.advance(0);
        direct.removeLast(); // the "5" the closed link no longer gets
        QCOMPARE(viaRecorder, direct);
        QVERIFY(viaRecorder.size() >= 3);
    }
};

CORVANE_TEST_MAIN(TestRecordingTagSource)
#include "tst_recordingTagSource.moc"
