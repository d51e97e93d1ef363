// The station on its network link for a long while: random values on every item at
// 500 changes a second, the broker restarted every 10 s, the data server every 25 s.
// It must not crash, its memory must not grow beyond the alarm list's lines, and once
// the link is back every open automatic link shows the data server's value.
//
// 60 s by default; CORVANE_SOAK_SECONDS=1800 for the long run. Real time: the programs
// are real processes.
#include "MqttTestKit.h"
#include "Sanitizer.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <cstdio>

using namespace corvane;
using namespace corvane::test;

namespace {

constexpr int kChangesPerSecond = 500;
constexpr int kBrokerEveryMs = 10'000;
constexpr int kDataSimEveryMs = 25'000;
constexpr int kDeadline = 30'000;
constexpr int kWarmUpMs = 15'000;
// Resident memory of the alarm list per line (bench/README.md: 76 bytes) rounded up.
constexpr qint64 kBytesPerLine = 100;
// What may move without anything leaking: malloc's arenas and free lists, Qt's
// caches (fonts, pixmaps of the repainted labels), the socket buffers of a new
// connection. Measured growth of a clean run is well under it (see bench/README.md).
constexpr qint64 kToleranceBytes = 6 * 1024 * 1024;

int soakSeconds()
{
    bool ok = false;
    const int s = qEnvironmentVariableIntValue("CORVANE_SOAK_SECONDS", &ok);
    return ok && s > 0 ? s : 60;
}

// One of our programs, stderr kept; restartable with the same or other arguments.
class Program
{
public:
    explicit Program(const QString &path)
        : m_path(path)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_process.setProcessEnvironment(env);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        QObject::connect(&m_process, &QProcess::readyReadStandardError,
                         [this] { m_err += m_process.readAllStandardError(); });
    }
    ~Program() { stop(SIGKILL); }

