// The cost of one red-flash tick of each flashing screen, counted in instructions by
// callgrind (bench/ticks/run.sh), for a healthy car and with no data (every indicator
// at its design caption, so in alarm). Run natively it prints the time per tick.
//
//   corvane-bench-ticks [--ticks N]      (default 200)
#include "../BenchApp.h"
#include "core/time/Timer.h"
#include "core/time/VirtualScheduler.h"
#include "screens/AllScreens.h"
#include "sim/PlcImage.h"
#include "sim/SimulatedCar.h"
#include "station/Screen.h"
#include "station/ScreenRegistry.h"
#include "station/Station.h"
#include "transport/InProcessServer.h"

#include <QMap>
#include <QTemporaryDir>

#include <valgrind/callgrind.h>

#include <chrono>
#include <cstdio>

using namespace corvane;

namespace {

constexpr const char *kScreens[] = {"frmCVCarmain", "frmEnvSystem", "frmWtrSystem", "frmPorter"};

struct TickStation
{
    explicit TickStation(const QMap<QString, QString> &values)
        : station(scheduler, server, logDir.filePath(QStringLiteral("alarm_log.txt")))
    {
        registerAllScreens(station);
        for (auto it = values.begin(); it != values.end(); ++it)
            server.setValue(it.key(), it.value());
    }
    ~TickStation() { station.shutDown(); }

    void settle(qint64 ms)
    {
        scheduler.advance(ms);
        QCoreApplication::processEvents();
        scheduler.runPending();
    }

    VirtualScheduler scheduler;
    InProcessServer server{scheduler};
    QTemporaryDir logDir;
    Station station;
};

// Runs n ticks of the screen's red timer under instrumentation, then dumps the counts
// under the label; with paint, the repaint each tick asks for is done as well.
void measure(Timer *red, int n, bool paint, const QByteArray &label)
{
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    CALLGRIND_ZERO_STATS;
    CALLGRIND_START_INSTRUMENTATION;
    for (int i = 0; i < n; ++i) {
        Q_EMIT red->tick();
        if (paint)
            QCoreApplication::processEvents();
    }
    CALLGRIND_STOP_INSTRUMENTATION;
    CALLGRIND_DUMP_STATS_AT(label.constData());
    const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count() / n;
    std::printf("%-52s %9.2f us a tick\n", label.constData(), us);
}

void run(const char *scenario, const QMap<QString, QString> &values, int n)
{
    TickStation t(values);
    for (const char *form : kScreens) {
        const QString name = QString::fromLatin1(form);
        t.station.screens().show(name);
        t.settle(1000);
        Screen *screen = t.station.screens().find(name);
        Timer *red = screen && screen->window() ? screen->window()->findChild<Timer *>(QStringLiteral("tmrFlashRed"))
                                                : nullptr;
        if (!red) {
            std::fprintf(stderr, "%s has no red flash timer\n", form);
            continue;
        }
        // Warm up: every flash phase once, every lazy cache filled.
        for (int i = 0; i < 8; ++i) {
            Q_EMIT red->tick();
            QCoreApplication::processEvents();
        }
        for (const bool paint : {false, true}) {
            const QByteArray label = QByteArray(form) + ' ' + scenario + (paint ? " tick+paint" : " tick")
                                     + " n=" + QByteArray::number(n);
            measure(red, n, paint, label);
        }
    }
}

} // namespace

int main(int argc, char *argv[])
{
    return corvane::bench::runScreenBench(argc, argv, [](const QStringList &args) {
        const qsizetype at = args.indexOf(QStringLiteral("--ticks"));
        const int n = at > 0 && at + 1 < args.size() ? std::max(1, args.at(at + 1).toInt()) : 200;
        run("healthy", sim::healthyCarValues(), n);
        run("no-data", {}, n);
        return 0;
    });
}
