// Benchmarks of the alarm path and the main car screen: alarm lines into a real file
// (with and without the disk sync), appending to an alarm list that already holds a
// million lines, and the main screen's red tick. Each figure comes with a baseline measured in the same run.
//
//   corvane-bench-carmain [--dir DIR]   (DIR: where the log file goes; default: a
//                                        temporary folder under the current one)
#include "BenchApp.h"
#include "core/alarm/AlarmLogger.h"
#include "core/time/Timer.h"
#include "core/time/VirtualScheduler.h"
#include "screens/AllScreens.h"
#include "station/FrmAlarmlist.h"
#include "station/Screen.h"
#include "station/ScreenRegistry.h"
#include "station/Station.h"
#include "transport/InProcessServer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

using namespace corvane;

namespace {

using Clock = std::chrono::steady_clock;

struct Stats
{
    double median;
    double p99;
    double max;
};

// Times fn n times; microseconds per call.
Stats measure(int n, const std::function<void(int)> &fn)
{
    std::vector<double> us(size_t(n), 0.0);
    for (int i = 0; i < n; ++i) {
        const auto start = Clock::now();
        fn(i);
        us[size_t(i)] = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    }
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[std::min(us.size() - 1, us.size() * 99 / 100)], us.back()};
}

void row(const char *what, Stats s, const Stats *baseline = nullptr)
{
    std::printf("%-62s median %9.2f us   p99 %9.2f us   max %9.2f us", what, s.median, s.p99, s.max);
    if (baseline)
        std::printf("   x%.2f", s.median / baseline->median);
    std::printf("\n");
}

qint64 residentBytes()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * 4096 : 0;
}

const QString kLine = QStringLiteral("FAULT C27 Handbrake ON, Car Moving  ");

// The station as the program builds it, on virtual time and the in-process server.
struct BenchStation
{
    explicit BenchStation(const QString &logPath = {})
        : station(scheduler, server, logPath.isEmpty() ? logDir.filePath(QStringLiteral("alarm_log.txt")) : logPath)
    {
        registerAllScreens(station);
    }
    ~BenchStation() { station.shutDown(); }
    Screen *screen(const QString &name) const { return station.screens().find(name); }

    VirtualScheduler scheduler;
    InProcessServer server{scheduler};
    QTemporaryDir logDir;
    Station station;
};

