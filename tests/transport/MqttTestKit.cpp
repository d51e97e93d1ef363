#include "MqttTestKit.h"

#include "core/alarm/AlarmLogger.h"
#include "screens/AllScreens.h"
#include "station/ScreenRegistry.h"
#include "transport/InProcessServer.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTimer>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvane::test {

namespace {
constexpr int kStartMs = 10'000;
const QString kPrefix = QStringLiteral("DSData/CVPlc/");
} // namespace

QString itemTopic(const QString &item)
{
    return kPrefix + item;
}

QString stateTopic()
{
    return kPrefix + QStringLiteral("$state");
}

// --- Broker ---

quint16 Broker::freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QString Broker::program(const QString &name)
{
    QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
    return path;
}

Broker::Broker(const QString &listenerConfig, const QString &globalConfig)
    : m_listenerConfig(listenerConfig)
    , m_globalConfig(globalConfig)
    , m_port(freePort())
{
    writeConfig();
    m_process.setStandardOutputFile(m_dir.filePath(QStringLiteral("stdout.txt")));
    m_process.setStandardErrorFile(m_dir.filePath(QStringLiteral("stderr.txt")), QIODevice::Append);
}

void Broker::writeConfig()
{
    const passwd *me = ::getpwuid(::getuid());
    QFile conf(m_dir.filePath(QStringLiteral("mosquitto.conf")));
    conf.open(QIODevice::WriteOnly | QIODevice::Truncate);
    conf.write(QStringLiteral("listener %1 127.0.0.1\n%2\n"
                              "persistence false\nset_tcp_nodelay true\n"
                              // Files in our private folder: stay who we are.
                              "user %3\nlog_dest file %4\nlog_type all\n%5\n"
                              // Whatever a test keeps, start() reads "running" and "Address
                              // already in use" from the log.
                              "log_type information\nlog_type error\n")
                       .arg(m_port)
                       .arg(m_listenerConfig, QString::fromLocal8Bit(me ? me->pw_name : "root"),
                            m_dir.filePath(QStringLiteral("broker.log")),
                            m_globalConfig.contains(QLatin1String("allow_anonymous"))
                                    ? m_globalConfig
                                    : m_globalConfig + QStringLiteral("\nallow_anonymous true"))
                       .toUtf8());
}

Broker::~Broker()
{
    resume();
    kill();
}

bool Broker::start()
{
    if (program(QStringLiteral("mosquitto")).isEmpty()) {
        qWarning("mosquitto is not installed (scripts/test installs it)");
        return false;
    }
    // The port was free when chosen, but tests running beside this one choose too.
    for (int attempt = 0; attempt < 10; ++attempt) {
        switch (startOnce()) {
        case Outcome::Running:
            m_everStarted = true;
            return true;
        case Outcome::PortTaken:
            if (m_everStarted) {
                // Clients of this test know this port: starting elsewhere would strand
                // them, and the process on it now is not ours.
                qWarning("mosquitto cannot start again: port %u was taken by another process meanwhile",
                         unsigned(m_port));
                return false;
            }
            m_port = freePort();
            writeConfig();
            continue;
        case Outcome::Failed:
            qWarning().noquote() << "mosquitto did not start:" << log().right(2000);
            return false;
        }
    }
    qWarning("mosquitto found every port it tried taken");
    return false;
}

Broker::Outcome Broker::startOnce()
{
    const qsizetype logBefore = log().size();
    m_process.start(program(QStringLiteral("mosquitto")),
                    {QStringLiteral("-c"), m_dir.filePath(QStringLiteral("mosquitto.conf"))});
    // Ours runs once its own log says so since this start: a port that takes
    // connections may belong to another test's broker.
    const auto settled = [&] {
        return m_process.state() == QProcess::NotRunning || log().mid(logBefore).contains(QLatin1String(" running"));
    };
    if (!QTest::qWaitFor(settled, kStartMs))
        return Outcome::Failed;
    if (m_process.state() != QProcess::NotRunning) // Starting: its log spoke before Qt noticed the start
        return Outcome::Running;
    m_process.waitForFinished(1000);
    return log().mid(logBefore).contains(QLatin1String("Address already in use")) ? Outcome::PortTaken
                                                                                  : Outcome::Failed;
}

RefusingPort::RefusingPort()
{
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        m_port = ntohs(address.sin_port);
}

RefusingPort::~RefusingPort()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void Broker::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

void Broker::pause()
{
    if (isRunning())
        ::kill(pid_t(m_process.processId()), SIGSTOP);
}

void Broker::resume()
{
    if (isRunning())
        ::kill(pid_t(m_process.processId()), SIGCONT);
}

