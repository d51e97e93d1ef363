// Latency from a data server's publish to the station's alarm line, against the floor
// measured in the same run: mosquitto_sub receiving the same publishes and appending
// each to a file. Both files are watched by one inotify thread, so both sides pay
// the same to be seen.
//
//   bench_mqtt_latency [--changes N] [--rate PER_SECOND] [--item c27|$state]
//
// --item $state (the default) toggles the data server's presence: every change is a
// FAULT or CLEAR DSDATA line. --item c27 toggles the hand brake item, whose lines
// come from the main car screen.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <mosquitto.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

QString program(const QString &name)
{
    QString path = QStandardPaths::findExecutable(name);
    return path.isEmpty() ? QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin")}) : path;
}

// Time stamps of the lines appended to the files of one folder, per file name.
class LineWatch
{
public:
    explicit LineWatch(const QString &dir)
        : m_dir(dir)
    {
        m_fd = inotify_init1(IN_CLOEXEC);
        inotify_add_watch(m_fd, QFile::encodeName(dir).constData(), IN_MODIFY);
        m_thread = std::thread([this] { run(); });
    }
    ~LineWatch()
    {
        m_stop = true;
        QFile touch(m_dir + QStringLiteral("/.stop"));
        touch.open(QIODevice::WriteOnly);
        touch.write("x");
        touch.close();
        m_thread.join();
        ::close(m_fd);
    }
    std::vector<Clock::time_point> lines(const QString &name)
    {
        std::lock_guard lock(m_mutex);
        return m_lines[name];
    }

private:
    void run()
    {
        alignas(inotify_event) char buf[4096];
        std::map<QString, qint64> offsets;
        while (!m_stop) {
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            const Clock::time_point now = Clock::now();
            for (ssize_t i = 0; i < n;) {
                const auto *e = reinterpret_cast<const inotify_event *>(buf + i);
                i += ssize_t(sizeof(inotify_event) + e->len);
                if (e->len == 0)
                    continue;
                const QString name = QString::fromLocal8Bit(e->name);
                QFile f(m_dir + u'/' + name);
                if (!f.open(QIODevice::ReadOnly))
                    continue;
                f.seek(offsets[name]);
                const QByteArray added = f.readAll();
                offsets[name] += added.size();
                const auto count = added.count('\n');
                std::lock_guard lock(m_mutex);
                for (qsizetype k = 0; k < count; ++k)
                    m_lines[name].push_back(now);
            }
        }
    }

    QString m_dir;
    int m_fd = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::map<QString, std::vector<Clock::time_point>> m_lines;
};

struct Stats
{
    double median, p99, max;
};

Stats stats(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    auto at = [&](double q) { return v[std::min(v.size() - 1, size_t(q * double(v.size() - 1) + 0.5))]; };
    return {at(0.5), at(0.99), v.back()};
}

