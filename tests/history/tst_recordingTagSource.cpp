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
    // Each step: "<ms> <what> [item] [value]", run on virtual time from 10:00:00.000 UTC.
    void recording_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("current value at open, then each change")
                << QStringList{"0 set c27 0", "0 open c27", "100 set c27 1", "250 set c27 0"}
                << QStringList{"c27 2026-12-08T10:00:00.000Z 0", "c27 2026-12-08T10:00:00.100Z 1",
                               "c27 2026-12-08T10:00:00.250Z 0"};
        QTest::newRow("two links of one item record each change once")
                << QStringList{"0 set c27 0", "0 open c27", "0 open c27", "40 set c27 1"}
                << QStringList{"c27 2026-12-08T10:00:00.000Z 0", "c27 2026-12-08T10:00:00.040Z 1"};
        QTest::newRow("link down is a gap; back, the value again")
                << QStringList{"0 set x227 45.5", "0 open x227", "1500 down", "4000 up"}
                << QStringList{"x227 2026-12-08T10:00:00.000Z 45.5", "x227 2026-12-08T10:00:01.500Z NULL",
                               "x227 2026-12-08T10:00:04.000Z 45.5"};
        QTest::newRow("gap for every watched item, none for a closed one")
                << QStringList{"0 set a 1", "0 set b 2", "0 open a", "0 open b", "10 close b", "20 down"}
                << QStringList{"a 2026-12-08T10:00:00.000Z 1", "b 2026-12-08T10:00:00.000Z 2",
                               "b 2026-12-08T10:00:00.010Z NULL", "a 2026-12-08T10:00:00.020Z NULL"};
        QTest::newRow("the item stays watched while one link remains")
                << QStringList{"0 set c27 0", "0 open c27", "0 open c27", "10 close c27", "20 set c27 1"}
                << QStringList{"c27 2026-12-08T10:00:00.000Z 0", "c27 2026-12-08T10:00:00.020Z 1"};
        QTest::newRow("manual links are not recorded")
                << QStringList{"0 set Enable 1", "0 manual Enable", "10 set Enable 0"} << QStringList{};
        QTest::newRow("value text kept as received")
                << QStringList{"0 set s  007,50 ", "0 open s"} << QStringList{"s 2026-12-08T10:00:00.000Z  007,50 "};
    }
    void recording()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, rows);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("history.sqlite"));
        VirtualScheduler scheduler;
        InProcessServer server(scheduler);
        QStringList delivered;
        {
            HistoryStore store({path, 90, [](const QString &) {}});
            RecordingTagSource tags(server, &store, [&] { return kT0 + scheduler.elapsedMs(); });
            QMultiHash<QString, LinkId> links;
            for (const QString &step : std::as_const(steps)) {
                const QStringList w = step.split(u' ');
                scheduler.advance(w[0].toLongLong() - scheduler.elapsedMs());
                const QString what = w[1];
                if (what == u"set")
                    server.setValue(w[2], step.section(u' ', 3));
                else if (what == u"open" || what == u"manual") {
                    const auto id
                            = tags.open(plc(w[2]), what == u"open" ? LinkMode::Automatic : LinkMode::Manual,
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
            for (const LinkId id : std::as_const(links))
                tags.close(id);
            store.flush();
            // The rows up to the end of the script; closing at the end adds its gaps.
            const QStringList recorded = historyRows(path);
            QCOMPARE(recorded.mid(0, rows.size()), rows);
        }
        // The screens see every delivery, recorded or not.
        QCOMPARE(delivered.isEmpty(), steps.filter(QStringLiteral(" open ")).isEmpty());
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