QString Broker::log() const
{
    QFile f(m_dir.filePath(QStringLiteral("broker.log")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// --- the mosquitto clients ---

Witness::Witness(const Broker &broker, const QString &filter, const QStringList &extraArgs)
    : m_port(broker.port())
    , m_readyTopic(QStringLiteral("witness/%1").arg(QRandomGenerator::global()->generate()))
{
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
        m_buffer += m_process.readAllStandardOutput();
        qsizetype nl;
        while ((nl = m_buffer.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(m_buffer.left(nl));
            m_buffer.remove(0, nl + 1);
            if (!line.startsWith(m_readyTopic))
                m_lines << line;
            else if (!m_lines.contains(QStringLiteral("<ready>")))
                m_lines.prepend(QStringLiteral("<ready>"));
        }
    });
    m_process.start(Broker::program(QStringLiteral("mosquitto_sub")),
                    QStringList{QStringLiteral("-p"), QString::number(broker.port()), QStringLiteral("-q"),
                                QStringLiteral("1"), QStringLiteral("-t"), filter, QStringLiteral("-t"), m_readyTopic,
                                QStringLiteral("-F"), QStringLiteral("%t %q %r %p")}
                            + extraArgs);
}

Witness::~Witness()
{
    m_process.kill();
    m_process.waitForFinished(2000);
}

bool Witness::waitReady()
{
    // Until the subscriber has subscribed, a ready message goes nowhere: send another.
    const auto seen = [this] { return m_lines.contains(QStringLiteral("<ready>")); };
    for (int i = 0; i < 100; ++i) {
        QProcess::execute(Broker::program(QStringLiteral("mosquitto_pub")),
                          {QStringLiteral("-p"), QString::number(m_port), QStringLiteral("-t"), m_readyTopic,
                           QStringLiteral("-m"), QStringLiteral("ready")});
        if (QTest::qWaitFor(seen, 100))
            return true;
    }
    return false;
}

QStringList Witness::lines()
{
    QStringList out = m_lines;
    out.removeAll(QStringLiteral("<ready>"));
    return out;
}

std::unique_ptr<QProcess> startPublish(const Broker &broker, const QString &topic, const QByteArray &payload,
                                       bool retain, const QStringList &extraArgs)
{
    QStringList args{QStringLiteral("-p"), QString::number(broker.port()), QStringLiteral("-q"),
                     QStringLiteral("1"),  QStringLiteral("-t"),           topic};
    if (retain)
        args << QStringLiteral("-r");
    args << (payload.isEmpty() ? QStringLiteral("-n") : QStringLiteral("-s"));
    auto pub = std::make_unique<QProcess>();
    pub->setProcessChannelMode(QProcess::ForwardedChannels);
    pub->start(Broker::program(QStringLiteral("mosquitto_pub")), args + extraArgs);
    pub->write(payload);
    pub->closeWriteChannel();
    return pub;
}

bool publish(const Broker &broker, const QString &topic, const QByteArray &payload, bool retain,
             const QStringList &extraArgs)
{
    return finishedWell(*startPublish(broker, topic, payload, retain, extraArgs));
}

bool finishedWell(QProcess &process, int timeoutMs)
{
    if (process.state() != QProcess::NotRunning && !process.waitForFinished(timeoutMs))
        return false;
    return process.error() != QProcess::FailedToStart && process.exitStatus() == QProcess::NormalExit
           && process.exitCode() == 0;
}

// --- the station on the network link ---

CarProbe::CarProbe(Station &station, const QString &name)
    : Screen(station, name, QStringLiteral("Corvane Main Interface"))
{
    setClientSizeTwips(4000, 2000);
}

void CarProbe::build(QWidget *form)
{
    lblMPHV10020 = new LinkLabel(*addLink(QStringLiteral("lblMPHV10020"), QStringLiteral("v10020:b"),
                                          QStringLiteral("0"), LinkMode::Automatic),
                                 form);
    lblC27 = addLink(QStringLiteral("lblC27"), QStringLiteral("c27"), QStringLiteral("1"), LinkMode::Automatic);
    lblC22 = addLink(QStringLiteral("lblC22"), QStringLiteral("c22"), QStringLiteral("0"), LinkMode::Manual);
    connect(lblC27, &Link::changed, this, [this] {
        ++depth;
        deepest = std::max(deepest, depth);
        changes << lblC27->value();
        raiseAlarmTransition(station().alarms(), *lblC27, kC27);
        if (onC27)
            onC27();
        --depth;
    });
}

void CarProbe::released()
{
    lblC27 = lblC22 = nullptr;
    lblMPHV10020 = nullptr;
}

MqttSettings settingsFor(const Broker &broker)
{
    MqttSettings s;
    s.port = broker.port();
    s.clientIdPrefix = QStringLiteral("corvane-test");
    return s;
}

QString logSinceLastStart(const Broker &broker)
{
    const QString log = broker.log();
    return log.mid(log.lastIndexOf(QLatin1String(" starting")));
}

MqttStation::MqttStation(const MqttSettings &settings)
    : tags(std::make_unique<MqttTagSource>(settings))
    , station(std::make_unique<Station>(scheduler, *tags, dir.filePath(QStringLiteral("alarm_log.txt"))))
{
    registerStartScreens(*station);
    car = static_cast<CarProbe *>(station->screens().add(std::make_unique<CarProbe>(*station)));
    wireStation(*station);
    tags->start();
}

MqttStation::~MqttStation()
{
    station.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    tags.reset();
}

QStringList alarmMessages(const QString &logPath)
{
    static const QRegularExpression stamp(QStringLiteral("\\d\\d:\\d\\d:\\d\\d \\d\\d/\\d\\d/\\d{4}$"));
    QFile f(logPath);
    QStringList out;
    if (!f.open(QIODevice::ReadOnly))
        return out;
    for (const QString &line : QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        const auto m = stamp.match(line);
        out << (m.hasMatch() ? line.left(m.capturedStart()) : QStringLiteral("<no time stamp> ") + line);
    }
    return out;
}

QStringList MqttStation::alarmMessages() const
{
    return corvane::test::alarmMessages(station->alarms().path());
}

bool TestPki::openssl(const QStringList &args)
{
    QProcess p;
    p.setWorkingDirectory(m_dir.path());
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("openssl"), args);
    if (!p.waitForFinished(30'000) || p.exitCode() != 0) {
        qWarning().noquote() << "openssl" << args.join(u' ') << ":" << p.readAll();
        return false;
    }
    return true;
}

bool TestPki::makeCa(const QString &name)
{
    return openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                    name + ".key", "-out", name + ".crt", "-days", "2", "-subj", "/CN=" + name});
}

