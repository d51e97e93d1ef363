// The history's costs, each beside a baseline from the same run:
//   - UI thread: a value delivered to an automatic link on a server whose every item
//     the recorder watches, against the same delivery on a server without it;
//   - the trend's bucket query over a week of one item changing 10 times a second,
//     and the trend window from the range chosen to the chart painted;
//   - bytes on disk per recorded change;
//   - (--purge) deleting 10 million rows past the retention while a 10 ms timer
//     on the UI thread measures its largest gap.
//
//   corvane-bench-history [--dir DIR] [--rows N] [--purge]     (offscreen unless QT_QPA_PLATFORM is set)
#include "core/time/VirtualScheduler.h"
#include "history/HistoryStore.h"
#include "history/RecordingTagSource.h"
#include "history/TrendWindow.h"

#include "transport/InProcessServer.h"
#include <QtCharts/QChart>

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <future>
#include <sqlite3.h>
#include <thread>
#include <vector>

using namespace corvane;
using namespace corvane::history;

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

TagAddress plc(const QString &item)
{
    return {QStringLiteral("DSData"), QStringLiteral("CVPlc"), item};
}

// Per value: the server's setValue and the posted delivery to one automatic link
// (and, with the recorder, its posted delivery to the recorder).
void uiThreadCost(const QString &dir)
{
    constexpr int kValues = 20'000;
    constexpr int kRounds = 15;
    VirtualScheduler scheduler;
    InProcessServer server(scheduler), watched(scheduler);
    server.setRecording(false);
    watched.setRecording(false);
    HistoryStore store({dir + QStringLiteral("/ui.sqlite"), 90, {}});
    RecordingTagSource recorded(watched, &store);
    QStringList values;
    for (int i = 0; i < kValues; ++i)
        values << QString::number(i * 0.25);
    qint64 sink = 0;
    const auto handler = [&sink](const QString &v) { sink += v.size(); };
    const auto directId = server.open(plc(QStringLiteral("direct")), LinkMode::Automatic, handler);
    const auto recordedId = recorded.open(plc(QStringLiteral("recorded")), LinkMode::Automatic, handler);
    if (!directId || !recordedId)
        return;
    const auto run = [&](InProcessServer &on, const QString &item) {
        const auto start = Clock::now();
        for (const QString &v : std::as_const(values)) {
            on.setValue(item, v);
            scheduler.runPending();
        }
        return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kValues;
    };
    std::vector<double> direct, withRecording;
    for (int r = 0; r < kRounds; ++r) {
        direct.push_back(run(server, QStringLiteral("direct")));
        withRecording.push_back(run(watched, QStringLiteral("recorded")));
    }
    store.flush();
    const double a = median(direct), b = median(withRecording);
    std::printf("UI thread, %d rounds of %d values (median of rounds)\n", kRounds, kValues);
    std::printf("baseline: setValue + delivery to an automatic link          %8.3f us a value\n", a);
    std::printf("the same with the recorder watching every item              %8.3f us a value   +%.3f us  x%.2f\n", b,
                b - a, b / a);
    if (sink == 42)
        std::puts("");
}

qint64 fileBytes(const QString &path)
{
    return QFileInfo(path).size() + QFileInfo(path + QStringLiteral("-wal")).size();
}

// The README's query, the last hour of an item through the view, filtered on t_ms and
// (the baseline) on time_utc.
void documentedQuery(const QString &path, qint64 now)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const auto timed = [&](const QByteArray &sql) {
        std::vector<double> ms;
        for (int i = 0; i < 5; ++i) {
            const auto t0 = Clock::now();
            sqlite3_stmt *st = nullptr;
            sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
            while (sqlite3_step(st) == SQLITE_ROW) {
            }
            sqlite3_finalize(st);
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        }
        return median(ms);
    };
    const QByteArray since = QByteArray::number(now - 3'600'000);
    const double byMs = timed("select * from history where item = 'v10020:b' and t_ms > " + since
                              + " order by t_ms desc limit 5");
    const double byText
            = timed("select * from history where item = 'v10020:b' and time_utc > strftime('%Y-%m-%dT%H:%M:%fZ', "
                    + since + " / 1000.0, 'unixepoch') order by time_utc desc limit 5");
    std::printf(
            "README query, last hour of one item: median %.2f ms filtered on t_ms (baseline: %.1f ms on time_utc)\n",
            byMs, byText);
    sqlite3_close(db);
}