    void start(const QStringList &args) { m_process.start(m_path, args); }
    // Asks it to end; its exit code, or -1 when it crashed or had to be killed.
    int stop(int sig = SIGTERM)
    {
        if (m_process.state() == QProcess::NotRunning)
            return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
        ::kill(pid(), sig);
        if (!m_process.waitForFinished(10'000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
            return -1;
        }
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    pid_t pid() const { return pid_t(m_process.processId()); }
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    int count(const QString &text) const { return int(QString::fromUtf8(m_err).count(text)); }
    QString errTail() const { return QString::fromUtf8(m_err.right(3000)); }

private:
    QString m_path;
    QProcess m_process;
    QByteArray m_err;
};

// Resident memory of a process in bytes (0 when it is gone).
qint64 residentBytes(pid_t pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return 0;
}

int lineCount(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? int(f.readAll().count("\r\n")) : 0;
}

// The retained values on the broker (what the data server published last), item -> value.
QHash<QString, QString> brokerValues(const Broker &broker)
{
    QProcess sub;
    sub.start(Broker::program(QStringLiteral("mosquitto_sub")),
              {QStringLiteral("-p"), QString::number(broker.port()), QStringLiteral("-t"),
               itemTopic(QStringLiteral("+")), QStringLiteral("--retained-only"), QStringLiteral("-W"),
               QStringLiteral("2"), QStringLiteral("-F"), QStringLiteral("%t %p")});
    sub.waitForFinished(10'000);
    QHash<QString, QString> out;
    const QString prefix = itemTopic(QString());
    for (const QString &line : QString::fromUtf8(sub.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype blank = line.indexOf(u' ');
        if (blank > 0 && line.startsWith(prefix))
            out.insert(line.mid(prefix.size(), blank - prefix.size()), line.mid(blank + 1));
    }
    return out;
}

struct LinkSeen
{
    QString where; // form.control
    QString item;
    QString value;
    QString caption;
};

// The station's open automatic links, as its screens see them (--dump-links, SIGUSR1).
std::optional<QList<LinkSeen>> stationLinks(Program &station, const QString &dumpPath)
{
    QFile::remove(dumpPath);
    ::kill(station.pid(), SIGUSR1);
    QElapsedTimer clock;
    clock.start();
    while (!QFile::exists(dumpPath) && clock.elapsed() < 10'000)
        QTest::qWait(20);
    QFile f(dumpPath);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    QList<LinkSeen> out;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        out.append({o.value(QStringLiteral("form")).toString() + u'.' + o.value(QStringLiteral("control")).toString(),
                    o.value(QStringLiteral("item")).toString(), o.value(QStringLiteral("value")).toString(),
                    o.value(QStringLiteral("caption")).toString()});
    }
    return out;
}

// Links whose value is not the data server's, "form.control item: station vs server".
// An item the data server does not serve keeps the design caption and is not counted.
QStringList mismatches(const QList<LinkSeen> &links, const QHash<QString, QString> &server, int *checked)
{
    QStringList out;
    *checked = 0;
    for (const LinkSeen &l : links) {
        const auto it = server.constFind(l.item);
        if (it == server.constEnd())
            continue;
        ++*checked;
        if (l.value != *it || l.caption != *it)
            out << QStringLiteral("%1 %2: '%3' shown '%4' vs '%5'").arg(l.where, l.item, l.value, l.caption, *it);
    }
    return out;
}

} // namespace

class TestSoak : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void randomValuesWithRestarts()
    {
        const int seconds = soakSeconds();
        // The broker log would hold every message: keep warnings and notices only.
        Broker broker({}, QStringLiteral("log_type none\nlog_type error\nlog_type warning\nlog_type notice"));
        QVERIFY(broker.start());
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("alarm_log.txt"));
        const QString dump = dir.filePath(QStringLiteral("links.json"));
        const QStringList brokerArgs{QStringLiteral("--broker"), QStringLiteral("127.0.0.1:%1").arg(broker.port())};

        QElapsedTimer clock;
        clock.start();
        Program datasim(QStringLiteral(CORVANE_DATASIM));
        // Random values until the end of the soak, then quiet; each restart picks up
        // its own table from the healthy car and goes on changing it.
        auto startDataSim = [&](int seed) {
            const qint64 left = qMax<qint64>(0, qint64(seconds) * 1000 - clock.elapsed());
            datasim.start(brokerArgs
                          + QStringList{QStringLiteral("--seed"), QString::number(seed), QStringLiteral("--random"),
                                        QString::number(kChangesPerSecond), QStringLiteral("--random-seconds"),
                                        QString::number(left / 1000)});
        };
        startDataSim(1);
        Program station(QStringLiteral(CORVANE_STATION));
        station.start(brokerArgs
                      + QStringList{QStringLiteral("--car-main"), QStringLiteral("--alarm-log"), log,
                                    QStringLiteral("--dump-links"), dump});
        QTRY_VERIFY_WITH_TIMEOUT(station.count(QStringLiteral("data server link up")) >= 1, kDeadline);
        // The start is taken after a warm-up of one broker cycle: by then the random
        // values have opened the screens they open, the reconnection has been made
        // once, and malloc and Qt's caches have their working size.
        qint64 startRss = 0;
        int startLines = 0;
        QList<qint64> trail; // every 10 s, KiB

        qint64 peakRss = 0;
        int brokerRestarts = 0, dataSimRestarts = 0;
        qint64 nextBroker = clock.elapsed() + kBrokerEveryMs, nextDataSim = clock.elapsed() + kDataSimEveryMs;
        while (clock.elapsed() < qint64(seconds) * 1000) {
            QTest::qWait(250);
            QVERIFY2(station.isRunning(), qPrintable(station.errTail()));
            const qint64 rss = residentBytes(station.pid());
            peakRss = qMax(peakRss, rss);
            if (trail.size() * 10'000 <= clock.elapsed())
                trail << rss / 1024;
            if (startRss == 0 && clock.elapsed() >= kWarmUpMs) {
                startRss = rss;
                startLines = lineCount(log);
                QVERIFY(startRss > 0);
            }
            if (clock.elapsed() >= nextBroker) {
                broker.kill();
                QVERIFY(broker.start());
                ++brokerRestarts;
                nextBroker += kBrokerEveryMs;
            }
            if (clock.elapsed() >= nextDataSim) {
                QCOMPARE(datasim.stop(), 0);
                startDataSim(2 + dataSimRestarts);
                ++dataSimRestarts;
                nextDataSim += kDataSimEveryMs;
            }
        }

        QVERIFY2(startRss > 0, "the soak is shorter than its warm-up");

        // Quiet now. One more broker restart, so the values are checked once the
        // link is back rather than merely still there.
        const int ups = station.count(QStringLiteral("data server link up"));
        broker.kill();
        QVERIFY(broker.start());
        QTRY_VERIFY_WITH_TIMEOUT(station.count(QStringLiteral("data server link up")) > ups, kDeadline);

        QStringList wrong;
        int checked = 0, open = 0;
        QElapsedTimer settle;
        settle.start();
        do {
            QTest::qWait(1000);
            const QHash<QString, QString> server = brokerValues(broker);
            const auto links = stationLinks(station, dump);
            QVERIFY2(links, "the station wrote no link dump");
            QVERIFY(!links->isEmpty());
            QVERIFY(server.size() > 100);
            wrong = mismatches(*links, server, &checked);
            open = int(links->size());
        } while (!wrong.isEmpty() && settle.elapsed() < kDeadline);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.mid(0, 20).join(u'\n')));
        QVERIFY2(checked > open / 2, "most links are on items the data server serves");

        const qint64 endRss = residentBytes(station.pid());
        const int endLines = lineCount(log);
        const qint64 allowed = qint64(endLines - startLines) * kBytesPerLine + kToleranceBytes;
        std::printf(
                "soak %d s: %d broker and %d data server restarts, %d of %d open links checked, alarm lines %d -> %d, "
                "VmRSS start %lld KiB, peak %lld KiB, end %lld KiB (growth %lld KiB, allowed %lld KiB)\n",
                seconds, brokerRestarts, dataSimRestarts, checked, open, startLines, endLines, startRss / 1024,
                peakRss / 1024, endRss / 1024, (endRss - startRss) / 1024, allowed / 1024);
        std::printf("VmRSS every 10 s (KiB):");
        for (qint64 kib : trail)
            std::printf(" %lld", kib);
        std::printf("\n");
        if (!underSanitizer())
            QVERIFY2(endRss - startRss <= allowed, qPrintable(QStringLiteral("memory grew by %1 KiB, allowed %2 KiB")
                                                                      .arg((endRss - startRss) / 1024)
                                                                      .arg(allowed / 1024)));

        QCOMPARE(station.stop(), 0);
        QCOMPARE(datasim.stop(), 0);
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Qt Test stops a test function after five minutes; the long soak runs longer.
    if (!qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", QByteArray::number((qint64(soakSeconds()) + 300) * 1000));
    TestSoak tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}
#include "tst_soak.moc"
