#include "DataSim.h"

namespace corvane {

namespace {
const QString kSetSuffix = QStringLiteral("/set");
const QByteArray kOnline = QByteArrayLiteral("online");
const QByteArray kOffline = QByteArrayLiteral("offline");
} // namespace

DataSim::DataSim(Scheduler &scheduler, const MqttSettings &settings, quint32 seed, const QString &application,
                 const QString &topic)
    : m_prefix(application + u'/' + topic + u'/')
    , m_stateTopic(m_prefix + QStringLiteral("$state"))
    , m_client(withWill(settings, m_stateTopic))
    , m_car(scheduler, *this, seed)
{
    connect(&m_client, &MqttClient::connectedChanged, this, &DataSim::connectedChanged);
    connect(&m_client, &MqttClient::messageReceived, this, &DataSim::messageReceived);
    m_client.subscribe(m_prefix + u'+' + kSetSuffix);
}

DataSim::~DataSim()
{
    stop();
}

MqttSettings DataSim::withWill(MqttSettings settings, const QString &stateTopic)
{
    settings.willTopic = stateTopic;
    settings.willPayload = kOffline;
    settings.willRetain = true;
    return settings;
}

void DataSim::start()
{
    m_running = true;
    m_car.start();
    m_client.start();
}

void DataSim::stop()
{
    if (!m_running)
        return;
    m_running = false;
    m_car.stop();
    m_client.publish(m_stateTopic, kOffline, true);
    m_client.stop();
}

void DataSim::set(const QString &item, const QString &value)
{
    m_items.insert(item, value);
    m_client.publish(m_prefix + item, value.toUtf8(), true); // while disconnected: sent on the next connection
}

QString DataSim::get(const QString &item) const
{
    return m_items.value(item);
}

void DataSim::connectedChanged(bool connected)
{
    if (!connected)
        return;
    // The broker may have lost what it held: every item again, then "online", so a
    // station that sees us online already has our values.
    for (auto it = m_items.cbegin(); it != m_items.cend(); ++it)
        m_client.publish(m_prefix + it.key(), it.value().toUtf8(), true);
    m_client.publish(m_stateTopic, kOnline, true);
}

void DataSim::messageReceived(const QString &topic, const QByteArray &payload)
{
    if (!topic.startsWith(m_prefix) || !topic.endsWith(kSetSuffix))
        return;
    const QString item = topic.mid(m_prefix.size(), topic.size() - m_prefix.size() - kSetSuffix.size());
    if (item.isEmpty() || item.startsWith(u'$'))
        return;
    const QString value = QString::fromUtf8(payload);
    set(item, value); // the image holds it before the car sees it, as a PLC write would
    m_car.write(item, value);
}

} // namespace corvane
