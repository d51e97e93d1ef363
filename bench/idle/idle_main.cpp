// Idle cost of the station: the real program on its network link, the main car screen
// shown and its background screens loaded, fed a healthy car once (the simulated car
// on a clock that never moves, so no value changes), beside the baseline program (a
// bare Qt Widgets window with one 200 ms timer) running over the same seconds.
//
//   corvane-bench-idle [--seconds N] [--warmup N]     (defaults: 60 and 5)
//                      [--wrap "valgrind --tool=callgrind --instr-atstart=no"]
//   (--wrap runs the station under a profiler; its figures are then not the station's)
//
// Both run offscreen. CPU is the time on a CPU of all threads (/proc/PID/task/*/schedstat,
// in ns) per second, in six windows; utime+stime (/proc/PID/stat, 10 ms steps) over the
// whole run is printed too. Memory is the peak resident set (VmHWM).
#include "ProcProbe.h"

#include "app/DataSim.h"
#include "core/time/VirtualScheduler.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace corvane;
using namespace corvane::bench;

namespace {

void spin(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool startBroker(QProcess &broker, const QTemporaryDir &dir, quint16 port)
{
    QString program = QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
    if (program.isEmpty())
        program = QStandardPaths::findExecutable(QStringLiteral("mosquitto"), {QStringLiteral("/usr/sbin")});
    QFile conf(dir.filePath(QStringLiteral("mosquitto.conf")));
    if (program.isEmpty() || !conf.open(QIODevice::WriteOnly))
        return false;
    conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\n").arg(port).toUtf8());
    conf.close();
    broker.setStandardOutputFile(QProcess::nullDevice());
    broker.setStandardErrorFile(QProcess::nullDevice());
    broker.start(program, {QStringLiteral("-c"), conf.fileName()});
    QDeadlineTimer deadline(10'000);
    while (!deadline.hasExpired()) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, port);
        if (s.waitForConnected(200))
            return true;
        QThread::msleep(50);
    }
    return false;
}

struct Probe
{
    const char *name;
    QProcess *process;
    std::vector<double> run; // schedstat seconds at each sample
    double statStart = 0, statEnd = 0;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : (v[(v.size() - 1) / 2] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    auto intOption = [&args](const char *name, int fallback) {
        const qsizetype i = args.indexOf(QLatin1String(name));
        return i > 0 && i + 1 < args.size() ? args.at(i + 1).toInt() : fallback;
    };
    const int seconds = std::max(1, intOption("--seconds", 60));
    const int warmup = std::max(0, intOption("--warmup", 5));
    constexpr int kWindows = 6;

    QTemporaryDir dir;
    const quint16 port = freePort();
    QProcess broker;
    if (!startBroker(broker, dir, port)) {
        std::fprintf(stderr, "corvane-bench-idle: cannot start mosquitto\n");
        return 1;
    }

    // The healthy car, published once: its scenario runs on a clock nobody advances.
    MqttSettings settings;
    settings.port = port;
    settings.clientIdPrefix = QStringLiteral("corvane-bench-idle");
    VirtualScheduler frozen;
    DataSim car(frozen, settings, 1);
    car.start();
    spin(500);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess station, baseline;
    for (QProcess *p : {&station, &baseline}) {
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::MergedChannels);
    }
    QStringList command = {QStringLiteral(CORVANE_STATION),
                           QStringLiteral("--broker"),
                           QStringLiteral("127.0.0.1:%1").arg(port),
                           QStringLiteral("--car-main"),
                           QStringLiteral("--alarm-log"),
                           dir.filePath(QStringLiteral("alarm_log.txt"))};
    if (const qsizetype wrap = args.indexOf(QStringLiteral("--wrap")); wrap > 0 && wrap + 1 < args.size())
        command = args.at(wrap + 1).split(u' ', Qt::SkipEmptyParts) + command;
    station.start(command.takeFirst(), command);
    baseline.start(QStringLiteral(CORVANE_BASELINE), QStringList());
    if (!station.waitForStarted() || !baseline.waitForStarted()) {
        std::fprintf(stderr, "corvane-bench-idle: cannot start the programs\n");
        return 1;
    }
    std::printf("station pid %lld, baseline pid %lld, broker port %u; %d s warm-up, then %d s measured\n",
                station.processId(), baseline.processId(), port, warmup, seconds);
    std::fflush(stdout);
    spin(warmup * 1000);

    Probe probes[] = {{"baseline: one window, one 200 ms timer", &baseline, {}},
                      {"station: main car screen on the network link", &station, {}}};
    for (Probe &p : probes) {
        p.statStart = cpuSeconds(p.process->processId());
        p.run.push_back(runSeconds(p.process->processId()));
    }
    QElapsedTimer clock;
    clock.start();
    std::vector<double> windowSeconds;
    for (int w = 1; w <= kWindows; ++w) {
        const qint64 until = qint64(seconds) * 1000 * w / kWindows;
        spin(int(until - clock.elapsed()));
        windowSeconds.push_back(double(clock.elapsed()) / 1000.0);
        for (Probe &p : probes)
            p.run.push_back(runSeconds(p.process->processId()));
    }
    for (Probe &p : probes)
        p.statEnd = cpuSeconds(p.process->processId());
    const double elapsed = double(clock.elapsed()) / 1000.0;

    std::printf("\n%-46s %10s %19s %12s %12s %10s\n", "", "CPU ms/s", "(range, 6 windows)", "utime+stime", "VmHWM",
                "VmRSS");
    double baseCpu = 0, baseHwm = 0;
    for (const Probe &p : probes) {
        std::vector<double> perSecond;
        double previousAt = 0;
        for (std::size_t i = 1; i < p.run.size(); ++i) {
            perSecond.push_back((p.run[i] - p.run[i - 1]) * 1000.0 / (windowSeconds[i - 1] - previousAt));
            previousAt = windowSeconds[i - 1];
        }
        const double cpu = median(perSecond);
        const auto [lo, hi] = std::minmax_element(perSecond.begin(), perSecond.end());
        const qint64 pid = p.process->processId();
        const double hwm = double(statusKb(pid, "VmHWM")) / 1024.0;
        std::printf("%-46s %10.3f      %6.3f..%-6.3f %9.2f ms/s %9.1f MiB %6.1f MiB", p.name, cpu, *lo, *hi,
                    (p.statEnd - p.statStart) * 1000.0 / elapsed, hwm, double(statusKb(pid, "VmRSS")) / 1024.0);
        if (p.process == &baseline) {
            baseCpu = cpu;
            baseHwm = hwm;
        } else {
            std::printf("   CPU x%.2f, memory x%.2f", cpu / baseCpu, hwm / baseHwm);
        }
        std::printf("\n");
    }

    for (QProcess *p : {&station, &baseline}) {
        p->terminate();
        p->waitForFinished(5000);
    }
    const QByteArray log = station.readAll();
    const bool linked = log.contains("data server link up");
    std::printf("\nstation on the data server's link: %s\n", linked ? "yes" : "NO (figures are not of the link)");
    car.stop();
    broker.terminate();
    broker.waitForFinished(5000);
    return linked ? 0 : 1;
}
