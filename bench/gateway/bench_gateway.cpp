// The gateway against its floors, in one run:
//  1. requests per scan of the shipped map, against the fewest possible (found here
//     by exhaustive search, not by the gateway's planner);
//  2. scan time of the gateway's PLC link against a bare libmodbus loop making the
//     same requests to the same PLC (a libmodbus server on loopback);
//  3. a PLC change to the station's alarm line: the PLC memory changed here, the real
//     corvane-gateway (period 100 ms) and corvane-station on a private mosquitto.
//
//   bench_gateway [--scans N] [--changes N]
#include "gateway/PlcLink.h"
#include "gateway/PlcServer.h"
#include "gateway/ScanPlan.h"
#ifdef CORVANE_TESTPLC
#include "TestPlc.h"
#endif

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>

#include <modbus.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <thread>
#include <vector>

using namespace corvane::gateway;

namespace {

quint16 freePort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

void waitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

// The fewest requests for each table, by trying every split of the sorted rows
// (dynamic programming over "the first i rows are covered").
int fewestRequests(const ItemMap &map)
{
    int total = 0;
    for (const Table table : {Table::Coil, Table::Discrete, Table::Holding, Table::Input}) {
        std::vector<std::pair<int, int>> spans; // first, end
        for (const MapRow &r : map.rows) {
            if (r.table == table)
                spans.push_back({r.address, r.address + widthOf(r.type)});
        }
        std::sort(spans.begin(), spans.end());
        const int limit = isBitTable(table) ? 2000 : 125;
        const size_t n = spans.size();
        std::vector<int> best(n + 1, 1 << 30);
        best[0] = 0;
        for (size_t i = 0; i < n; ++i) {
            int end = 0;
            for (size_t j = i; j < n; ++j) { // one request for rows i..j
                end = std::max(end, spans[j].second);
                if (end - spans[i].first > limit)
                    break;
                best[j + 1] = std::min(best[j + 1], best[i] + 1);
            }
        }
        total += best[n];
    }
    return total;
}

// The same requests with nothing around them: the floor of a scan.
std::vector<double> bareScans(quint16 port, const QList<ScanRequest> &plan, int scans, int periodMs)
{
    std::vector<double> out;
    modbus_t *ctx = modbus_new_tcp("127.0.0.1", port);
    if (modbus_connect(ctx) != 0)
        return out;
    uint16_t regs[125];
    uint8_t bits[2000];
    for (int s = 0; s < scans; ++s) {
        const auto t0 = std::chrono::steady_clock::now();
        for (const ScanRequest &r : plan) {
            switch (r.table) {
            case Table::Coil:
                modbus_read_bits(ctx, r.start, r.count, bits);
                break;
            case Table::Discrete:
                modbus_read_input_bits(ctx, r.start, r.count, bits);
                break;
            case Table::Holding:
                modbus_read_registers(ctx, r.start, r.count, regs);
                break;
            case Table::Input:
                modbus_read_input_registers(ctx, r.start, r.count, regs);
                break;
            }
        }
        out.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
        std::this_thread::sleep_for(std::chrono::milliseconds(periodMs)); // as a period would
    }
    modbus_close(ctx);
    modbus_free(ctx);
    return out;
}

constexpr int cpuSeconds_window_ms = 20'000;

// User and system CPU time of a process so far.
double cpuSeconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = f.readAll();
    // After the command's closing parenthesis: state is field 3, utime 14, stime 15.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

QString program(const QString &name)
{
    QString path = QStandardPaths::findExecutable(name);
    return path.isEmpty() ? QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin")}) : path;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int scans = 500;
    int changes = 300;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--scans")
            scans = args[i + 1].toInt();
        else if (args[i] == u"--changes")
            changes = args[i + 1].toInt();
    }

    const auto parsed = readItemMap(QStringLiteral(CORVANE_MAP));
    if (const QString *e = std::get_if<QString>(&parsed)) {
        std::fprintf(stderr, "%s\n", qPrintable(*e));
        return 1;
    }
    const ItemMap map = std::get<ItemMap>(parsed);
    const QList<ScanRequest> plan = planScan(map);
    int bytes = 0;
    for (const ScanRequest &r : plan)
        bytes += r.bytes();
    std::printf("shipped map: %lld rows; requests per scan %lld, fewest possible %d; %d data bytes a scan\n",
                static_cast<long long>(map.rows.size()), static_cast<long long>(plan.size()), fewestRequests(map),
                bytes);