// An export of the whole week on the reader while the writer goes on committing a
// live value and a trend asks for its last 10 minutes every 100 ms: the longest commit
// and the longest trend answer meanwhile, against 3 s without an export.
void exportWhileRecording(const QString &dir, const QString &path, qint64 from, qint64 to)
{
    HistoryStore store({path, 90, {}});
    HistoryReader reader(path);
    const int live = store.channel(plc(QStringLiteral("c27")));
    std::atomic<bool> running{true};
    int n = 0;
    double worstAnswer = 0;
    const auto commits = [&] {
        double worst = 0;
        worstAnswer = 0;
        while (running) {
            store.add(live, store.now(), QString::number(++n % 2));
            auto t0 = Clock::now();
            store.flush();
            worst = std::max(worst, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            std::promise<void> answered;
            t0 = Clock::now();
            reader.buckets({QStringLiteral("v10020:b"), to - 600'000, to, 600},
                           [&](std::vector<TrendPoint>) { answered.set_value(); });
            answered.get_future().wait();
            worstAnswer = std::max(worstAnswer, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return worst;
    };
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        running = false;
    });
    const double idle = commits();
    const double idleAnswer = worstAnswer;
    stopper.join();
    running = true;
    QElapsedTimer took;
    took.start();
    qint64 exportMs = 0;
    QString error;
    reader.exportCsv({QStringLiteral("v10020:b")}, from, to, dir + QStringLiteral("/week.csv"), {},
                     [&](const QString &e) {
                         error = e;
                         exportMs = took.elapsed();
                         running = false;
                     });
    const int before = n;
    const double during = commits();
    std::printf("export of the week (%.0f MB of CSV) in %.1f s%s; meanwhile %d live commits and trend answers, the "
                "longest %.1f ms and %.1f ms (baseline without an export: %.1f ms and %.1f ms)\n",
                double(QFileInfo(dir + QStringLiteral("/week.csv")).size()) / 1e6, double(exportMs) / 1000.0,
                error.isEmpty() ? "" : qPrintable(QStringLiteral(" (") + error + u')'), n - before, during, worstAnswer,
                idle, idleAnswer);
}

void weekOfOneItem(const QString &dir, qint64 rows)
{
    const QString path = dir + QStringLiteral("/week.sqlite");
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const qint64 start = now - rows * 100;
    {
        HistoryStore store({path, 90, {}});
        const int c = store.channel(plc(QStringLiteral("v10020:b")));
        QElapsedTimer t;
        t.start();
        // A speed that rises and falls over minutes, with a spike every hour.
        for (qint64 i = 0; i < rows; ++i) {
            const double v = std::round(60 + 40 * std::sin(double(i) / 3000.0)) + (i % 36'000 == 0 ? 500 : 0);
            store.add(c, start + i * 100, QString::number(v));
            if (i % 100'000 == 99'999)
                store.flush();
        }
        store.flush();
        std::printf("\n%lld rows of one item, 10 a second (%.1f days), written by the writer thread in %.1f s "
                    "(%.0f rows/s)\n",
                    rows, double(rows) / 864'000.0, t.elapsed() / 1000.0, double(rows) / (t.elapsed() / 1000.0));
    }
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    std::printf("bytes on disk per change: %.1f (file %.1f MB, raw rows and 10 s rollups)\n",
                double(fileBytes(path)) / double(rows), double(fileBytes(path)) / 1e6);
    documentedQuery(path, now);
    exportWhileRecording(dir, path, start, now + 1);

    struct Span
    {
        const char *name;
        qint64 ms;
    };
    for (const Span &s : {Span{"7 d", 7 * 86'400'000LL}, Span{"24 h", 86'400'000}, Span{"8 h", 8 * 3'600'000},
                          Span{"1 h", 3'600'000}, Span{"10 min", 600'000}}) {
        const qint64 span = std::min(s.ms, rows * 100);
        std::vector<double> ms;
        size_t points = 0;
        for (int i = 0; i < 7; ++i) {
            const auto t0 = Clock::now();
            const auto pts = HistoryReader::bucketQuery(db, {QStringLiteral("v10020:b"), now - span, now, 1000});
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            points = pts.size();
        }
        // The baseline: the raw rows of the same span counted in SQL, the least a raw query costs.
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, "SELECT count(*) FROM samples WHERE item_id = 1 AND t_ms >= ?1 AND t_ms < ?2", -1, &st,
                           nullptr);
        sqlite3_bind_int64(st, 1, now - span);
        sqlite3_bind_int64(st, 2, now);
        const auto t0 = Clock::now();
        sqlite3_step(st);
        const double countMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        const qint64 rawRows = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        std::printf(
                "bucket query %-6s 1000 buckets: median %7.2f ms, %5zu points   (baseline: count(*) of its %8lld raw "
                "rows %7.2f ms)\n",
                s.name, median(ms), points, rawRows, countMs);
    }
    sqlite3_close(db);

    // The trend window itself: from the range chosen to the chart painted (query on the
    // reader thread, answer handed back, lines built, the window grabbed).
    HistoryStore store({path, 90, {}});
    HistoryReader reader(path);
    TrendWindows trends(reader);
    TrendWindow *w = trends.show(QStringLiteral("v10020:b"), QStringLiteral("Speed"));
    const auto settle = [&] {
        while (!w->settled())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    };
    settle();
    for (const Span &s : {Span{"7 d", 7 * 86'400'000LL}, Span{"1 h", 3'600'000}}) {
        std::vector<double> ms;
        for (int i = 0; i < 5; ++i) {
            w->showLast(10 * 60'000);
            settle();
            const auto t0 = Clock::now();
            w->showLast(s.ms);
            settle();
            w->grab();
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        }
        std::printf("trend window %-4s: range chosen to chart painted, median %7.2f ms (%zu points, %d px wide)\n",
                    s.name, median(ms), w->points(0).size(), int(w->chart()->plotArea().width()));
    }
}

void purge(const QString &dir, qint64 rows)
{
    const QString path = dir + QStringLiteral("/purge.sqlite");
    const qint64 old = QDateTime::currentMSecsSinceEpoch() - 200LL * 86'400'000;
    {
        HistoryStore store({path, 0, {}});
        std::vector<int> channels;
        for (int i = 0; i < 36; ++i)
            channels.push_back(store.channel(plc(QStringLiteral("c%1").arg(i))));
        for (qint64 i = 0; i < rows; ++i) {
            store.add(channels[size_t(i % 36)], old + i * 10, QString::number(i % 1000));
            if (i % 200'000 == 199'999)
                store.flush();
        }
        store.flush();
    }
    std::printf("\npurge of %lld rows past the retention (36 items), a 10 ms timer on the UI thread\n", rows);
    int largestGap = 0;
    QElapsedTimer sinceTick, total;
    sinceTick.start();
    total.start();
    QTimer probe;
    probe.setInterval(10);
    QObject::connect(&probe, &QTimer::timeout, [&] { largestGap = std::max(largestGap, int(sinceTick.restart())); });
    // Baseline: the same timer for 10 s with no purge.
    probe.start();
    sinceTick.restart();
    QTimer::singleShot(10'000, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    const int idleGap = largestGap;
    largestGap = 0;
    total.restart();
    HistoryStore store({path, 90, {}});
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const auto left = [&] {
        sqlite3_stmt *st = nullptr;
        // The rows past the retention (a restart adds a recent gap row per item).
        sqlite3_prepare_v2(db, "SELECT count(*) FROM (SELECT 1 FROM samples WHERE value IS NOT NULL LIMIT 1)", -1, &st,
                           nullptr);
        sqlite3_step(st);
        const qint64 n = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        return n;
    };
    // Asked off the UI thread, so it is not measured.
    std::atomic<bool> done{false};
    std::thread watcher([&] {
        while (left() > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        done = true;
        QMetaObject::invokeMethod(
                qApp, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    });
    sinceTick.restart();
    QCoreApplication::exec();
    watcher.join();
    std::printf("baseline: largest UI gap over 10 s without a purge %d ms\n", idleGap);
    std::printf("purged in %.1f s (%.0f rows/s); largest UI gap %d ms\n", total.elapsed() / 1000.0,
                double(rows) / (total.elapsed() / 1000.0), largestGap);
    sqlite3_close(db);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    QString dir;
    qint64 rows = 7 * 864'000; // a week at 10 a second
    bool withPurge = false;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == u"--dir" && i + 1 < args.size())
            dir = args[++i];
        else if (args[i] == u"--rows" && i + 1 < args.size())
            rows = args[++i].toLongLong();
        else if (args[i] == u"--purge")
            withPurge = true;
    }
    QTemporaryDir temp(QDir::current().filePath(QStringLiteral("bench-history-XXXXXX")));
    if (dir.isEmpty())
        dir = temp.path();
    uiThreadCost(dir);
    weekOfOneItem(dir, rows);
    if (withPurge)
        purge(dir, 10'000'000);
    return 0;
}
