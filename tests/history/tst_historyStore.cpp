#include "HistoryProbe.h"
#include "TestStation.h"

#include "history/HistoryStore.h"

#include <QFile>
#include <future>
#include <signal.h>
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
    std::vector<TrendPoint> result;
    store.query(request, [&](std::vector<TrendPoint> p) { result = std::move(p); });
    store.flush(); // the query ran in the cycle this waits for
    return result;
}

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

enum Breakage { FolderIsAFile, LockedByAnother, CorruptFile, DiskFull };

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
        QStringList rows;
        for (int i = 0; i < 3600; ++i)
            rows << QStringLiteral("%1 %2").arg(i * 1000).arg(i == 1234 ? 1000 : i % 100);
        rows << QStringLiteral("2500500 gap") << QStringLiteral("2503000 50");
        record(store, QStringLiteral("v10020:b"), rows);
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
            QCOMPARE(low, 0.0);
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
        QCOMPARE(sqlInt(path, "SELECT count(*) FROM rollup_10s"), 4);
    }

    // A trend opened before any value arrived still finds the history already on disk.
    void aQuestionBeforeAnyValueIsAnswered()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("history.sqlite"));
        {
            HistoryStore store({path, 90, [](const QString &) {}});
            record(store, QStringLiteral("c27"), {QStringLiteral("100 1"), QStringLiteral("200 gap")});
        }
        HistoryStore store({path, 90, [](const QString &) {}});
        std::promise<std::vector<TrendPoint>> answer;
        store.query({QStringLiteral("c27"), kT0, kT0 + 1000, 10},
                    [&](std::vector<TrendPoint> p) { answer.set_value(p); });
        auto future = answer.get_future();
        QCOMPARE(future.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        QCOMPARE(text(future.get()), (QStringList{QStringLiteral("100:1"), QStringLiteral("200:gap")}));
    }

    // A station killed mid-run queued no gaps: the next start ends every item's line
    // at the last commit instead of holding it across the time the station was gone.
    void restartAfterACrashEndsTheLines()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("history.sqlite"));
        {
            HistoryStore store({path, 90, [](const QString &) {}});
            record(store, QStringLiteral("c27"), {QStringLiteral("0 1")});
            record(store, QStringLiteral("x227"), {QStringLiteral("0 5"), QStringLiteral("10 gap")});
        }
        const qint64 restarted = QDateTime::currentMSecsSinceEpoch();
        HistoryStore store({path, 90, [](const QString &) {}});
        store.flush();
        const QStringList c27 = historyRows(path, "item = 'c27'");
        QCOMPARE(c27.size(), 2);
        QVERIFY2(c27[1].endsWith(QStringLiteral(" NULL")), qPrintable(c27[1]));
        const QDateTime gapAt = QDateTime::fromString(c27[1].section(u' ', 1, 1), Qt::ISODateWithMs);
        QVERIFY(qAbs(gapAt.toMSecsSinceEpoch() - restarted) < 60'000); // the last commit, moments ago
        QCOMPARE(historyRows(path, "item = 'x227'").size(), 2);        // already ended: nothing added
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
        QTest::newRow("disk full") << int(DiskFull) << "cannot write" << true << false;
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
        case DiskFull:
            break; // once the file exists
        }
        HistoryStore store({path, 90, warn});
        const int c = store.channel(plc(QStringLiteral("c27")));
        if (breakage == DiskFull) {
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
        case DiskFull:
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);
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
        std::lock_guard lock(m);
        QCOMPARE(warnings.size(), 2);
        QCOMPARE(warnings[1], QStringLiteral("recording again"));
    }
};

CORVANE_TEST_MAIN(TestHistoryStore)
#include "tst_historyStore.moc"
