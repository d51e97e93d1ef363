#include "Gateway.h"

#include "transport/MqttMessage.h"

#include <QJsonDocument>

#include <cstdio>

namespace corvane::gateway {

namespace {
const QString kSetSuffix = QStringLiteral("/set");
const QString kState = QStringLiteral("$state");
const QString kStatus = QStringLiteral("Status");
const QString kDiagnostics = QStringLiteral("$diagnostics");
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
    , m_client(forGateway(mqtt, m_prefix + kState))
    , m_plc(map, plan, plc)
    , m_health(map, plc.periodMs)
    , m_values(map.rows.size())
{
    m_clock.start();
    m_liveTimer.setSingleShot(true);
    m_liveTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_liveTimer, &QTimer::timeout, this, &Gateway::judge);
    m_diagnosticsTimer.setInterval(kDiagnosticsEveryMs);
    connect(&m_diagnosticsTimer, &QTimer::timeout, this, &Gateway::publishDiagnostics);
    connect(&m_client, &MqttClient::connectedChanged, this, &Gateway::connectedChanged);
    connect(&m_client, &MqttClient::messageReceived, this, &Gateway::messageReceived);
    connect(&m_plc, &PlcLink::scanned, this, &Gateway::scanned);
    connect(&m_plc, &PlcLink::written, this, &Gateway::written);
    connect(&m_plc, &PlcLink::outage, this, [this](const QString &reason) {
        m_health.transportError();
        logLine(QStringLiteral("PLC lost: %1 (retrying with back-off)").arg(reason));
    });
    connect(&m_plc, &PlcLink::recovered, this, [] { logLine(QStringLiteral("PLC answers again")); });
    connect(&m_plc, &PlcLink::requestSplit, this, [](const QString &what, const QString &why, const QStringList &into) {
        logLine(QStringLiteral("PLC refused %1 as a whole (%2): reading it as %3").arg(what, why, into.join(u", ")));
    });
    m_client.subscribe(m_prefix + u'+' + kSetSuffix);
}

Gateway::~Gateway()
{
    stop();
}

MqttSettings Gateway::forGateway(MqttSettings settings, const QString &stateTopic)
{
    settings.willTopic = stateTopic;
    settings.willPayload = QByteArrayLiteral("offline");
    settings.willRetain = true;
    settings.retainAsPublished = true; // to tell a retained write from a live one
    return settings;
}

void Gateway::start()
{
    m_running = true;
    m_client.start();
    m_plc.start();
    m_diagnosticsTimer.start();
}

void Gateway::stop()
{
    if (!m_running)
        return;
    m_running = false;
    m_plc.stop();
    m_liveTimer.stop();
    m_diagnosticsTimer.stop();
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

void Gateway::publishDiagnostics()
{
    QJsonObject doc = m_health.json(now());
    doc.insert(QStringLiteral("live"), m_live);
    publish(kDiagnostics, QString::fromUtf8(QJsonDocument(doc).toJson(QJsonDocument::Compact)));
    m_diagnosticsTimer.start(); // the next one a full interval after this
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
    publishDiagnostics();
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

void Gateway::scanned(const ScanResult &result)
{
    m_health.scanned(result, now());
    for (const Reading &r : result.readings) {
        // A request that fails now and then is the live rule's business, not the log's.
        if (r.kind != Reading::Failed)
            take(r);
    }
    judge();
    diagnosticsMayHaveChanged(result.requests);
}

void Gateway::judge()
{
    const qint64 t = now();
    const QString stale = m_health.staleReason(t);
    if (stale.isEmpty()) {
        m_liveTimer.start(int(std::max<qint64>(m_health.staleAt(t) - t, 0)) + 1);
        if (m_live)
            return;
        // The whole scan is out before the station hears the data is live again.
        m_live = true;
        publishPresence();
        logLine(QStringLiteral("data live: online"));
        return;
    }
    m_liveTimer.stop(); // the next scan judges again
    if (!m_live)
        return;
    m_live = false;
    publishPresence();
    logLine(QStringLiteral("data not live (%1): offline").arg(stale));
    publishDiagnostics();
}

void Gateway::diagnosticsMayHaveChanged(int requests)
{
    const QList<Health::RowProblem> failing = m_health.failingRows();
    if (failing == m_failingPublished && requests == m_requestsPublished)
        return;
    m_failingPublished = failing;
    m_requestsPublished = requests;
    publishDiagnostics();
}

void Gateway::messageReceived(const QString &topic, const QByteArray &payload, bool retained)
{
    if (!topic.startsWith(m_prefix) || !topic.endsWith(kSetSuffix))
        return;
    const QString item = topic.mid(m_prefix.size(), topic.size() - m_prefix.size() - kSetSuffix.size());
    const QString text = payloadValue(payload);
    const auto refuse = [&](const QString &reason) {
        m_health.writeRefused();
        logLine(QStringLiteral("write refused: %1 %2: %3").arg(quoted(item), quoted(text), reason));
    };
    // A station never publishes a write retained: one that is was left on the broker
    // and would be replayed at every start, with no operator behind it.
    if (retained)
        return refuse(QStringLiteral("retained (a write is a command, never a state)"));
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
    if (!m_plc.write(int(row - m_map.rows.constData()), std::get<Encoded>(encoded)))
        return refuse(QStringLiteral("%1 writes wait for the PLC already").arg(m_plcSettings.maxQueuedWrites));
}

void Gateway::written(int row, const QString &error, const Reading &readback)
{
    if (!error.isEmpty()) {
        m_health.writeFailed();
        logLine(QStringLiteral("write failed: %1: %2").arg(m_map.rows[row].item, error));
        return;
    }
    m_health.writeDone();
    if (readback.kind == Reading::Failed)
        return; // read back with the later write of the same row
    m_health.read(readback, now());
    take(readback);
}

} // namespace corvane::gateway
