// Replay's costs on a week of history, each beside a baseline from the same run:
//   - seek: from the seek to the main car screen showing the state then, against the
//     same screens loaded from an in-process server holding the same values;
//   - 64x playback: the largest gap of a 10 ms timer on the UI thread while the
//     screens run at 64 times real time over the items that change 10 times a second;
//   - a live recorder's commits (flush latency, 10 values a second of each fast item
//     and one a second of the rest) while a replay reads the same file, against the
//     same without a replay.
//
//   corvane-bench-replay [--dir DIR] [--days N]     (offscreen unless QT_QPA_PLATFORM is set)
#include "../BenchApp.h"

#include "core/time/VirtualScheduler.h"
#include "history/HistoryStore.h"
#include "history/ReplaySession.h"
#include "history/ReplayTagSource.h"
#include "screens/AllScreens.h"
#include "sim/SimulatedCar.h"
#include "station/ScreenRegistry.h"
#include "station/Station.h"
#include "transport/InProcessServer.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sqlite3.h>

using namespace corvane;
using namespace corvane::history;

namespace {

constexpr qint64 kDayMs = 24 * 3600'000;
// Items that change 10 times a second (speed, brake pipe, water level); the rest once a minute.
const QStringList kFast{QStringLiteral("v10020:b"), QStringLiteral("v1413:b"), QStringLiteral("v1416:b")};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Every item of the car with a value a minute (the fast ones ten a second) for `days`.
qint64 fill(const QString &path, qint64 fromMs, int days, const QStringList &items)
{
    {
        HistoryStore schema({path, 100'000, [](const QString &) {}}); // the station's own schema
        schema.flush();
    }
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=OFF; BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *item = nullptr, *row = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO items(id, application, topic, item) VALUES(?1, 'DSData', 'CVPlc', ?2)", -1,
                       &item, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO samples(item_id, t_ms, value) VALUES(?1, ?2, ?3)", -1, &row, nullptr);
    qint64 rows = 0;
    const qint64 toMs = fromMs + days * kDayMs;
    const QMap<QString, QString> healthy = sim::healthyCarValues();
    for (const QString &f : kFast)
        Q_ASSERT(items.contains(f));
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QByteArray name = items[i].toUtf8();
        sqlite3_bind_int64(item, 1, i + 1);
        sqlite3_bind_text(item, 2, name.constData(), int(name.size()), SQLITE_STATIC);
        sqlite3_step(item);
        sqlite3_reset(item);
        const bool fast = kFast.contains(items[i]);
        const qint64 step = fast ? 100 : 60'000;
        const double base = healthy.value(items[i]).toDouble();
        for (qint64 t = fromMs + (fast ? 0 : (i * 997) % step); t < toMs; t += step) {
            // Bits stay as the healthy car has them; numbers wander a little.
            const QByteArray v = fast || base > 1 ? QByteArray::number(base + double((t / step) % 7), 'g', 6)
                                                  : QByteArray::number(base, 'g', 6);
            sqlite3_bind_int64(row, 1, i + 1);
            sqlite3_bind_int64(row, 2, t);
            sqlite3_bind_text(row, 3, v.constData(), int(v.size()), SQLITE_TRANSIENT);
            sqlite3_step(row);
            sqlite3_reset(row);
            ++rows;
        }
    }
    sqlite3_finalize(item);
    sqlite3_finalize(row);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return rows;
}

struct ReplayStation
{
    explicit ReplayStation(const QString &path, qint64 atMs)
        : scheduler(QDateTime::fromMSecsSinceEpoch(atMs))
        , tags(scheduler)
        , station(scheduler, tags, QString())
    {
        registerAllScreens(station);
        session = std::make_unique<ReplaySession>(station, scheduler, tags, path);
        session->setScreensAtSeek({QStringLiteral("frmSelect"), QStringLiteral("frmCVCarmain")});
    }
    ~ReplayStation()
    {
        session.reset();
        station.shutDown();
    }
    VirtualScheduler scheduler;
    ReplayTagSource tags;
    Station station;
    std::unique_ptr<ReplaySession> session;
};

// The largest wait of the UI thread's event loop, from a 10 ms timer.
struct GapProbe
{
    GapProbe()
    {
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] { largest = qMax(largest, since.restart() - 10); });
        since.start();
        timer.start(10);
    }
    QTimer timer;
    QElapsedTimer since;
    qint64 largest = 0;
};

void runFor(qint64 ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

} // namespace

