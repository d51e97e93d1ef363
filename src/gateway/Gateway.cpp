#include "Gateway.h"

#include "transport/MqttMessage.h"

#include <cstdio>

namespace corvane::gateway {

namespace {
const QString kSetSuffix = QStringLiteral("/set");
const QString kState = QStringLiteral("$state");
const QString kStatus = QStringLiteral("Status");
} // namespace

void logLine(const QString &line)
{
    std::fprintf(stderr, "%s\n", qPrintable(line));
    std::fflush(stderr);
}

QString quoted(const QString &text)
{
    QString out = text.left(64);
    for (QChar &c : out) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line
            || c.category() == QChar::Separator_Paragraph)
            c = u'?';
    }
    return u'"' + out + (text.size() > 64 ? QStringLiteral("...\"") : QStringLiteral("\""));
}

Gateway::Gateway(const ItemMap &map, const QList<ScanRequest> &plan, const PlcSettings &plc, const MqttSettings &mqtt,
                 QObject *parent)
    : QObject(parent)
    , m_map(map)
    , m_plcSettings(plc)
    , m_prefix(QStringLiteral("DSData/CVPlc/"))
    , m_client(withWill(mqtt, m_prefix + kState))
    , m_plc(map, plan, plc)
    , m_values(map.rows.size())
{
    m_liveTimer.setSingleShot(true);
    m_liveTimer.setTimerType(Qt::PreciseTimer);
    m_liveTimer.setInterval(liveWindowMs(plc.periodMs));
    connect(&m_liveTimer, &QTimer::timeout, this, &Gateway::goStale);
    connect(&m_client, &MqttClient::connectedChanged, this, &Gateway::connectedChanged);
    connect(&m_client, &MqttClient::messageReceived, this, &Gateway::messageReceived);
    connect(&m_plc, &PlcLink::scanned, this, &Gateway::scanned);
    connect(&m_plc, &PlcLink::written, this, &Gateway::written);
    connect(&m_plc, &PlcLink::outage, this, [this](const QString &reason) {
        logLine(QStringLiteral("PLC lost: %1 (retrying with back-off)").arg(reason));
    });
    connect(&m_plc, &PlcLink::recovered, this, [] { logLine(QStringLiteral("PLC answers again")); });
    connect(&m_plc, &PlcLink::requestSplit, this, [](const QString &what) {
        logLine(QStringLiteral("PLC refused %1 as a whole: reading its rows one by one").arg(what));
    });
    m_client.subscribe(m_prefix + u'+' + kSetSuffix);
}

Gateway::~Gateway()
{
    stop();
}

MqttSettings Gateway::withWill(MqttSettings settings, const QString &stateTopic)
{
    settings.willTopic = stateTopic;
    settings.willPayload = QByteArrayLiteral("offline");
    settings.willRetain = true;
    return settings;
}

void Gateway::start()
{
    m_running = true;
    m_client.start();
    m_plc.start();
}

void Gateway::stop()
{
    if (!m_running)
        return;
    m_running = false;
    m_plc.stop();
    m_client.publish(m_prefix + kStatus, QByteArrayLiteral("0"), true);
    m_client.publish(m_prefix + kState, QByteArrayLiteral("offline"), true);
    m_client.stop();
}

void Gateway::publish(const QString &item, const QString &value)
{
    m_client.publish(m_prefix + item, value.toUtf8(), true); // while disconnected: on the next connection
}

void Gateway::publishPresence()
{
    publish(kStatus, m_live ? QStringLiteral("1") : QStringLiteral("0"));
    publish(kState, m_live ? QStringLiteral("online") : QStringLiteral("offline"));
}

void Gateway::connectedChanged(bool connected)
{
    if (!connected)
        return;
    // The broker may have lost what it held: every value again, then the presence,
    // so a station that sees us online already has our values.
    for (qsizetype i = 0; i < m_values.size(); ++i) {
        if (m_values[i])
            publish(m_map.rows[i].item, *m_values[i]);
    }
    publishPresence();
}

void Gateway::take(const Reading &reading)
{
    const MapRow &row = m_map.rows[reading.row];
    if (reading.kind != Reading::Value) {
        // Logged once until the row reads well again; its last value stays.
        if (!m_reported.contains(reading.row)) {
            m_reported.insert(reading.row);
            logLine(QStringLiteral("read error: %1 (%2 %3): %4")
                            .arg(row.item, tableName(row.table))
                            .arg(row.address)
                            .arg(reading.text));
        }
        return;
    }
    m_reported.remove(reading.row);
    if (m_values[reading.row] == reading.text)
        return;
    m_values[reading.row] = reading.text;
    publish(row.item, reading.text);
}

void Gateway::scanned(const QList<Reading> &readings)
{
    for (const Reading &r : readings)
        take(r);
    m_liveTimer.start();
    if (m_live)
        return;
    // The whole scan is out before the station hears the data is live again.
    m_live = true;
    publishPresence();
    logLine(QStringLiteral("data live: online"));
}

void Gateway::goStale()
{
    m_live = false;
    publishPresence();
    logLine(QStringLiteral("no good scan for %1 ms: offline").arg(m_liveTimer.interval()));
}

void Gateway::messageReceived(const QString &topic, const QByteArray &payload)
{
    if (!topic.startsWith(m_prefix) || !topic.endsWith(kSetSuffix))
        return;
    const QString item = topic.mid(m_prefix.size(), topic.size() - m_prefix.size() - kSetSuffix.size());
    const QString text = payloadValue(payload);
    const auto refuse = [&](const QString &reason) {
        logLine(QStringLiteral("write refused: %1 %2: %3").arg(quoted(item), quoted(text), reason));
    };
    const MapRow *row = m_map.find(item);
    if (!row)
        return refuse(QStringLiteral("not in the map"));
    if (row->table == Table::Discrete)
        return refuse(QStringLiteral("a discrete input cannot be written"));
    if (row->table == Table::Input)
        return refuse(QStringLiteral("an input register cannot be written"));
    if (!row->writable)
        return refuse(QStringLiteral("not marked write in the map"));
    const auto encoded = encodeWrite(*row, text, m_map.highWordFirst);
    if (const QString *reason = std::get_if<QString>(&encoded))
        return refuse(*reason);
    m_plc.write(int(row - m_map.rows.constData()), std::get<Encoded>(encoded));
}

void Gateway::written(int row, const QString &error, const Reading &readback)
{
    if (!error.isEmpty()) {
        logLine(QStringLiteral("write failed: %1: %2").arg(m_map.rows[row].item, error));
        return;
    }
    take(readback);
}

} // namespace corvane::gateway
