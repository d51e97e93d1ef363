#include "TestStation.h"

#include "history/HistoryStore.h"
#include "station/Station.h"

#include "history/RecordingTagSource.h"
#include "history/ReplayReader.h"
#include "history/ReplaySession.h"
#include "history/ReplayTagSource.h"

#include <condition_variable>
#include <mutex>

using namespace corvane;
using namespace corvane::history;
using namespace corvane::test;

namespace {

constexpr qint64 kT0 = 1'796'000'000'000; // 2026-11-30 00:53:20 UTC

TagAddress plc(const QString &item)
{
    return {QStringLiteral("DSData"), QStringLiteral("CVPlc"), item};
}

// Records a script ("<ms> set|open|close|down|up [item] [value]", "<ms> alarm <line>") as the station does:
// the in-process server behind the recorder, stamped with virtual time from kT0.
void record(const QString &path, const QStringList &steps)
{
    VirtualScheduler scheduler;
    InProcessServer server(scheduler);
    HistoryStore store({path, 90, [](const QString &) {}});
    RecordingTagSource tags(server, &store, [&] { return kT0 + scheduler.elapsedMs(); });
    QHash<QString, LinkId> links;
    for (const QString &step : steps) {
        const QStringList w = step.split(u' ');
        scheduler.advance(w[0].toLongLong() - scheduler.elapsedMs());
        if (w[1] == u"set")
            server.setValue(w[2], w[3]);
        else if (w[1] == u"open")
            links.insert(w[2], *tags.open(plc(w[2]), LinkMode::Automatic, [](const QString &) {}));
        else if (w[1] == u"close")
            tags.close(links.take(w[2]));
        else if (w[1] == u"alarm")
            store.addAlarmLine(kT0 + scheduler.elapsedMs(), step.section(u' ', 2));
        else
            server.setPresent(w[1] == u"up");
        scheduler.advance(0);
    }
    store.flush();
}

template<typename T>
T await(const std::function<void(std::function<void(T)>)> &call)
{
    // The answer comes on the reader's own thread: wait for it, not for time to pass.
    std::optional<T> result;
    std::mutex m;
    std::condition_variable answered;
    call([&](T r) {
        std::lock_guard lock(m);
        result = std::move(r);
        answered.notify_one();
    });
    std::unique_lock lock(m);
    if (!answered.wait_for(lock, std::chrono::seconds(5), [&] { return result.has_value(); }))
        qFatal("the reader did not answer");
    return *result;
}

QString stateText(const ReplayState &s)
{
    QStringList values;
    for (const auto &[address, value] : s.values.asKeyValueRange())
        values << address.item + u'=' + value;
    values.sort();
    return (s.linkUp ? QStringLiteral("up") : QStringLiteral("down")) + u' ' + values.join(u' ');
}

QString eventText(const ReplayEvent &e)
{
    static const char *const kinds[] = {"", "gap ", "down", "up"};
    return QString::number(e.tMs - kT0) + u' ' + QString::fromLatin1(kinds[e.kind]) + e.address.item
           + (e.kind == ReplayEvent::Value ? u'=' + e.value : QString());
}

} // namespace

