#include "HistoryProbe.h"
#include "TestStation.h"

#include "history/HistoryReader.h"
#include "history/HistoryStore.h"

#include <QFile>
#include <future>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>

using namespace corvane;
using namespace corvane::history;
using namespace corvane::test;

namespace {

TagAddress plc(const QString &item)
{
    return {QStringLiteral("DSData"), QStringLiteral("CVPlc"), item};
}

// Points as "ms:value" (ms from kT0) or "ms:gap", for readable comparisons.
QStringList text(const std::vector<TrendPoint> &points)
{
    QStringList out;
    for (const TrendPoint &p : points)
        out << QStringLiteral("%1:%2").arg(p.tMs - kT0).arg(p.gap ? QStringLiteral("gap") : QString::number(p.value));
    return out;
}

std::vector<TrendPoint> ask(HistoryStore &store, const BucketRequest &request)
{
    store.flush();
    HistoryReader reader(store.path());
    std::vector<TrendPoint> result;
    reader.buckets(request, [&](std::vector<TrendPoint> p) { result = std::move(p); });
    reader.wait();
    return result;
}

// A wall clock and a monotonic one the test moves; `step` moves the wall clock alone.
struct TestClocks
{
    qint64 wall = kT0, mono = 1'000'000;
    void advance(qint64 ms)
    {
        wall += ms;
        mono += ms;
    }
    HistoryConfig config(const QString &path, int days, std::function<void(const QString &)> warn = {})
    {
        HistoryConfig c{path, days, warn ? warn : [](const QString &) {}};
        c.wallClock = [this] { return wall; };
        c.monotonicClock = [this] { return mono; };
        return c;
    }
};

// Rows "ms value" (ms from kT0; value "gap" for a gap) into the store's queue.
void record(HistoryStore &store, const QString &item, const QStringList &rows)
{
    const int c = store.channel(plc(item));
    for (const QString &row : rows) {
        const qint64 t = kT0 + row.section(u' ', 0, 0).toLongLong();
        const QString v = row.section(u' ', 1);
        if (v == u"gap")
            store.addGap(c, t);
        else
            store.add(c, t, v);
    }
}

int sqlInt(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *s = nullptr;
    int v = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
        v = sqlite3_column_int(s, 0);
    sqlite3_finalize(s);
    sqlite3_close(db);
    return v;
}

enum Breakage { FolderIsAFile, LockedByAnother, CorruptFile, FileSizeLimit, FullDisk };

// A small tmpfs of the test's own (root only), gone with the object.
struct SmallDisk
{
    QString folder;
    bool mounted = false;
    explicit SmallDisk(const QString &at)
        : folder(at)
    {
        QDir().mkpath(at);
        mounted = ::mount("tmpfs", at.toUtf8().constData(), "tmpfs", 0, "size=768k") == 0;
    }
    ~SmallDisk()
    {
        if (mounted)
            ::umount2(folder.toUtf8().constData(), MNT_DETACH);
    }
    // Takes the room that is left.
    bool fill()
    {
        QFile f(folder + QStringLiteral("/filler"));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        const QByteArray block(4096, 'f');
        while (f.write(block) == block.size()) {
        }
        return true;
    }
    bool makeRoom() { return QFile::remove(folder + QStringLiteral("/filler")); }
};

} // namespace