    // 2. Scan time.
    const quint16 plcPort = freePort();
    PlcServer plc(map, plcPort);
    QString error;
    if (!plc.start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    constexpr int kScanPeriodMs = 20;
    std::vector<double> linkScans;
    {
        PlcSettings settings;
        settings.host = QStringLiteral("127.0.0.1");
        settings.port = plcPort;
        settings.periodMs = kScanPeriodMs;
        PlcLink link(map, plan, settings);
        QObject::connect(&link, &PlcLink::scanned, [&](const ScanResult &r) { linkScans.push_back(double(r.micros)); });
        link.start();
        waitFor([&] { return int(linkScans.size()) >= scans; }, scans * kScanPeriodMs * 4 + 5000);
        link.stop();
    }
    const std::vector<double> bare = bareScans(plcPort, plan, scans, kScanPeriodMs);
    std::printf("scan of the shipped map, %d scans each, every %d ms:\n", scans, kScanPeriodMs);
    std::printf("  bare libmodbus loop, same requests   median %8.1f us   p99 %8.1f us\n", percentile(bare, 0.5),
                percentile(bare, 0.99));
    std::printf("  gateway's PLC link (read + decode)   median %8.1f us   p99 %8.1f us   x%.2f\n",
                percentile(linkScans, 0.5), percentile(linkScans, 0.99),
                percentile(linkScans, 0.5) / std::max(1.0, percentile(bare, 0.5)));

#ifdef CORVANE_TESTPLC
    // 2b. A strict PLC: it has only the mapped addresses and refuses every read through a gap.
    {
        corvane::test::TestPlc strict;
        QSet<int> holding, coils, discrete;
        for (const MapRow &r : map.rows) {
            for (int a = r.address; a < r.address + widthOf(r.type); ++a)
                (r.table == Table::Holding ? holding : r.table == Table::Coil ? coils : discrete).insert(a);
        }
        strict.onlyHave(holding, coils, discrete);
        if (!strict.start())
            return 1;
        for (const int delayMs : {0, 5}) {
            strict.setDelayMs(delayMs);
            PlcSettings settings;
            settings.host = QStringLiteral("127.0.0.1");
            settings.port = strict.port();
            std::vector<ScanResult> results;
            PlcLink link(map, plan, settings);
            QObject::connect(&link, &PlcLink::scanned, [&](const ScanResult &r) { results.push_back(r); });
            link.start();
            waitFor([&] { return results.size() >= 12; }, 60'000);
            link.stop();
            if (results.empty())
                return 1;
            std::vector<double> ms;
            for (size_t i = 2; i < results.size(); ++i)
                ms.push_back(double(results[i].micros) / 1000.0);
            std::printf(
                    "strict PLC, %d ms an answer: first scan %d requests, then %d a scan (map's contiguous runs %d, "
                    "plan %lld); scan median %.1f ms, max %.1f ms; %d connection(s)\n",
                    delayMs, results.front().requests, results.back().requests, contiguousRuns(map),
                    static_cast<long long>(plan.size()), percentile(ms, 0.5), percentile(ms, 1.0),
                    strict.connections());
        }
    }
#endif

    // 3. PLC change to alarm line.
    QTemporaryDir dir;
    const quint16 brokerPort = freePort();
    QFile conf(dir.filePath(QStringLiteral("mosquitto.conf")));
    conf.open(QIODevice::WriteOnly);
    conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\nset_tcp_nodelay true\n")
                       .arg(brokerPort)
                       .toUtf8());
    conf.close();
    QProcess broker, gateway, station;
    broker.setStandardErrorFile(dir.filePath(QStringLiteral("mosquitto.log")));
    broker.start(program(QStringLiteral("mosquitto")), {QStringLiteral("-c"), conf.fileName()});
    const QString brokerText = QStringLiteral("127.0.0.1:%1").arg(brokerPort);
    gateway.setStandardErrorFile(dir.filePath(QStringLiteral("gateway.log")));
    gateway.start(QStringLiteral(CORVANE_GATEWAY),
                  {QStringLiteral("--plc"), QStringLiteral("127.0.0.1:%1").arg(plcPort), QStringLiteral("--map"),
                   QStringLiteral(CORVANE_MAP), QStringLiteral("--broker"), brokerText, QStringLiteral("--period-ms"),
                   QStringLiteral("100")});
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    station.setProcessEnvironment(env);
    station.setStandardErrorFile(QProcess::nullDevice());
    station.start(QStringLiteral(CORVANE_STATION),
                  {QStringLiteral("--broker"), brokerText, QStringLiteral("--car-main"),
                   QStringLiteral("--echo-alarms"), QStringLiteral("--alarm-log"),
                   dir.filePath(QStringLiteral("alarm_log.txt"))});

    using Clock = std::chrono::steady_clock;
    Clock::time_point changedAt;
    bool waiting = false;
    bool c27 = false;
    std::vector<double> latencies;
    QByteArray buffer;
    int seenC27 = 0;
    QObject::connect(&station, &QProcess::readyReadStandardOutput, [&] {
        const auto now = Clock::now();
        buffer += station.readAllStandardOutput();
        qsizetype nl;
        while ((nl = buffer.indexOf('\n')) >= 0) {
            const QByteArray line = buffer.left(nl);
            buffer.remove(0, nl + 1);
            if (!line.contains(" C27 "))
                continue;
            ++seenC27;
            if (waiting && line.startsWith(c27 ? "alarm: FAULT" : "alarm: CLEAR")) {
                latencies.push_back(std::chrono::duration<double, std::milli>(now - changedAt).count());
                waiting = false;
            }
        }
    });
    // The station logs the car's state once it has it: the start is over.
    waitFor([&] { return seenC27 > 0; }, 30'000);
    if (seenC27 == 0) {
        std::fprintf(stderr, "the station never logged C27\n");
        return 1;
    }
    QRandomGenerator rng(7);
    for (int i = 0; i < changes; ++i) {
        // A random phase against the scans, so every wait for the next scan is seen.
        const int pause = 250 + int(rng.bounded(200));
        waitFor([] { return false; }, pause);
        c27 = !c27;
        waiting = true;
        changedAt = Clock::now();
        plc.setItem(QStringLiteral("c27"), c27 ? QStringLiteral("1") : QStringLiteral("0"));
        waitFor([&] { return !waiting; }, 5000);
        waiting = false;
    }
    std::printf("PLC change to alarm line (gateway period 100 ms), %zu of %d changes seen:\n", latencies.size(),
                changes);
    std::printf("  p50 %6.1f ms   p90 %6.1f ms   p99 %6.1f ms   max %6.1f ms\n", percentile(latencies, 0.5),
                percentile(latencies, 0.9), percentile(latencies, 0.99), percentile(latencies, 1.0));

    // 4. CPU of the gateway at 100 ms, the station subscribed.
    const qint64 gatewayPid = gateway.processId();
    const double cpuStart = cpuSeconds(gatewayPid);
    QElapsedTimer cpuClock;
    cpuClock.start();
    waitFor([] { return false; }, cpuSeconds_window_ms);
    const double cpu = (cpuSeconds(gatewayPid) - cpuStart) / (double(cpuClock.elapsed()) / 1000.0);
    std::printf("gateway CPU at period 100 ms, shipped map, over %d s: %.2f %% of a core\n",
                cpuSeconds_window_ms / 1000, 100.0 * cpu);

    // 5. 1000 writes published at once (mosquitto_pub -l, one message a line).
    {
        QProcess watch;
        watch.start(program(QStringLiteral("mosquitto_sub")),
                    {QStringLiteral("-p"), QString::number(brokerPort), QStringLiteral("-t"),
                     QStringLiteral("DSData/CVPlc/$state")});
        watch.waitForStarted();
        waitFor([] { return false; }, 1000);
        Clock::time_point lastAt;
        int seen = 0;
        QObject::connect(&plc, &PlcServer::written, [&](const QString &item, const QString &value) {
            if (item != u"v10202:db")
                return;
            ++seen;
            if (value == u"1000")
                lastAt = Clock::now();
        });
        QProcess pub;
        pub.start(program(QStringLiteral("mosquitto_pub")),
                  {QStringLiteral("-p"), QString::number(brokerPort), QStringLiteral("-q"), QStringLiteral("1"),
                   QStringLiteral("-l"), QStringLiteral("-t"), QStringLiteral("DSData/CVPlc/v10202:db/set")});
        pub.waitForStarted();
        QByteArray lines;
        for (int v = 1; v <= 1000; ++v)
            lines += QByteArray::number(v) + '\n';
        const auto burstAt = Clock::now();
        pub.write(lines);
        pub.closeWriteChannel();
        waitFor([&] { return lastAt != Clock::time_point{}; }, 30'000);
        pub.waitForFinished(10'000);
        waitFor([] { return false; }, 1500);
        watch.terminate();
        watch.waitForFinished(5000);
        const QByteArray states = watch.readAllStandardOutput();
        std::printf("1000 writes published at once: %d reached the PLC, the last %.0f ms after the first was sent; "
                    "$state offline during the burst: %s\n",
                    seen, std::chrono::duration<double, std::milli>(lastAt - burstAt).count(),
                    states.contains("offline") ? "yes" : "never");
    }

    station.terminate();
    gateway.terminate();
    station.waitForFinished(5000);
    gateway.waitForFinished(5000);
    broker.terminate();
    broker.waitForFinished(5000);
    plc.stop();
    return 0;
}
