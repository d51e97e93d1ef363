#include "FloodKit.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <QRegularExpression>

#include <mosquitto.h>

#include <csignal>
#include <unistd.h>

namespace corvane::test {

namespace {

// Main car, water and environmental screens: the items their change handlers watch
// (all but four of the environmental overhead-heat warnings).
constexpr FloodItem kItems[] = {
        {"c27", 1, 1, "FAULT C27 Handbrake ON, Car Moving  ", "CLEAR C27 Handbrake ON, Car Moving  "},
        {"c302", 1, 1, "FAULT C302 Fuel Level LOW  ", "CLEAR C302 Fuel Level LOW  "},
        {"x200", 0, 0, "FAULT X200 Phase Fault Relay  ", "CLEAR X200 Phase Fault Relay  "},
        {"x226", 0, 0, "FAULT X226 Generator Control OFF  ", "CLEAR X226 Generator Control OFF  "},
        {"t340", 1, 1, "FAULT T340 Heat Tape A Breaker Tripped  ", "CLEAR T340 Heat Tape A Breaker Tripped  "},
        {"t341", 1, 1, "FAULT T341 Heat Tape B Breaker Tripped  ", "CLEAR T341 Heat Tape B Breaker Tripped  "},
        {"t342", 1, 1, "FAULT T342 Heat A Breaker Tripped  ", "CLEAR T342 Heat A Breaker Tripped  "},
        {"t343", 1, 1, "FAULT T343 Heat B Breaker Tripped  ", "CLEAR T343 Heat B Breaker Tripped  "},
        {"t344", 1, 1, "FAULT T344 Sewage Heat Breaker Tripped  ", "CLEAR T344 Sewage Heat Breaker Tripped  "},
        {"c301", 1, 1, "FAULT C301 Water Tank Temp Low  ", "CLEAR C301 Water Tank Temp Low  "},
        {"c354", 1, 1, "FAULT C354 Air Compressor Switching Fault ", "CLEAR C354 Air Compressor Switching Fault  "},
        {"c300", 1, 1, "WARN C300 Water Level Low  ", "CLEAR C300 Water Level Low  "},
        {"c366", 1, 1, "WARN C366 Water Heater 1 Level Low  ", "CLEAR C366 Water Heater 1 Level Low  "},
        {"c363", 1, 1, "WARN C363 Water Heater 2 Level Low  ", "CLEAR C363 Water Heater 2 Level Low  "},
        {"c204", 1, 1, "FAULT C204 AC Compressor A High Motor Temp  ", "CLEAR C204 AC Compressor A High Motor Temp  "},
        {"c203", 1, 1, "FAULT C203 AC Compressor A High Head Pressure  ",
         "CLEAR C203 AC Compressor A High Head Pressure  "},
        {"c200", 1, 1, "FAULT C200 AC Compressor A Low Freon Pressure  ",
         "CLEAR C200 AC Compressor A Low Freon Pressure  "},
        {"c214", 1, 1, "FAULT C214 AC Compressor B High Motor Temp  ", "CLEAR C214 AC Compressor B High Motor Temp  "},
        {"c213", 1, 1, "FAULT C213 AC Compressor B High Head Pressure  ",
         "CLEAR C213 AC Compressor B High Head Pressure  "},
        {"c210", 1, 1, "FAULT C210 AC Compressor B Low Freon Pressure  ",
         "CLEAR C210 AC Compressor B Low Freon Pressure  "},
        {"c133", 1, 1, "WARN C133 AC Compressor A Block Heat Breaker Tripped  ",
         "CLEAR C133 AC Compressor A Block Heat Breaker Tripped  "},
        {"x364", 0, 0, "WARN X364 AC Compressor A Control Switch in OFF  ",
         "CLEAR X364 AC Compressor A Control Switch in OFF  "},
        {"x360", 1, 1, "WARN X360 AC Compressor A Control Switch in HAND  ",
         "CLEAR X360 AC Compressor A Control Switch in HAND  "},
        {"c143", 1, 1, "WARN C143 AC Compressor B Block Heat Breaker Tripped  ",
         "CLEAR C143 AC Compressor B Block Heat Breaker Tripped  "},
        {"x374", 0, 0, "WARN X374 AC Compressor B Control Switch in OFF  ",
         "CLEAR X374 AC Compressor B Control Switch in OFF  "},
        {"x370", 1, 1, "WARN X370 AC Compressor B Control Switch in HAND  ",
         "CLEAR X370 AC Compressor B Control Switch in HAND  "},
        {"c355", 1, 1, "FAULT C355 Overhead Blower A Switching Fault ",
         "CLEAR C355 Overhead Blower A Switching Fault  "},
        {"c356", 1, 1, "FAULT C356 Overhead Blower B Switching Fault ",
         "CLEAR C356 Overhead Blower B Switching Fault  "},
        {"c357", 1, 1, "FAULT C357 Dome Overhead Blower Switching Fault ",
         "CLEAR C357 Dome Overhead Blower Switching Fault  "},
        {"x407", 0, 0, "FAULT X407 Overhead Blower A Drive Fault ", "CLEAR X407 Overhead Blower A Drive Fault  "},
        {"x234", 0, 0, "FAULT X234 Overhead Blower B Drive Fault ", "CLEAR X234 Overhead Blower B Drive Fault  "},
        {"x377", 0, 0, "FAULT X377 Dome Overhead Blower Drive Fault ", "CLEAR X377 Dome Overhead Blower Drive Fault  "},
        {"C442", 1, 1, "WARN C442 Overhead Heat A End Overtemp 1 Tripped ",
         "CLEAR C442 Overhead Heat A End Overtemp 1 Tripped  "},
        {"C446", 1, 1, "WARN C446 Overhead Heat A End Overtemp 2 Tripped ",
         "CLEAR C446 Overhead Heat A End Overtemp 2 Tripped  "},
        {"C447", 1, 1, "WARN C447 Overhead Heat B End Overtemp 1 Tripped ",
         "CLEAR C447 Overhead Heat B End Overtemp 1 Tripped  "},
        {"C451", 1, 0, "WARN C451 Overhead Heat B End Overtemp 2 Tripped ",
         "CLEAR C451 Overhead Heat B End Overtemp 2 Tripped  "},
};
static_assert(std::size(kItems) == 36);

int inactive(const FloodItem &item)
{
    return 1 - item.active;
}

QByteArray topicOf(const char *item)
{
    return itemTopic(QString::fromLatin1(item)).toUtf8();
}

} // namespace

std::span<const FloodItem> floodItems()
{
    return kItems;
}

QString noDropBrokerConfig()
{
    // Unlimited in flight and queued: mosquitto's defaults (20, 1000) drop what a busy
    // subscriber has not taken yet.
    return QStringLiteral("max_inflight_messages 0\nmax_queued_messages 0\nmax_queued_bytes 0\n");
}

// --- StationProcess ---

StationProcess::StationProcess(const Broker &broker, const QString &logPath, const QStringList &extraArgs)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_process.setProcessEnvironment(env);
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
        m_outBuffer += m_process.readAllStandardOutput();
        qsizetype nl;
        while ((nl = m_outBuffer.indexOf('\n')) >= 0) {
            m_out << QString::fromUtf8(m_outBuffer.left(nl));
            m_outBuffer.remove(0, nl + 1);
        }
    });
    QObject::connect(&m_process, &QProcess::readyReadStandardError,
                     [this] { m_err += m_process.readAllStandardError(); });
    m_process.start(QStringLiteral(CORVANE_STATION),
                    QStringList{QStringLiteral("--broker"), QStringLiteral("127.0.0.1:%1").arg(broker.port()),
                                QStringLiteral("--car-main"), QStringLiteral("--alarm-log"), logPath}
                            + extraArgs);
}