class TestHistoryStore : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void buckets_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<qint64>("from");
        QTest::addColumn<qint64>("to");
        QTest::addColumn<int>("buckets");
        QTest::addColumn<QStringList>("points");
        QTest::newRow("few changes: each at its time")
                << QStringList{"1000 0", "2000 1", "3500 0"} << qint64(0) << qint64(10'000) << 100
                << QStringList{"1000:0", "2000:1", "3500:0"};
        QTest::newRow("the value before the range holds from its start")
                << QStringList{"-5000 7", "4000 8"} << qint64(0) << qint64(10'000) << 10
                << QStringList{"0:7", "4000:8"};
        QTest::newRow("a gap before the range: nothing known at its start")
                << QStringList{"-5000 7", "-4000 gap", "4000 8"} << qint64(0) << qint64(10'000) << 10
                << QStringList{"0:gap", "4000:8"};
        QTest::newRow("one bucket keeps first, both extremes and last")
                << QStringList{"0 5", "100 5", "200 -3", "300 5", "400 99", "500 6"} << qint64(0) << qint64(1000) << 1
                << QStringList{"0:5", "200:-3", "400:99", "500:6"};
        QTest::newRow("a gap inside a bucket survives") << QStringList{"0 1", "300 gap", "600 2"} << qint64(0)
                                                        << qint64(1000) << 1 << QStringList{"0:1", "300:gap", "600:2"};
        QTest::newRow("rows after the range are left out")
                << QStringList{"100 1", "10000 2"} << qint64(0) << qint64(10'000) << 10 << QStringList{"100:1"};
        QTest::newRow("words draw as no data") << QStringList{"0 1", "100 OPEN", "200 2"} << qint64(0) << qint64(1000)
                                               << 10 << QStringList{"0:1", "100:gap", "200:2"};
        QTest::newRow("two values in one millisecond keep their order")
                << QStringList{"100 1", "100 2"} << qint64(0) << qint64(1000) << 10 << QStringList{"100:1", "101:2"};
        // Two hours: whole 10 s rows inside, raw rows in the partial slots at either end.
        QTest::newRow("a wide range unaligned to the 10 s rows keeps its ends")
                << QStringList{"0 1", "6000 500", "20000 1", "7203000 -500"} << qint64(5000) << qint64(7'205'000) << 10
                << QStringList{"5000:1", "6000:500", "20000:1", "7203000:-500"};
        QTest::newRow("an unknown item has no points")
                << QStringList{} << qint64(0) << qint64(1000) << 10 << QStringList{};
    }
    void buckets()
    {
        QFETCH(QStringList, rows);
        QFETCH(qint64, from);
        QFETCH(qint64, to);
        QFETCH(int, buckets);
        QFETCH(QStringList, points);
        QTemporaryDir dir;
        HistoryStore store({dir.filePath(QStringLiteral("history.sqlite")), 90, [](const QString &) {}});
        record(store, QStringLiteral("c27"), rows);
        record(store, QStringLiteral("other"), {QStringLiteral("150 1000")});
        QCOMPARE(text(ask(store, {QStringLiteral("c27"), kT0 + from, kT0 + to, buckets})), points);
    }

    // A wide range answers from the 10 s rows, with the same extremes the raw rows have.
    void wideRangeKeepsEveryExtreme()
    {
        QTemporaryDir dir;
        HistoryStore store({dir.filePath(QStringLiteral("history.sqlite")), 90, [](const QString &) {}});
        // Committed seven rows at a time, as a running station merges each 10 s row over
        // many commits; the extremes sit inside their 10 s rows, not at either end.
        QStringList rows;
        for (int i = 0; i < 3600; ++i) {
            rows << QStringLiteral("%1 %2").arg(i * 1000).arg(i == 1234 ? 1000 : i == 2345 ? -1000 : i % 100);
            if (rows.size() == 7 || i == 3599) {
                record(store, QStringLiteral("v10020:b"), rows);
                store.flush();
                rows.clear();
            }
        }
        record(store, QStringLiteral("v10020:b"), {QStringLiteral("2500500 gap"), QStringLiteral("2503000 50")});
        const std::vector<TrendPoint> pts = ask(store, {QStringLiteral("v10020:b"), kT0, kT0 + 3'600'000, 36});
        QVERIFY(pts.size() <= 4 * 36 + 1);
        QVERIFY2(pts.size() > 36, "every bucket drawn");
        for (int b = 0; b < 36; ++b) {
            double low = 1e9, high = -1e9;
            int gaps = 0;
            for (const TrendPoint &p : pts) {
                if (p.tMs < kT0 + b * 100'000 || p.tMs >= kT0 + (b + 1) * 100'000)
                    continue;
                gaps += p.gap;
                if (!p.gap) {
                    low = std::min(low, p.value);
                    high = std::max(high, p.value);
                }
            }
            QCOMPARE(low, b == 23 ? -1000.0 : 0.0);  // second 2345 is in bucket 23
            QCOMPARE(high, b == 12 ? 1000.0 : 99.0); // second 1234 is in bucket 12
            QCOMPARE(gaps, b == 25 ? 1 : 0);         // second 2500.5 is in bucket 25
        }
    }

    void retention()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("history.sqlite"));
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        const qint64 day = 86'400'000;
        {
            HistoryConfig config{path, 0, [](const QString &) {}};
            HistoryStore store(config); // 0: keeps everything, to set the scene
            for (const QString &item : {QStringLiteral("a"), QStringLiteral("b")}) {
                const int c = store.channel(plc(item));
                for (int i = 0; i < 450; ++i)
                    store.add(c, now - 100 * day + i, QString::number(i));
                store.add(c, now - 89 * day, QStringLiteral("kept"));
                store.add(c, now - 1000, QStringLiteral("new"));
            }
            store.flush();
        }
        QCOMPARE(sqlInt(path, "SELECT count(*) FROM samples"), 904);
        HistoryStore store({path, 90, [](const QString &) {}, 100});
        for (int i = 0; i < 20 && sqlInt(path, "SELECT count(*) FROM samples") > 4; ++i)
            store.flush();
        QCOMPARE(historyRows(path, "value <> 'NULL'").size(), 4);
        QCOMPARE(historyRows(path, "value = 'kept'").size(), 2);
        // The 10 s rows go with them (the kept rows and the restart's gap have theirs).
        const QByteArray oldSlots
                = "SELECT count(*) FROM rollup_10s WHERE slot < " + QByteArray::number((now - 90 * day) / 10'000);
        QCOMPARE(sqlInt(path, oldSlots.constData()), 0);
        QVERIFY(sqlInt(path, "SELECT count(*) FROM rollup_10s") >= 4);
    }

    // A trend opened before the writer made the file answers empty, never creates the
    // file itself, and finds it once it is there.
    void aReaderBeforeTheFileFindsItLater()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("history.sqlite"));
        HistoryReader reader(path);
        const BucketRequest request{QStringLiteral("c27"), kT0, kT0 + 1000, 10};
        std::vector<TrendPoint> before{TrendPoint{}}, after;
        reader.buckets(request, [&](std::vector<TrendPoint> p) { before = std::move(p); });
        reader.wait();
        QCOMPARE(before, std::vector<TrendPoint>{});
        QVERIFY(!QFile::exists(path));
        HistoryStore store({path, 90, [](const QString &) {}});
        record(store, QStringLiteral("c27"), {QStringLiteral("100 1"), QStringLiteral("200 gap")});
        store.flush();
        reader.buckets(request, [&](std::vector<TrendPoint> p) { after = std::move(p); });
        reader.wait();
        QCOMPARE(text(after), (QStringList{QStringLiteral("100:1"), QStringLiteral("200:gap")}));
    }

    // A station killed mid-run queued no gaps: the next start ends every item's line
    // at the last commit, in the 10 s rows too, and that commit was at most a cycle
    // before the end, also when no value changed for a minute.
    void restartAfterACrashEndsTheLines()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("history.sqlite"));
        TestClocks clocks;
        {
            HistoryStore store(clocks.config(path, 90));
            record(store, QStringLiteral("c27"), {QStringLiteral("0 1")});
            record(store, QStringLiteral("x227"), {QStringLiteral("0 5"), QStringLiteral("10 gap")});
            store.flush();
            clocks.advance(65'000);
            store.flush(); // a commit cycle with nothing to write
        }
        clocks.advance(600'000); // off for ten minutes
        HistoryStore store(clocks.config(path, 90));
        store.flush();
        QCOMPARE(historyRows(path, "item = 'c27'"),
                 (QStringList{"c27 2026-12-08T10:00:00.000Z 1", "c27 2026-12-08T10:01:05.000Z NULL"}));
        QCOMPARE(historyRows(path, "item = 'x227'").size(), 2); // already ended: nothing added
        // Two hours are drawn from the 10 s rows.
        QCOMPARE(text(ask(store, {QStringLiteral("c27"), kT0 - 3'600'000, kT0 + 3'600'000, 100})),
                 (QStringList{"0:1", "65000:gap"}));
        // Values recorded after the start go on from the end of the old run.
        record(store, QStringLiteral("c27"), {QStringLiteral("665000 0")});
        store.flush();
        QCOMPARE(historyRows(path, "item = 'c27'").value(2), QStringLiteral("c27 2026-12-08T10:11:05.000Z 0"));
    }

    // Recorded times: "a<ms>" moves both clocks, "s<ms>" steps the wall clock alone,
    // "f<ms>" says the file ends there, "=<ms>" is the recorded time then (all from kT0).
    void recordedTimes_data()
    {
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("the wall clock while nothing steps")
                << QStringList{"=0", "a1000", "=1000", "a59000", "=60000"} << QStringList{};
        QTest::newRow("stepped forward: on from the new time")
                << QStringList{"=0", "a1000", "s7200000", "=7201000", "a1000", "=7202000"}
                << QStringList{"7201000:7200000"};
        QTest::newRow("stepped back 5 min: half speed until the wall clock catches up")
                << QStringList{"=0", "s-300000", "=0", "a1000", "=500", "a599000", "=300000", "a1000", "=301000"}
                << QStringList{"0:-300000"};
        QTest::newRow("a drift back under a minute is no step, and no time goes back")
                << QStringList{"=0", "a1000", "=1000", "s-30000", "=1000", "a30000", "=16000", "a30000", "=31000"}
                << QStringList{};
        QTest::newRow("a file ahead of the wall clock at start: on from its end")
                << QStringList{"f10000", "=10000", "a4000", "=12000", "a16000", "=20000", "a1000", "=21000"}
                << QStringList{};
    }
    void recordedTimes()
    {
        QFETCH(QStringList, script);
        QFETCH(QStringList, steps);
        TestClocks c;
        RecordClock clock([&] { return c.wall; }, [&] { return c.mono; });
        QStringList reported;
        clock.setStepHandler(
                [&](qint64 t, qint64 step) { reported << QStringLiteral("%1:%2").arg(t - kT0).arg(step); });
        QStringList seen, wanted;
        for (const QString &s : std::as_const(script)) {
            const qint64 ms = s.mid(1).toLongLong();
            switch (s[0].toLatin1()) {
            case 'a':
                c.advance(ms);
                break;
            case 's':
                c.wall += ms;
                break;
            case 'f':
                clock.notBefore(kT0 + ms);
                break;
            default:
                wanted << s;
                seen << QStringLiteral("=%1").arg(clock.now() - kT0);
            }
        }
        QCOMPARE(seen, wanted);
        QCOMPARE(reported, steps);
    }

    // A wall clock far ahead at start (wrong at boot) deletes nothing early: retention
    // counts from the end of the file by the time the station has run.
    void aClockAheadDeletesNothingEarly()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("history.sqlite"));
        TestClocks clocks;
        const qint64 day = 86'400'000;
        {
            HistoryStore store(clocks.config(path, 0)); // keeps everything, to set the scene
            record(store, QStringLiteral("c27"),
                   {QStringLiteral("%1 old").arg(-95 * day), QStringLiteral("%1 kept").arg(-10 * day),
                    QStringLiteral("0 new")});
        }
        clocks.wall += 100 * day;
        clocks.advance(60'000);
        QStringList warnings;
        HistoryStore store(clocks.config(path, 90, [&](const QString &w) { warnings << w; }));
        store.flush();
        QCOMPARE(historyRows(path, "item = 'c27'"),
                 (QStringList{"c27 2026-11-28T10:00:00.000Z kept", "c27 2026-12-08T10:00:00.000Z new",
                              "c27 2026-12-08T10:00:00.001Z NULL"}));
        QCOMPARE(warnings, QStringList{});
    }

    // What a trend or a report asks besides values, through the reader's own connection,
    // and the documented views anyone can query.
    void readerAnswersAlarmsLinksAndSteps()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("history.sqlite"));
        TestClocks clocks;
        QStringList warnings;
        HistoryStore store(clocks.config(path, 90, [&](const QString &w) { warnings << w; }));
        store.add(store.channel(plc(QStringLiteral("c27"))), store.now(), QStringLiteral("1"));
        store.addGap(store.channel(plc(QStringLiteral("never"))), kT0);
        store.addAlarmLine(store.now(), QStringLiteral("FAULT C27 Handbrake ON, Car Moving  10:00:00 12/08/2026"));
        clocks.advance(1500);
        store.addLinkState(store.now(), false);
        store.addAlarmLine(store.now(), QStringLiteral("WARN DSDATA Link to data server lost  10:00:01 12/08/2026"));
        clocks.advance(2000);
        store.addLinkState(store.now(), true);
        store.flush();
        clocks.wall -= 3'600'000; // stepped back an hour, found at the next commit
        clocks.advance(1000);
        store.flush();
        clocks.advance(1000);
        store.addLinkState(store.now(), false);
        store.flush();
        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings[0].contains(QStringLiteral("stepped back")), qPrintable(warnings[0]));

        HistoryReader reader(path);
        std::vector<AlarmRecord> all, c27;
        std::vector<TimeSpan> down;
        std::vector<ClockStep> steps;
        QStringList items;
        reader.alarmLines(kT0, kT0 + 60'000, {}, [&](std::vector<AlarmRecord> r) { all = std::move(r); });
        reader.alarmLines(kT0, kT0 + 60'000, {QStringLiteral("C27")}, [&](std::vector<AlarmRecord> r) { c27 = r; });
        reader.linkDown(kT0 + 1000, kT0 + 60'000, [&](std::vector<TimeSpan> s) { down = std::move(s); });
        reader.clockSteps(kT0, kT0 + 60'000, [&](std::vector<ClockStep> s) { steps = std::move(s); });
        reader.recordedItems([&](QStringList i) { items = std::move(i); });
        reader.wait();
        const AlarmRecord fault{kT0, QStringLiteral("FAULT"), QStringLiteral("C27"),
                                QStringLiteral("FAULT C27 Handbrake ON, Car Moving  10:00:00 12/08/2026")};
        const AlarmRecord warn{kT0 + 1500, QStringLiteral("WARN"), QStringLiteral("DSDATA"),
                               QStringLiteral("WARN DSDATA Link to data server lost  10:00:01 12/08/2026")};
        QCOMPARE(all, (std::vector<AlarmRecord>{fault, warn}));
        QCOMPARE(c27, std::vector<AlarmRecord>{fault});
        // Back after 2 s, then down again at the end (half speed after the step back).
        QCOMPARE(down, (std::vector<TimeSpan>{{kT0 + 1500, kT0 + 3500}, {kT0 + 4500, kT0 + 60'000}}));
        QCOMPARE(steps, (std::vector<ClockStep>{{kT0 + 4000, -3'600'000}}));
        QCOMPARE(items, QStringList{QStringLiteral("c27")});
        QCOMPARE(
                historyQuery(path, "SELECT time_utc, t_ms, kind, item, text FROM alarms ORDER BY t_ms DESC LIMIT 1", 5),
                QStringList{QStringLiteral("2026-12-08T10:00:01.500Z 1796724001500 WARN DSDATA ") + warn.text});
        QCOMPARE(historyQuery(
                         path,
                         "SELECT item, time_utc, t_ms, value FROM history WHERE t_ms >= 1796724000000 AND item = 'c27'",
                         4),
                 QStringList{QStringLiteral("c27 2026-12-08T10:00:00.000Z 1796724000000 1")});
    }

    // An export reports its progress and, cancelled, leaves no partial file behind.
    void exportShowsProgressAndCancels()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("history.sqlite"));
        {
            HistoryStore store({path, 0, [](const QString &) {}});
            record(store, QStringLiteral("a,b"), {QStringLiteral("0 1"), QStringLiteral("1000 say \"hi\"")});
            record(store, QStringLiteral("c27"), {QStringLiteral("500 0")});
        }
        HistoryReader reader(path);
        const QString whole = dir.filePath(QStringLiteral("whole.csv")), cut = dir.filePath(QStringLiteral("cut.csv"));
        QList<double> progress;
        QString wholeDone = QStringLiteral("not done"), cutDone;
        std::promise<void> ticketTaken; // cancelled once its ticket is known
        reader.exportCsv(
                {QStringLiteral("a,b"), QStringLiteral("c27")}, kT0, kT0 + 2000, whole,
                [&](double p) { progress << p; }, [&](const QString &e) { wholeDone = e; });
        ExportTicket ticket;
        ticket = reader.exportCsv(
                {QStringLiteral("a,b"), QStringLiteral("c27")}, kT0, kT0 + 2000, cut,
                [&, taken = ticketTaken.get_future().share()](double) {
                    taken.wait();
                    ticket.cancel();
                },
                [&](const QString &e) { cutDone = e; });
        ticketTaken.set_value();
        reader.wait();
        QCOMPARE(wholeDone, QString());
        QFile f(whole);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("item,time_utc,value\n"
                                         "\"a,b\",2026-12-08T10:00:00.000Z,1\n"
                                         "\"a,b\",2026-12-08T10:00:01.000Z,\"say \"\"hi\"\"\"\n"
                                         "c27,2026-12-08T10:00:00.500Z,0\n"));
        QVERIFY(!progress.isEmpty());
        QVERIFY(std::is_sorted(progress.cbegin(), progress.cend()));
        QCOMPARE(progress.last(), 1.0);
        QCOMPARE(cutDone, QStringLiteral("cancelled"));
        QVERIFY(!QFile::exists(cut));
    }

    void faults_data()
    {
        QTest::addColumn<int>("breakage");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<bool>("loses");
        QTest::addColumn<bool>("mendsItself");
        QTest::newRow("folder is a file") << int(FolderIsAFile) << "cannot create the folder" << true << false;
        QTest::newRow("locked by another program") << int(LockedByAnother) << "locked" << false << false;
        QTest::newRow("corrupt file: a new one at once")
                << int(CorruptFile) << "corrupt file moved aside" << false << true;
        QTest::newRow("file size limit") << int(FileSizeLimit) << "cannot write" << true << false;
        QTest::newRow("disk full") << int(FullDisk) << "disk full" << true << false;
    }
    // The station goes on; one warning per fault; recording resumes once it can, with a
    // gap where values were lost.
    void faults()
    {
        QFETCH(int, breakage);
        QFETCH(QString, warning);
        QFETCH(bool, loses);
        QFETCH(bool, mendsItself);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("state"));
        const QString path = folder + QStringLiteral("/history.sqlite");
        QStringList warnings;
        std::mutex m;
        auto warn = [&](const QString &w) {
            std::lock_guard lock(m);
            warnings << w;
        };
        sqlite3 *other = nullptr;
        rlimit saved{};
        switch (Breakage(breakage)) {
        case FolderIsAFile: {
            QFile f(folder);
            QVERIFY(f.open(QIODevice::WriteOnly));
            break;
        }
        case LockedByAnother:
            QVERIFY(QDir().mkpath(folder));
            QCOMPARE(sqlite3_open(path.toUtf8().constData(), &other), SQLITE_OK);
            QCOMPARE(
                    sqlite3_exec(other,
                                 "PRAGMA journal_mode=WAL; CREATE TABLE x(a); BEGIN EXCLUSIVE; INSERT INTO x VALUES(1)",
                                 nullptr, nullptr, nullptr),
                    SQLITE_OK);
            break;
        case CorruptFile: {
            QVERIFY(QDir().mkpath(folder));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(8192, 'x'));
            break;
        }
        case FileSizeLimit:
        case FullDisk:
            break; // once the file exists
        }
        std::optional<SmallDisk> disk;
        if (breakage == FullDisk) {
            disk.emplace(folder);
            if (!disk->mounted)
                QSKIP("no tmpfs to fill (needs root); the file size limit stands in for it");
        }
        HistoryStore store({path, 90, warn});
        // Items that never change while it is broken: after it, each holds its value
        // again, not "no data" for good.
        for (int i = 0; i < 40; ++i)
            store.add(store.channel(plc(QStringLiteral("steady%1").arg(i))), kT0 - 1000, QStringLiteral("7"));
        const int c = store.channel(plc(QStringLiteral("c27")));
        if (breakage == FullDisk) {
            store.add(c, kT0, QStringLiteral("0"));
            store.flush();
            QVERIFY(store.isOpen());
            QVERIFY(disk->fill());
        }
        if (breakage == FileSizeLimit) {
            store.add(c, kT0, QStringLiteral("0"));
            store.flush();
            QVERIFY(store.isOpen());
            // No file may grow: the write fails as on a full disk, the process lives on.
            signal(SIGXFSZ, SIG_IGN);
            getrlimit(RLIMIT_FSIZE, &saved);
            rlimit tiny = saved;
            tiny.rlim_cur = 0;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &tiny), 0);
        }
        // Its only value while broken is at the very moment the loss began.
        store.add(store.channel(plc(QStringLiteral("once"))), kT0 + 10, QStringLiteral("1"));
        for (int i = 1; i <= 200; ++i)
            store.add(c, kT0 + i * 10, QString::number(i % 7));
        store.flush();
        store.add(c, kT0 + 3000, QStringLiteral("during"));
        store.flush();
        {
            std::lock_guard lock(m);
            QCOMPARE(warnings.size(), mendsItself ? 2 : 1);
            QVERIFY2(warnings[0].contains(warning), qPrintable(warnings[0]));
        }
        // Mended.
        switch (Breakage(breakage)) {
        case FolderIsAFile:
            QVERIFY(QFile::remove(folder));
            break;
        case LockedByAnother:
            QCOMPARE(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(other);
            break;
        case CorruptFile: {
            const QStringList aside = QDir(folder).entryList({QStringLiteral("history.sqlite.corrupt-*")});
            QCOMPARE(aside.size(), 1);
            QFile f(folder + u'/' + aside[0]);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray(8192, 'x'));
            break;
        }
        case FileSizeLimit:
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);
            break;
        case FullDisk:
            QVERIFY(disk->makeRoom());
            break;
        }
        store.add(c, kT0 + 5000, QStringLiteral("after"));
        store.flush(); // retries at once: a test cannot wait for the retry timer
        store.flush();
        QVERIFY(store.isOpen());
        const QStringList rows = historyRows(path, "item = 'c27'");
        QVERIFY2(rows.contains(QStringLiteral("c27 2026-12-08T10:00:05.000Z after")), qPrintable(rows.join(u'\n')));
        if (loses) {
            // The latest value seen while broken comes back after a gap.
            QVERIFY2(rows.contains(QStringLiteral("c27 2026-12-08T10:00:03.000Z during")),
                     qPrintable(rows.join(u'\n')));
            QVERIFY2(!rows.filter(QStringLiteral(" NULL")).isEmpty(), qPrintable(rows.join(u'\n')));
        } else {
            QCOMPARE(rows.filter(QStringLiteral(" NULL")), QStringList{});
            QCOMPARE(rows.size(), 202);
        }
        const QStringList last = historyQuery(path,
                                              "SELECT i.item, s.value FROM items i JOIN samples s ON s.item_id = i.id "
                                              "AND s.t_ms = (SELECT max(t_ms) FROM samples WHERE item_id = i.id) "
                                              "WHERE i.item <> 'c27' ORDER BY i.item",
                                              2);
        QCOMPARE(last.size(), 41);
        QCOMPARE(last.filter(QStringLiteral(" NULL")), QStringList{});
        std::lock_guard lock(m);
        QCOMPARE(warnings.size(), 2);
        QCOMPARE(warnings[1], QStringLiteral("recording again"));
        QVERIFY2(!warnings[0].contains(QStringLiteral("rollback")), qPrintable(warnings[0]));
    }
};

CORVANE_TEST_MAIN(TestHistoryStore)
#include "tst_historyStore.moc"