int fail(const char *what)
{
    std::fprintf(stderr, "bench_mqtt_latency: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto option = [&](const QString &name, const QString &fallback) {
        const qsizetype i = args.indexOf(name);
        return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : fallback;
    };
    const int changes = option(QStringLiteral("--changes"), QStringLiteral("2000")).toInt();
    const int rate = option(QStringLiteral("--rate"), QStringLiteral("200")).toInt();
    const QString item = option(QStringLiteral("--item"), QStringLiteral("$state"));
    // Another build's station (a "before" measured in the same run as the "after").
    const QString stationProgram = option(QStringLiteral("--station"), QStringLiteral(CORVANE_STATION));
    const bool presence = item == QLatin1String("$state");
    const QByteArray topic = "DSData/CVPlc/" + item.toUtf8();
    const QByteArray values[2] = {presence ? "offline" : "1", presence ? "online" : "0"};
    constexpr int kWarmUp = 20;
    if (changes < 1000 / 10 || rate <= 0)
        return fail("--changes wants at least 100, --rate more than 0");

    QTemporaryDir dir;
    const QString files = dir.filePath(QStringLiteral("lines"));
    QDir().mkpath(files);
    quint16 port;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    QFile conf(dir.filePath(QStringLiteral("mosquitto.conf")));
    conf.open(QIODevice::WriteOnly);
    conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\nset_tcp_nodelay true\n"
                              "max_queued_messages 100000\n")
                       .arg(port)
                       .toUtf8());
    conf.close();
    QProcess broker;
    broker.setStandardErrorFile(dir.filePath(QStringLiteral("broker.err")));
    broker.start(program(QStringLiteral("mosquitto")), {QStringLiteral("-c"), conf.fileName()});
    for (int i = 0;; ++i) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, port);
        if (s.waitForConnected(200))
            break;
        if (i > 50)
            return fail("mosquitto does not start");
        QThread::msleep(50);
    }

    // The data server: QoS 1, retained, Nagle off, as corvane-datasim publishes.
    mosquitto_lib_init();
    mosquitto *pub = mosquitto_new("bench-dataserver", true, nullptr);
    mosquitto_int_option(pub, MOSQ_OPT_TCP_NODELAY, 1);
    if (mosquitto_connect(pub, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS)
        return fail("cannot connect the publisher");
    mosquitto_loop_start(pub);
    auto send = [&](const QByteArray &t, const QByteArray &v) {
        mosquitto_publish(pub, nullptr, t.constData(), int(v.size()), v.constData(), 1, true);
    };
    send("DSData/CVPlc/Status", "1");
    if (!presence)
        send(topic, values[1]);
    send("DSData/CVPlc/$state", "online");

    LineWatch watch(files);
    const QString floorFile = QStringLiteral("floor.txt");
    const QString stationFile = QStringLiteral("station.txt");
    QProcess floor;
    floor.setStandardOutputFile(files + u'/' + floorFile);
    floor.start(program(QStringLiteral("mosquitto_sub")),
                {QStringLiteral("-p"), QString::number(port), QStringLiteral("-q"), QStringLiteral("1"),
                 QStringLiteral("-R"), QStringLiteral("--nodelay"), QStringLiteral("-t"), QString::fromUtf8(topic)});
    QProcess station;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    station.setProcessEnvironment(env);
    // To a file, not a pipe: nobody reads a pipe during the run, and a full one would
    // stop the station at its next log line (one per $state change).
    const QString stationOut = files + QStringLiteral("/station.out");
    station.setProcessChannelMode(QProcess::MergedChannels);
    station.setStandardOutputFile(stationOut);
    station.start(stationProgram,
                  {QStringLiteral("--broker"), QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("--car-main"),
                   QStringLiteral("--alarm-log"), files + u'/' + stationFile});
    const Clock::time_point upBy = Clock::now() + std::chrono::seconds(15);
    for (;;) {
        QFile out(stationOut);
        if (out.open(QIODevice::ReadOnly) && out.readAll().contains("data server link up"))
            break;
        if (Clock::now() > upBy)
            return fail("the station does not come up");
        QThread::msleep(20);
    }
    QThread::msleep(1500); // the load's own lines and the floor's subscription settle
    const size_t stationBase = watch.lines(stationFile).size();
    const size_t floorBase = watch.lines(floorFile).size();

    std::vector<Clock::time_point> sent;
    sent.reserve(size_t(changes));
    const auto period = std::chrono::nanoseconds(1'000'000'000 / rate);
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < changes; ++i) {
        std::this_thread::sleep_until(start + i * period);
        sent.push_back(Clock::now());
        send(topic, values[i % 2]);
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < deadline
           && (watch.lines(stationFile).size() < stationBase + size_t(changes)
               || watch.lines(floorFile).size() < floorBase + size_t(changes)))
        QThread::msleep(50);

    const auto stationLines = watch.lines(stationFile);
    const auto floorLines = watch.lines(floorFile);
    station.terminate();
    station.waitForFinished(5000);
    floor.kill();
    floor.waitForFinished(5000);
    mosquitto_loop_stop(pub, true);
    mosquitto_destroy(pub);
    broker.kill();
    broker.waitForFinished(5000);

    auto latencies = [&](const std::vector<Clock::time_point> &lines, size_t base, const char *who) {
        std::vector<double> ms;
        if (lines.size() != base + size_t(changes)) {
            std::fprintf(stderr, "%s: %zu lines for %d changes\n", who, lines.size() - base, changes);
            return ms;
        }
        for (int i = kWarmUp; i < changes; ++i)
            ms.push_back(std::chrono::duration<double, std::milli>(lines[base + size_t(i)] - sent[size_t(i)]).count());
        return ms;
    };
    const auto s = latencies(stationLines, stationBase, "station");
    const auto f = latencies(floorLines, floorBase, "floor");
    if (s.empty() || f.empty())
        return fail("a side lost lines");
    const Stats st = stats(s), fl = stats(f);
    std::printf("publish -> line, %d changes of %s at %d/s (first %d not counted), ms\n", changes, qPrintable(item),
                rate, kWarmUp);
    std::printf("%-34s %8s %8s %8s\n", "", "median", "p99", "max");
    std::printf("%-34s %8.3f %8.3f %8.3f\n", "floor (mosquitto_sub -> file)", fl.median, fl.p99, fl.max);
    std::printf("%-34s %8.3f %8.3f %8.3f\n", "station (alarm line in its log)", st.median, st.p99, st.max);
    std::printf("%-34s %8.2f %8.2f\n", "station / floor", st.median / fl.median, st.p99 / fl.p99);
    return 0;
}
