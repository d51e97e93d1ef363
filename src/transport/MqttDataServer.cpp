#include "MqttDataServer.h"
#include "MqttMessage.h"

namespace corvane {

namespace {
const QString kSetSuffix = QStringLiteral("/set");
const QByteArray kOnline = QByteArrayLiteral("online");
const QByteArray kOffline = QByteArrayLiteral("offline");
} // namespace

MqttDataServer::MqttDataServer(const MqttSettings &settings, const QString &application, const QString &topic,
                               QObject *parent)
    : QObject(parent)
    , m_prefix(application + u'/' + topic + u'/')
    , m_stateTopic(m_prefix + QStringLiteral("$state"))
    , m_client(withWill(settings, m_stateTopic))
{
    connect(&m_client, &MqttClient::connectedChanged, this, &MqttDataServer::connectedChanged);
    connect(&m_client, &MqttClient::messageReceived, this, &MqttDataServer::messageReceived);
    m_client.subscribe(m_prefix + u'+' + kSetSuffix);
}

MqttDataServer::~MqttDataServer()
{
    stop();
}

MqttSettings MqttDataServer::withWill(MqttSettings settings, const QString &stateTopic)
{
    settings.willTopic = stateTopic;
    settings.willPayload = kOffline;
    settings.willRetain = true;
    return settings;
}

void MqttDataServer::start()
{
    m_running = true;
    m_client.start();
}

void MqttDataServer::stop()
{
    if (!m_running)
        return;
    m_running = false;
    m_client.publish(m_stateTopic, kOffline, true);
    m_client.stop();
}

void MqttDataServer::setValue(const QString &item, const QString &value)
{
    m_items.insert(item, value);
    m_client.publish(m_prefix + item, value.toUtf8(), true); // while disconnected: on the next connection
}

void MqttDataServer::connectedChanged(bool connected)
{
    if (!connected)
        return;
    // The broker may have lost what it held: every item again, then "online", so a
    // station that sees us online already has our values.
    for (auto it = m_items.cbegin(); it != m_items.cend(); ++it)
        m_client.publish(m_prefix + it.key(), it.value().toUtf8(), true);
    m_client.publish(m_stateTopic, kOnline, true);
}

void MqttDataServer::messageReceived(const QString &topic, const QByteArray &payload)
{
    if (!topic.startsWith(m_prefix) || !topic.endsWith(kSetSuffix))
        return;
    const QString item = topic.mid(m_prefix.size(), topic.size() - m_prefix.size() - kSetSuffix.size());
    if (item.isEmpty() || item.startsWith(u'$'))
        return;
    const QString value = payloadValue(payload);
    setValue(item, value); // the table holds it before anyone reacts, as a PLC write would
    Q_EMIT written(item, value);
}

} // namespace corvane