StationProcess::~StationProcess()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

qint64 StationProcess::residentBytes() const
{
    QFile f(QStringLiteral("/proc/%1/statm").arg(pid()));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * ::sysconf(_SC_PAGESIZE) : 0;
}

double StationProcess::cpuSeconds() const
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid()));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = f.readAll();
    // Fields after the command name (which may hold blanks): utime and stime are 14 and 15.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return double(fields.at(11).toLongLong() + fields.at(12).toLongLong()) / double(::sysconf(_SC_CLK_TCK));
}

void StationProcess::signal(int sig)
{
    if (m_process.state() == QProcess::Running)
        ::kill(pid_t(m_process.processId()), sig);
}

int StationProcess::waitForExit(int ms)
{
    if (!m_process.waitForFinished(ms) || m_process.exitStatus() != QProcess::NormalExit)
        return -1;
    return m_process.exitCode();
}

// --- FloodPublisher ---

FloodPublisher::FloodPublisher(const Broker &broker)
    : m_port(broker.port())
{
    mosquitto_lib_init();
    m_mosq = mosquitto_new(nullptr, true, this);
    mosquitto_connect_callback_set(m_mosq, [](mosquitto *, void *self, int rc) {
        static_cast<FloodPublisher *>(self)->m_connected = rc == 0;
    });
    mosquitto_publish_callback_set(
            m_mosq, [](mosquitto *, void *self, int) { ++static_cast<FloodPublisher *>(self)->m_acknowledged; });
}

FloodPublisher::~FloodPublisher()
{
    stop();
    mosquitto_disconnect(m_mosq);
    mosquitto_loop_stop(m_mosq, true);
    mosquitto_destroy(m_mosq);
}