class TestReplay : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // A recorded script read back: the state at the seek, then the changes read in
    // spans of the given lengths from there.
    void reader_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<qint64>("seekMs");
        QTest::addColumn<QList<qint64>>("spans");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QStringList>("events");
        const QStringList brake{"0 set c27 0",    "0 open c27",     "1000 set c27 1",
                                "3000 set c27 0", "3001 set c27 1", "9000 set x 0"};
        QTest::newRow("the value held at the seek, set at that very ms")
                << brake << qint64(1000) << QList<qint64>{5000} << "up c27=1"
                << QStringList{"3000 c27=0", "3001 c27=1"};
        QTest::newRow("a seek before the recording is its first moment, not an outage")
                << brake << qint64(-5000) << QList<qint64>{1000} << "up c27=0" << QStringList{"1000 c27=1"};
        QTest::newRow("a change on a span's edge comes once")
                << brake << qint64(0) << QList<qint64>{1000, 2000, 1, 1} << "up c27=0"
                << QStringList{"1000 c27=1", "3000 c27=0", "3001 c27=1"};
        const QStringList outage{"0 set a 1",    "0 set b 2", "0 open a",     "0 open b",    "2000 down",
                                 "2500 set a 7", "4000 up",   "4500 set b 3", "9000 set x 0"};
        QTest::newRow("an outage: down where every held value ends, up with the first back")
                << outage << qint64(0) << QList<qint64>{5500} << "up a=1 b=2"
                << QStringList{"2000 down", "2000 gap a", "2000 gap b", "4000 up", "4000 a=7", "4000 b=2", "4500 b=3"};
        QTest::newRow("seek into an outage: no data, nothing held")
                << outage << qint64(3000) << QList<qint64>{1400} << "down "
                << QStringList{"4000 up", "4000 a=7", "4000 b=2"};
    }
    void reader()
    {
        QFETCH(QStringList, steps);
        QFETCH(qint64, seekMs);
        QFETCH(QList<qint64>, spans);
        QFETCH(QString, state);
        QFETCH(QStringList, events);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("history.sqlite"));
        record(path, steps);
        ReplayReader reader(path);
        const ReplayState s = await<ReplayState>([&](auto done) { reader.seek(kT0 + seekMs, done); });
        QCOMPARE(stateText(s), state);
        QStringList read;
        for (const qint64 span : spans) {
            using Chunk = std::pair<std::vector<ReplayEvent>, qint64>;
            const Chunk c = await<Chunk>([&](auto done) {
                reader.next(span, [done](std::vector<ReplayEvent> e, qint64 through) {
                    done({std::move(e), through});
                });
            });
            for (const ReplayEvent &e : c.first)
                read << eventText(e);
        }
        QCOMPARE(read, events);
        QVERIFY(reader.error().isEmpty());
    }

    // "Next alarm line" goes to 2 s before the next line, and pressed again from there
    // to the one after it, not to the same line; "previous" walks back the same way.
    void alarmLineSteps()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("history.sqlite"));
        record(path,
               {"0 set c27 0", "0 open c27", "10000 alarm FAULT C27 Handbrake ON, Car Moving  00:53:30 11/30/2026",
                "10000 alarm WARN C500 Water Heater  00:53:30 11/30/2026",
                "30000 alarm CLEAR C27 Handbrake ON, Car Moving  00:53:50 11/30/2026", "60000 set c27 1"});
        VirtualScheduler scheduler(QDateTime::fromMSecsSinceEpoch(kT0));
        ReplayTagSource tags(scheduler);
        Station station(scheduler, tags, QString());
        ReplaySession session(station, scheduler, tags, path);
        QSignalSpy done(&session, &ReplaySession::seekDone);
        const auto seek = [&](std::optional<qint64> t) {
            QVERIFY(t);
            session.seek(*t);
            QVERIFY(done.wait(5000));
        };
        seek(kT0);
        QTRY_COMPARE(session.alarmMarks().size(), size_t(3));
        QCOMPARE(session.previousMarkSeek(), std::nullopt);
        QCOMPARE(session.nextMarkSeek(), kT0 + 8000);
        seek(session.nextMarkSeek());
        QCOMPARE(session.nextMarkSeek(), kT0 + 28'000);
        seek(session.nextMarkSeek());
        QCOMPARE(session.nextMarkSeek(), std::nullopt);
        QCOMPARE(session.previousMarkSeek(), kT0 + 8000);
        seek(session.previousMarkSeek());
        QCOMPARE(session.previousMarkSeek(), std::nullopt);
    }

    // Changes reach the links at their recorded times, not when they are read; an
    // outage silences them and its end brings the held values back; a seek drops what
    // was queued; and nothing written leaves the replay.
    void source()
    {
        VirtualScheduler scheduler(QDateTime::fromMSecsSinceEpoch(kT0));
        ReplayTagSource tags(scheduler);
        QStringList seen;
        QSignalSpy states(&tags, &TagSource::linkStateChanged);
        QSignalSpy refused(&tags, &ReplayTagSource::pokeRefused);
        ReplayState start;
        start.tMs = kT0;
        start.values.insert(plc(QStringLiteral("c27")), QStringLiteral("0"));
        tags.reset(start);
        const auto id = tags.open(plc(QStringLiteral("c27")), LinkMode::Automatic,
                                  [&](const QString &v) { seen << v + u'@' + QString::number(scheduler.elapsedMs()); });
        QVERIFY(id);
        tags.append({{kT0 + 500, ReplayEvent::Value, plc(QStringLiteral("c27")), QStringLiteral("1")},
                     {kT0 + 900, ReplayEvent::LinkDown, {}, {}},
                     {kT0 + 1000, ReplayEvent::Value, plc(QStringLiteral("c27")), QStringLiteral("0")},
                     {kT0 + 1500, ReplayEvent::LinkUp, {}, {}},
                     {kT0 + 2500, ReplayEvent::Value, plc(QStringLiteral("c27")), QStringLiteral("1")}},
                    kT0 + 3000);
        QVERIFY(seen.isEmpty()); // posted, never inside open
        scheduler.advance(1200);
        QCOMPARE(tags.isLinkUp(), false);
        scheduler.advance(800);
        QCOMPARE(seen, (QStringList{"0@0", "1@500", "0@1500"}));
        QCOMPARE(states.size(), 2);

        QCOMPARE(tags.poke(*id, QStringLiteral("1")), false);
        QCOMPARE(refused.size(), 1);
        QCOMPARE(refused[0][1].toString(), QStringLiteral("1"));

        // A seek back: the change queued for 2500 belongs to the old position.
        scheduler.setWallClock(QDateTime::fromMSecsSinceEpoch(kT0 + 100));
        start.tMs = kT0 + 100;
        tags.reset(start);
        scheduler.advance(5000);
        QCOMPARE(seen.size(), 3);
    }
};

CORVANE_TEST_MAIN(TestReplay)
#include "tst_replay.moc"