bool TestPki::makeSigned(const QString &name, const QString &san)
{
    QFile ext(path(name + QStringLiteral(".ext")));
    if (!ext.open(QIODevice::WriteOnly))
        return false;
    ext.write(san.isEmpty() ? QByteArray("basicConstraints=CA:FALSE\n") : "subjectAltName=" + san.toUtf8() + "\n");
    ext.close();
    return openssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                    name + ".key", "-out", name + ".csr", "-subj", "/CN=" + name})
           && openssl({"x509", "-req", "-in", name + ".csr", "-CA", "ca.crt", "-CAkey", "ca.key", "-CAcreateserial",
                       "-out", name + ".crt", "-days", "2", "-extfile", name + ".ext"});
}

bool TestPki::make()
{
    return makeCa(QStringLiteral("ca")) && makeCa(QStringLiteral("stranger"))
           && makeSigned(QStringLiteral("server"), QStringLiteral("IP:127.0.0.1,DNS:localhost"))
           && makeSigned(QStringLiteral("client"), {});
}

bool addBrokerUser(const QString &passwordFile, const QString &user, const QString &password)
{
    QStringList args{QStringLiteral("-b")};
    if (!QFile::exists(passwordFile))
        args << QStringLiteral("-c");
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start(Broker::program(QStringLiteral("mosquitto_passwd")), args << passwordFile << user << password);
    return p.waitForFinished(10'000) && p.exitCode() == 0;
}

QString MqttStation::title(const QString &form) const
{
    Screen *s = station->screens().find(form);
    return s && s->window() ? s->window()->windowTitle() : QStringLiteral("<not loaded>");
}

qint64 buildingTwoScreensMs()
{
    QtScheduler scheduler;
    InProcessServer server(scheduler);
    QTemporaryDir dir;
    Station station(scheduler, server, dir.filePath(QStringLiteral("alarm_log.txt")));
    registerStartScreens(station);
    station.screens().add(std::make_unique<CarProbe>(station));
    wireStation(station);
    QElapsedTimer clock;
    clock.start();
    station.screens().show(QStringLiteral("frmSelect"));
    station.screens().show(QStringLiteral("frmCVCarmain"));
    const qint64 ms = clock.elapsed();
    station.screens().unloadAll();
    return ms;
}

qint64 longestStall(const std::function<void()> &fn, int spinMs)
{
    return longestStallUntil(
            fn, [] { return true; }, spinMs, spinMs + 5000);
}

qint64 longestStallUntil(const std::function<void()> &fn, const std::function<bool()> &done, int spinMs, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longest = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    int ticks = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(5);
    if (!QTest::qWaitFor([&] { return ticks >= 2; }))
        return clock.elapsed(); // the probe never ran: the loop was held all along
    QElapsedTimer callClock;
    callClock.start();
    fn();
    longest = std::max(longest, callClock.elapsed()); // the call itself held the loop this long
    last = clock.elapsed();
    // The loop is watched until done() and then for spinMs of probe ticks: a stall the
    // call caused later shows too.
    if (!QTest::qWaitFor(done, timeoutMs))
        return -1;
    const qint64 doneAt = last;
    if (!QTest::qWaitFor([&] { return last - doneAt >= spinMs; }, spinMs + 5000))
        longest = std::max(longest, clock.elapsed() - last);
    return longest;
}

} // namespace corvane::test
