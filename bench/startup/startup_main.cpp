// Start-up: process start to the selection window shown (the station with
// --report-startup, its data server absent), beside the baseline program (a bare Qt
// Widgets window) started the same way; and the porter screen's load (71 links) with
// the data server absent: the MQTT link pointed at a port where nothing listens.
//
//   corvane-bench-startup [--runs N]       (default 10; each run is a fresh process)
//
// "shown" is when the first window has been exposed and painted, measured on the
// monotonic clock from just before the process is started.
#include "core/time/QtScheduler.h"
#include "screens/AllScreens.h"
#include "station/Screen.h"
#include "station/ScreenRegistry.h"
#include "station/Station.h"
#include "transport/MqttTagSource.h"
#include "ui/Look.h"

#include <QApplication>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace corvane;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

quint16 deadPort()
{
    QTcpServer probe; // free now, and nobody listens once the probe is gone
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

struct Summary
{
    double median, low, high;
};

Summary summarise(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    if (v.empty())
        return {0, 0, 0};
    return {(v[(v.size() - 1) / 2] + v[v.size() / 2]) / 2, v.front(), v.back()};
}

void row(const char *what, const std::vector<double> &v, const Summary *baseline = nullptr, double aim = 0)
{
    const Summary s = summarise(v);
    std::printf("%-58s median %7.1f ms  range %7.1f..%-7.1f (%zu runs)", what, s.median, s.low, s.high, v.size());
    if (baseline)
        std::printf("  x%.2f", s.median / baseline->median);
    if (aim > 0)
        std::printf("  aim %.0f ms: %s", aim, s.high <= aim ? "met" : (s.median <= aim ? "median met" : "MISSED"));
    std::printf("\n");
}

// Starts a program, waits for its "startup:" line and returns the ms from just
// before the start to its first window painted (the program's monotonic stamp), or
// a negative number. kernelMs gets the program's own figure from its start time.
double timeToShown(const QString &program, const QStringList &args, const QString &dir, double *kernelMs)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_STATE_HOME"), dir);
    p.setProcessEnvironment(env);
    const auto start = Clock::now();
    p.start(program, args);
    double result = -1;
    QByteArray out;
    while (p.waitForReadyRead(10'000)) {
        out += p.readAllStandardOutput();
        const qsizetype at = out.indexOf("startup: shown ");
        if (at >= 0 && out.indexOf('\n', at) > 0) {
            const QByteArray line = out.mid(at, out.indexOf('\n', at) - at);
            *kernelMs = line.split(' ').value(2).toDouble();
            const qint64 painted = line.mid(line.indexOf("monotonic ") + 10).split(' ').value(0).toLongLong();
            result = double(painted
                            - std::chrono::duration_cast<std::chrono::nanoseconds>(start.time_since_epoch()).count())
                     / 1e6;
            break;
        }
    }
    p.terminate();
    if (!p.waitForFinished(5000))
        p.kill();
    return result;
}

// The child: one station on a dead link, the porter screen shown once cold and then
// again warm; prints "porter: <load ms> <shown ms>" per load.
int porterChild(quint16 port)
{
    applyStationLook();
    QtScheduler scheduler;
    MqttSettings settings;
    settings.port = port;
    MqttTagSource tags(settings);
    QTemporaryDir dir;
    Station station(scheduler, tags, dir.filePath(QStringLiteral("alarm_log.txt")));
    registerAllScreens(station);
    tags.start();
    station.screens().show(QStringLiteral("frmSelect"));
    QCoreApplication::processEvents();

    const QString porter = QStringLiteral("frmPorter");
    for (int i = 0; i < 5; ++i) {
        const auto start = Clock::now();
        station.screens().load(porter);
        const double loaded = msSince(start);
        station.screens().show(porter);
        QWindow *window = station.screens().find(porter)->window()->windowHandle();
        while (!window->isExposed())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::processEvents(); // the first paint, flushed
        const double shown = msSince(start);
        std::printf("porter: %.3f %.3f\n", loaded, shown);
        station.screens().unload(porter);
        QCoreApplication::processEvents();
    }
    std::fflush(stdout);
    station.shutDown();
    tags.stop();
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    const QStringList rawArgs = [&] {
        QStringList a;
        for (int i = 0; i < argc; ++i)
            a << QString::fromLocal8Bit(argv[i]);
        return a;
    }();
    if (rawArgs.value(1) == QLatin1String("--porter-child")) {
        QApplication app(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        return porterChild(quint16(rawArgs.value(2).toUInt()));
    }
    QCoreApplication app(argc, argv);
    const qsizetype at = rawArgs.indexOf(QStringLiteral("--runs"));
    const int runs = at > 0 ? std::max(1, rawArgs.value(at + 1).toInt()) : 10;

    QTemporaryDir dir;
    const quint16 port = deadPort();
    const QStringList stationArgs
            = {QStringLiteral("--report-startup"), QStringLiteral("--broker"), QStringLiteral("127.0.0.1:%1").arg(port),
               QStringLiteral("--alarm-log"), dir.filePath(QStringLiteral("alarm_log.txt"))};
    std::printf("%d runs of each, alternating; the data server absent (nothing listens on port %u)\n\n", runs, port);
    std::vector<double> base, baseKernel, station, stationKernel, porterLoad, porterShown, porterWarm;
    for (int i = 0; i < runs; ++i) {
        double kernel = 0;
        base.push_back(timeToShown(QStringLiteral(CORVANE_BASELINE), {QStringLiteral("--report-startup")}, dir.path(),
                                   &kernel));
        baseKernel.push_back(kernel);
        station.push_back(timeToShown(QStringLiteral(CORVANE_STATION), stationArgs, dir.path(), &kernel));
        stationKernel.push_back(kernel);

        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--porter-child"), QString::number(port)});
        child.waitForFinished(30'000);
        int n = 0;
        for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
            if (!line.startsWith("porter: "))
                continue;
            const QList<QByteArray> f = line.split(' ');
            if (n++ == 0) {
                porterLoad.push_back(f.value(1).toDouble());
                porterShown.push_back(f.value(2).toDouble());
            } else {
                porterWarm.push_back(f.value(2).toDouble());
            }
        }
    }
    const Summary b = summarise(base);
    row("baseline: process start to its window painted", base);
    row("station: process start to frmSelect painted", station, &b, 300);
    row("baseline, from the kernel's start time (10 ms steps)", baseKernel);
    row("station, from the kernel's start time (10 ms steps)", stationKernel);
    row("porter load, first in the process (build + 71 links)", porterLoad, nullptr, 300);
    row("porter load to its window painted, first in the process", porterShown, nullptr, 300);
    row("porter load to its window painted, again (4 a process)", porterWarm, nullptr, 300);
    return 0;
}
