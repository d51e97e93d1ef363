#include "MqttTestKit.h"

#include "core/alarm/AlarmLogger.h"
#include "core/screen/ScreenRegistry.h"
#include "screens/AllScreens.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <csignal>
#include <pwd.h>
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
    : m_port(freePort())
{
    const passwd *me = ::getpwuid(::getuid());
    QFile conf(m_dir.filePath(QStringLiteral("mosquitto.conf")));
    conf.open(QIODevice::WriteOnly);
    conf.write(QStringLiteral("listener %1 127.0.0.1\n%2\n"
                              "persistence false\nset_tcp_nodelay true\n"
                              // Files in our private folder: stay who we are.
                              "user %3\nlog_dest file %4\nlog_type all\n%5\n")
                   .arg(m_port)
                   .arg(listenerConfig, QString::fromLocal8Bit(me ? me->pw_name : "root"),
                        m_dir.filePath(QStringLiteral("broker.log")),
                        globalConfig.contains(QLatin1String("allow_anonymous"))
                            ? globalConfig
                            : globalConfig + QStringLiteral("\nallow_anonymous true"))
                   .toUtf8());
    m_process.setStandardOutputFile(m_dir.filePath(QStringLiteral("stdout.txt")));
    m_process.setStandardErrorFile(m_dir.filePath(QStringLiteral("stderr.txt")), QIODevice::Append);
}

Broker::~Broker()
{
    resume();
    kill();
}

bool Broker::start()
{
    const QString mosquitto = program(QStringLiteral("mosquitto"));
    if (mosquitto.isEmpty()) {
        qWarning("mosquitto is not installed (scripts/test installs it)");
        return false;
    }
    m_process.start(mosquitto, {QStringLiteral("-c"), m_dir.filePath(QStringLiteral("mosquitto.conf"))});
    // Up once its port takes a connection; a refused attempt is made again at once.
    QTcpSocket socket;
    const auto listening = [&] {
        if (socket.state() == QAbstractSocket::ConnectedState)
            return true;
        if (socket.state() == QAbstractSocket::UnconnectedState)
            socket.connectToHost(QHostAddress::LocalHost, m_port);
        return m_process.state() == QProcess::NotRunning;
    };
    if (QTest::qWaitFor(listening, kStartMs) && socket.state() == QAbstractSocket::ConnectedState)
        return true;
    qWarning().noquote() << "mosquitto did not start:" << log().right(2000);
    return false;
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

bool publish(const Broker &broker, const QString &topic, const QByteArray &payload, bool retain,
             const QStringList &extraArgs)
{
    QStringList args{QStringLiteral("-p"), QString::number(broker.port()), QStringLiteral("-q"), QStringLiteral("1"),
                     QStringLiteral("-t"), topic};
    if (retain)
        args << QStringLiteral("-r");
    args << (payload.isEmpty() ? QStringLiteral("-n") : QStringLiteral("-s"));
    QProcess pub;
    pub.setProcessChannelMode(QProcess::ForwardedChannels);
    pub.start(Broker::program(QStringLiteral("mosquitto_pub")), args + extraArgs);
    if (!pub.waitForStarted(5000))
        return false;
    pub.write(payload);
    pub.closeWriteChannel();
    return pub.waitForFinished(10'000) && pub.exitCode() == 0;
}

// --- the station on the network link ---

CarProbe::CarProbe(Station &station, const QString &name)
    : Screen(station, name, QStringLiteral("Corvane Main Interface"))
{
    setClientSizeTwips(4000, 2000);
}

void CarProbe::build(QWidget *form)
{
    TagSource &tags = station().tags();
    lblMPHV10020 = new LinkLabel(tags, QStringLiteral("lblMPHV10020"), QStringLiteral("v10020:b"), QStringLiteral("0"),
                                 LinkMode::Automatic, form, true);
    lblC27 = new LinkLabel(tags, QStringLiteral("lblC27"), QStringLiteral("c27"), QStringLiteral("1"),
                           LinkMode::Automatic, form);
    lblC22 = new LinkLabel(tags, QStringLiteral("lblC22"), QStringLiteral("c22"), QStringLiteral("0"),
                           LinkMode::Manual, form);
    m_links = {lblMPHV10020, lblC27, lblC22};
    connect(lblC27, &LinkLabel::changed, this, [this] {
        ++depth;
        deepest = std::max(deepest, depth);
        changes << lblC27->value();
        raiseAlarmTransition(station().alarms(), *lblC27, kC27);
        if (onC27)
            onC27();
        --depth;
    });
}

void CarProbe::formLoad()
{
    openLinks(m_links);
}

void CarProbe::formUnload()
{
    closeLinks(m_links);
}

void CarProbe::released()
{
    m_links.clear();
    lblC27 = lblC22 = lblMPHV10020 = nullptr;
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

qint64 longestStall(const std::function<void()> &fn, int spinMs)
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
    // The loop is watched for spinMs of probe ticks after the call: a stall it caused
    // later shows too.
    const qint64 callEnd = last;
    if (!QTest::qWaitFor([&] { return last - callEnd >= spinMs; }, spinMs + 5000))
        longest = std::max(longest, clock.elapsed() - last);
    return longest;
}

} // namespace corvane::test