int main(int argc, char *argv[])
{
    return bench::runScreenBench(argc, argv, [](const QStringList &args) {
        QTemporaryDir tmp;
        const int dirAt = int(args.indexOf(QStringLiteral("--dir")));
        const QString dir = dirAt > 0 ? args.value(dirAt + 1) : tmp.path();
        const int daysAt = int(args.indexOf(QStringLiteral("--days")));
        const int days = daysAt > 0 ? args.value(daysAt + 1).toInt() : 7;
        const QString path = dir + QStringLiteral("/week.sqlite");
        const QStringList items = sim::healthyCarValues().keys();
        const qint64 from = QDateTime(QDate(2026, 12, 1), QTime(0, 0)).toMSecsSinceEpoch();

        QElapsedTimer made;
        made.start();
        QFile::remove(path);
        const qint64 rows = fill(path, from, days, items);
        std::printf("%lld rows: %lld items for %d days, %lld of them 10 a second; written in %.1f s, file %.1f MB\n",
                    rows, qint64(items.size()), days, qint64(kFast.size()), double(made.elapsed()) / 1000,
                    double(QFileInfo(path).size()) / 1e6);

        // Baseline: the same screens loaded on an in-process server holding the same values.
        std::vector<double> baseline;
        for (int i = 0; i < 7; ++i) {
            VirtualScheduler scheduler;
            InProcessServer server(scheduler);
            for (const QString &item : items)
                server.setValue(item, sim::healthyCarValues().value(item));
            Station station(scheduler, server, QString());
            registerAllScreens(station);
            QElapsedTimer t;
            t.start();
            station.screens().show(QStringLiteral("frmSelect"));
            station.screens().show(QStringLiteral("frmCVCarmain"));
            scheduler.runPending();
            baseline.push_back(double(t.nsecsElapsed()) / 1e6);
            station.shutDown();
        }
        std::vector<double> seeks;
        {
            ReplayStation r(path, from);
            for (int i = 0; i < 7; ++i) {
                const qint64 at = from + (days * kDayMs) * (2 * i + 1) / 14 + i * 7919;
                QSignalSpy done(r.session.get(), &ReplaySession::seekDone);
                QElapsedTimer t;
                t.start();
                r.session->seek(at);
                done.wait(10'000);
                seeks.push_back(double(t.nsecsElapsed()) / 1e6);
            }
        }
        std::printf("seek to the screens showing the state: median %.1f ms, worst %.1f ms of 7 across the week\n"
                    "  (baseline: the same screens loaded from an in-process server: median %.1f ms)  x%.1f\n",
                    median(seeks), *std::max_element(seeks.begin(), seeks.end()), median(baseline),
                    median(seeks) / median(baseline));

        // 64x for 10 s of real time: about 11 minutes of the fast items.
        {
            ReplayStation r(path, from + kDayMs);
            QSignalSpy done(r.session.get(), &ReplaySession::seekDone);
            r.session->seek(from + kDayMs);
            done.wait(10'000);
            GapProbe idle;
            runFor(3000);
            const qint64 idleGap = idle.largest;
            GapProbe probe;
            r.session->setSpeed(64);
            r.session->play();
            QElapsedTimer t;
            t.start();
            runFor(10'000);
            const double replayed = double(r.session->timeMs() - from - kDayMs) / 1000;
            std::printf("64x: %.0f s replayed in %.1f s (%.1fx achieved); largest UI gap %lld ms "
                        "(baseline: paused, 3 s, %lld ms)\n",
                        replayed, double(t.elapsed()) / 1000, replayed * 1000 / double(t.elapsed()), probe.largest,
                        idleGap);
        }

        // A live recorder on the same file: how long each commit takes it, with and without a replay reading.
        for (const bool replaying : {false, true}) {
            HistoryStore live({path, 100'000, [](const QString &w) { std::fprintf(stderr, "%s\n", qPrintable(w)); }});
            // Opening a week's file (its checks at start) is no commit: done before measuring.
            QElapsedTimer opening;
            opening.start();
            live.flush();
            std::printf("live recorder: the file opened in %.1f ms\n", double(opening.nsecsElapsed()) / 1e6);
            std::vector<int> channels;
            for (const QString &item : items)
                channels.push_back(live.channel({QStringLiteral("DSData"), QStringLiteral("CVPlc"), item}));
            std::unique_ptr<ReplayStation> r;
            if (replaying) {
                r = std::make_unique<ReplayStation>(path, from + 2 * kDayMs);
                QSignalSpy done(r->session.get(), &ReplaySession::seekDone);
                r->session->seek(from + 2 * kDayMs);
                done.wait(10'000);
                r->session->setSpeed(64);
                r->session->play();
            }
            std::vector<double> commits;
            qint64 t = from + days * kDayMs + (replaying ? 3600'000 : 0);
            for (int round = 0; round < 50; ++round) {
                for (int tenth = 0; tenth < 10; ++tenth, t += 100) {
                    for (size_t c = 0; c < channels.size(); ++c) {
                        if (tenth == 0 || kFast.contains(items[int(c)]))
                            live.add(channels[c], t, QString::number(t % 1000));
                    }
                }
                QElapsedTimer commit;
                commit.start();
                live.flush();
                commits.push_back(double(commit.nsecsElapsed()) / 1e6);
                runFor(50); // the replay's pump and the reader go on meanwhile
            }
            std::printf("live recorder, 1 s of values committed: median %.1f ms, worst %.1f ms of 50%s\n",
                        median(commits), *std::max_element(commits.begin(), commits.end()),
                        replaying ? " while a replay plays at 64x on the file" : " (baseline: no replay)");
        }
        return 0;
    });
}