bool FloodPublisher::connect()
{
    if (mosquitto_connect(m_mosq, "127.0.0.1", m_port, 60) != MOSQ_ERR_SUCCESS
        || mosquitto_loop_start(m_mosq) != MOSQ_ERR_SUCCESS)
        return false;
    QElapsedTimer clock;
    clock.start();
    while (!m_connected && clock.elapsed() < 10'000)
        QTest::qWait(10);
    return m_connected;
}

bool FloodPublisher::send(const QByteArray &topic, const QByteArray &payload, bool retain)
{
    ++m_published;
    return mosquitto_publish(m_mosq, nullptr, topic.constData(), int(payload.size()), payload.constData(), 1, retain)
           == MOSQ_ERR_SUCCESS;
}

bool FloodPublisher::publishInitial()
{
    bool ok = send(stateTopic().toUtf8(), "online", true);
    for (const FloodItem &item : kItems)
        ok = send(topicOf(item.item), QByteArray::number(inactive(item)), true) && ok;
    return ok && waitAcknowledged(10'000);
}

void FloodPublisher::start(std::chrono::milliseconds period)
{
    m_stop = false;
    m_ticks = 0; // each run starts from the retained (inactive) values
    m_thread = std::thread([this, period] { run(period); });
}

void FloodPublisher::stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void FloodPublisher::run(std::chrono::milliseconds period)
{
    std::vector<QByteArray> topics;
    for (const FloodItem &item : kItems)
        topics.push_back(topicOf(item.item));
    auto next = std::chrono::steady_clock::now();
    while (!m_stop) {
        // Tick n sets every item to its active value when n is odd: the first toggle
        // raises, the next clears.
        const int tick = m_ticks + 1;
        for (size_t i = 0; i < std::size(kItems); ++i) {
            const int value = tick % 2 == 1 ? kItems[i].active : inactive(kItems[i]);
            send(topics[i], QByteArray::number(value), false);
        }
        m_ticks = tick;
        next += period;
        const auto now = std::chrono::steady_clock::now();
        if (now > next + 5 * period)
            next = now; // fell behind (a loaded machine): no catch-up burst
        std::this_thread::sleep_until(next);
    }
}

bool FloodPublisher::waitAcknowledged(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (m_acknowledged < m_published && clock.elapsed() < ms)
        QTest::qWait(10);
    return m_acknowledged >= m_published;
}

// --- the log ---

ParsedLog parseAlarmLog(const QString &path, qint64 fromByte)
{
    static const QRegularExpression lineShape(
            QStringLiteral("^(.*[^\\r\\n])(\\d\\d:\\d\\d:\\d\\d \\d\\d/\\d\\d/\\d{4})$"));
    QHash<QString, std::pair<int, bool>> items;
    for (int i = 0; i < int(std::size(kItems)); ++i) {
        items.insert(QString::fromLatin1(kItems[i].raised), {i, true});
        items.insert(QString::fromLatin1(kItems[i].cleared), {i, false});
    }
    ParsedLog out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        out.problems << QStringLiteral("cannot read %1").arg(path);
        return out;
    }
    const QByteArray all = f.readAll();
    out.sha1 = QCryptographicHash::hash(all, QCryptographicHash::Sha1).toHex();
    qsizetype at = fromByte;
    int number = 0;
    while (at < all.size()) {
        ++number;
        const qsizetype end = all.indexOf("\r\n", at);
        if (end < 0) {
            out.problems << QStringLiteral("line %1 has no CR LF: %2").arg(number).arg(QString::fromUtf8(all.mid(at)));
            break;
        }
        const QString text = QString::fromUtf8(all.mid(at, end - at));
        at = end + 2;
        const auto m = lineShape.match(text);
        LogLine line;
        line.text = text;
        if (!m.hasMatch() || text.contains(u'\r') || text.contains(u'\n')) {
            out.problems << QStringLiteral("line %1 is not message + time stamp: %2").arg(number).arg(text);
        } else {
            line.message = m.captured(1);
            const auto it = items.constFind(line.message);
            if (it == items.cend())
                out.problems << QStringLiteral("line %1 is no flood item's: %2").arg(number).arg(text);
            else
                std::tie(line.item, line.raised) = *it;
        }
        out.lines.push_back(line);
    }
    return out;
}

int expectedLines(const FloodItem &item, int toggles)
{
    return toggles + (inactive(item) != item.caption ? 1 : 0);
}

QStringList checkPerItem(const ParsedLog &log, int toggles, bool complete)
{
    std::vector<std::vector<bool>> perItem(std::size(kItems));
    for (const LogLine &line : log.lines) {
        if (line.item >= 0)
            perItem[size_t(line.item)].push_back(line.raised);
    }
    QStringList problems;
    for (size_t i = 0; i < std::size(kItems); ++i) {
        const FloodItem &item = kItems[i];
        const std::vector<bool> &got = perItem[i];
        const int want = expectedLines(item, toggles);
        if (complete ? int(got.size()) != want : int(got.size()) > want)
            problems << QStringLiteral("%1: %2 lines, expected %3")
                                .arg(QLatin1String(item.item))
                                .arg(got.size())
                                .arg(want);
        // The first delivery clears when it differs from the caption; then the toggles
        // raise and clear in turn.
        const int first = inactive(item) != item.caption ? 1 : 0;
        for (size_t k = 0; k < got.size(); ++k) {
            const bool expectRaised = int(k) >= first && (int(k) - first) % 2 == 0;
            if (got[k] != expectRaised) {
                problems << QStringLiteral("%1: line %2 of the item is %3, expected %4")
                                    .arg(QLatin1String(item.item))
                                    .arg(k + 1)
                                    .arg(QLatin1String(got[k] ? "raised" : "cleared"),
                                         QLatin1String(expectRaised ? "raised" : "cleared"));
                break;
            }
        }
    }
    return problems;
}

} // namespace corvane::test