// Lines at the flood's pace (one every 0.55 ms, 1 800 a second) for 2 s: each line's
// raise() on the UI thread, with the sync thread running beside it or not. Back to
// back, the lines above take only a fraction of a second: this is what the syncs at
// ten a second do to a UI thread that keeps raising.
void benchPacedLines(const QString &dir, const Stats &bare)
{
    constexpr int kLines = 3600;
    constexpr auto kPace = std::chrono::microseconds(555);
    std::printf("\n3 600 alarm lines at 1 800 a second (the flood's pace)\n");
    for (const bool sync : {false, true}) {
        BenchStation b(QDir(dir).filePath(sync ? QStringLiteral("paced.txt") : QStringLiteral("paced_nosync.txt")));
        b.station.alarms().setSyncToDisk(sync);
        b.screen(QString::fromLatin1(FrmAlarmlist::kFormName))->load();
        std::vector<double> us;
        us.reserve(kLines);
        auto next = Clock::now();
        for (int i = 0; i < kLines; ++i) {
            std::this_thread::sleep_until(next);
            next += kPace;
            const auto start = Clock::now();
            b.station.alarms().raise(kLine);
            us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
        std::sort(us.begin(), us.end());
        const Stats s{us[us.size() / 2], us[us.size() * 99 / 100], us.back()};
        row(sync ? "raise() at 1 800/s, disk sync on" : "raise() at 1 800/s, disk sync off", s, &bare);
        if (sync) {
            const DiskSyncer::Stats st = b.station.alarms().syncStats();
            std::printf("%-62s %llu syncs in 2 s, longest %.1f ms; longest wait for the disk %.1f ms\n",
                        "  the sync thread meanwhile", static_cast<unsigned long long>(st.syncs),
                        std::chrono::duration<double, std::milli>(st.longestSync).count(),
                        std::chrono::duration<double, std::milli>(st.longestWait).count());
        }
    }
}

void benchAlarmFile(const QString &dir)
{
    constexpr int kLines = 10'000;
    std::printf("\n10 000 alarm lines raised back to back into %s\n", qPrintable(dir));

    // Baseline: the bare open, append, close of the same bytes.
    const QString barePath = QDir(dir).filePath(QStringLiteral("bare.txt"));
    const QByteArray bytes = (kLine + QStringLiteral("14:03:07 06/21/2004\r\n")).toUtf8();
    const Stats bare = measure(kLines, [&](int) {
        QFile f(barePath);
        f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
        f.write(bytes);
        f.close();
    });
    row("baseline: QFile open + append + close", bare);

    // The same lines with the disk sync off and on, each into a fresh log.
    for (const bool sync : {false, true}) {
        BenchStation b(
                QDir(dir).filePath(sync ? QStringLiteral("alarm_log.txt") : QStringLiteral("alarm_log_nosync.txt")));
        b.station.alarms().setSyncToDisk(sync);
        b.screen(QString::fromLatin1(FrmAlarmlist::kFormName))->load(); // as the main screen does
        const auto start = Clock::now();
        const Stats raised = measure(kLines, [&](int) { b.station.alarms().raise(kLine); });
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        row(sync ? "raise(): stamp, file, list (hidden), text box; disk sync on"
                 : "raise(): stamp, file, list (hidden), text box; disk sync off",
            raised, &bare);
        if (sync) {
            const DiskSyncer::Stats s = b.station.alarms().syncStats();
            std::printf("%-62s %llu syncs in %.2f s, longest %.1f ms; longest wait for the disk %.1f ms\n",
                        "  the sync thread meanwhile", static_cast<unsigned long long>(s.syncs), seconds,
                        std::chrono::duration<double, std::milli>(s.longestSync).count(),
                        std::chrono::duration<double, std::milli>(s.longestWait).count());
        }
    }
    benchPacedLines(dir, bare);
}

void benchMillionLineList()
{
    constexpr int kFill = 1'000'000;
    constexpr int kAppends = 2'000;
    std::printf("\nAppending to the alarm list (window shown, view following the end)\n");

    BenchStation b;
    auto *list = qobject_cast<FrmAlarmlist *>(b.screen(QString::fromLatin1(FrmAlarmlist::kFormName)));
    list->show();
    QCoreApplication::processEvents();
    const QString line = kLine + QStringLiteral("14:03:07 06/21/2004");
    auto append = [&](int) {
        list->addLine(line);
        QCoreApplication::processEvents(); // the view's own work for the new row
    };

    const Stats empty = measure(kAppends, append);
    row("baseline: append to a list of up to 2 000 lines", empty);

    const qint64 before = residentBytes();
    for (int i = list->lineCount(); i < kFill; ++i)
        list->addLine(line);
    QCoreApplication::processEvents();
    const qint64 after = residentBytes();
    const Stats full = measure(kAppends, append);
    row("append to a list of 1 000 000 lines", full, &empty);
    list->hide();
    QCoreApplication::processEvents();
    const Stats hidden = measure(kAppends, append);
    row("append to a hidden list of 1 000 000 lines (the usual case)", hidden, &empty);
    std::printf("%-62s %.0f bytes a line (resident memory)\n", "memory for 1 000 000 lines of 55 characters",
                double(after - before) / (kFill - kAppends));
}

void benchRedTick()
{
    constexpr int kTicks = 20'000;
    std::printf("\nThe main car screen's red tick (window shown)\n");

    BenchStation b;
    Screen *main = b.screen(QStringLiteral("frmCVCarmain"));
    main->show();
    b.scheduler.advance(1000);
    QCoreApplication::processEvents();
    Timer *red = main->window()->findChild<Timer *>(QStringLiteral("tmrFlashRed"));

    auto tick = [&](int) { Q_EMIT red->tick(); };
    auto tickAndPaint = [&](int) {
        Q_EMIT red->tick();
        QCoreApplication::processEvents();
    };
    // No data: every indicator in its alarm state, half of them flashing.
    const Stats alarm = measure(kTicks, tick);
    const Stats alarmPaint = measure(kTicks / 10, tickAndPaint);

    for (const char *a : {"c500=0", "c501=0", "c510=0", "c511=0", "c750=0", "c751=0", "x227=1", "c27=0", "x200=1",
                          "x226=1", "c302=0", "y253=0", "y255=0", "x251=0", "x252=0", "x255=0", "x253=0", "x256=0"}) {
        const QString s = QString::fromLatin1(a);
        b.server.setValue(s.section(u'=', 0, 0), s.section(u'=', 1));
    }
    b.scheduler.advance(1000);
    QCoreApplication::processEvents();
    const Stats healthy = measure(kTicks, tick);
    const Stats healthyPaint = measure(kTicks / 10, tickAndPaint);

    row("healthy car: tick handler", healthy);
    row("healthy car: tick handler + the repaint it causes", healthyPaint, &healthy);
    row("no data (all in alarm): tick handler", alarm, &healthy);
    row("no data (all in alarm): tick handler + repaint", alarmPaint, &healthy);
}

} // namespace

int main(int argc, char *argv[])
{
    return corvane::bench::runScreenBench(argc, argv, [](const QStringList &args) {
        QString dir;
        if (const qsizetype i = args.indexOf(QStringLiteral("--dir")); i > 0 && i + 1 < args.size())
            dir = args.at(i + 1);
        QTemporaryDir temp(QDir::current().filePath(QStringLiteral("bench-XXXXXX")));
        if (dir.isEmpty())
            dir = temp.path();
        QDir().mkpath(dir);

        benchAlarmFile(dir);
        benchMillionLineList();
        benchRedTick();
        return 0;
    });
}
