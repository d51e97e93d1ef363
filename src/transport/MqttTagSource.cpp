#include "MqttTagSource.h"
#include "MqttMessage.h"

#include <QMetaObject>

namespace corvane {

namespace {

constexpr int kDefaultTimeoutTenths = 50;
constexpr int kLongestTimeoutTenths = 65535; // what a time-out of -1 stands for
constexpr int kStopGraceMs = 2000;

// One level of a topic: no separator, no wildcard, not a $ name of the broker or of
// the contract, not empty.
bool isTopicLevel(const QString &text)
{
    return !text.isEmpty() && !text.startsWith(u'$') && !text.contains(u'/') && !text.contains(u'+')
           && !text.contains(u'#') && !text.contains(QChar(0));
}

} // namespace

MqttTagSource::MqttTagSource(const MqttSettings &settings, const QString &application, const QString &topic,
                             QObject *parent)
    : TagSource(parent)
    , m_client(settings)
    , m_stateTopic(application + u'/' + topic + QStringLiteral("/$state"))
{
    connect(&m_client, &MqttClient::connectedChanged, this, &MqttTagSource::onConnectedChanged);
    connect(&m_client, &MqttClient::messageReceived, this, &MqttTagSource::onMessage);
    connect(&m_client, &MqttClient::publishFailed, this, &MqttTagSource::onPublishFailed);
    m_client.subscribe(m_stateTopic);
}

MqttTagSource::~MqttTagSource()
{
    stop();
}

void MqttTagSource::start()
{
    m_client.start();
}

void MqttTagSource::stop()
{
    m_client.stop(kStopGraceMs);
    m_online = false;
    m_up = false;
}

QString MqttTagSource::itemTopic(const TagAddress &address)
{
    return address.application + u'/' + address.topic + u'/' + address.item;
}

std::optional<LinkId> MqttTagSource::open(const TagAddress &address, LinkMode mode, ValueHandler onValue)
{
    if (mode == LinkMode::None || !isTopicLevel(address.application) || !isTopicLevel(address.topic)
        || !isTopicLevel(address.item))
        return std::nullopt;
    const LinkId id = m_nextId++;
    const QString topic = itemTopic(address);
    m_links.emplace(id, Link{address, topic, mode, std::move(onValue), kDefaultTimeoutTenths * 100});
    if (mode == LinkMode::Automatic) {
        if (m_subscribers[topic]++ == 0)
            m_client.subscribe(topic);
        else if (m_values.contains(topic))
            deliverCachedLater(id);
    }
    return id;
}

bool MqttTagSource::setTimeout(LinkId id, int tenths)
{
    const auto it = m_links.find(id);
    if (it == m_links.end() || (tenths <= 0 && tenths != -1))
        return false;
    it->second.timeoutMs = (tenths == -1 ? kLongestTimeoutTenths : tenths) * 100;
    return true;
}

void MqttTagSource::close(LinkId id)
{
    const auto it = m_links.find(id);
    if (it == m_links.end())
        return;
    if (it->second.mode == LinkMode::Automatic) {
        const QString topic = it->second.topic;
        if (--m_subscribers[topic] == 0) {
            m_subscribers.remove(topic);
            m_values.remove(topic);
            m_client.unsubscribe(topic);
        }
    }
    m_links.erase(it);
}

bool MqttTagSource::poke(LinkId id, const QString &value)
{
    const auto it = m_links.find(id);
    if (it == m_links.end() || !m_up)
        return false;
    const QString topic = it->second.topic + QStringLiteral("/set");
    if (!m_client.publish(topic, value.toUtf8(), false, it->second.timeoutMs))
        return false;
    m_written.insert(topic, it->second.address);
    return true;
}

void MqttTagSource::onPublishFailed(const QString &topic, const QByteArray &payload)
{
    const auto it = m_written.constFind(topic);
    if (it != m_written.constEnd())
        Q_EMIT pokeFailed(*it, QString::fromUtf8(payload));
}

void MqttTagSource::onConnectedChanged(bool connected)
{
    if (!connected) {
        // What the broker said before is no longer known to be current.
        m_online = false;
        m_values.clear();
        m_everyItem.clear();
    }
    updateLinkState();
}

void MqttTagSource::onMessage(const QString &topic, const QByteArray &payload)
{
    if (topic == m_stateTopic) {
        m_online = saysOnline(payload);
        updateLinkState();
        return;
    }
    if (m_onEveryItem && topic.startsWith(m_everyItemPrefix)) {
        // The wildcard also matches $state and $diagnostics; a write's /set is a level deeper.
        const QString item = topic.mid(m_everyItemPrefix.size());
        if (isTopicLevel(item)) {
            const QString value = payloadValue(payload);
            m_everyItem.insert(item, value);
            if (m_up)
                m_onEveryItem(item, value);
        }
    }
    if (!m_subscribers.contains(topic))
        return; // closed meanwhile
    const QString value = payloadValue(payload);
    m_values.insert(topic, value);
    if (m_up)
        deliver(topic, value);
}

void MqttTagSource::updateLinkState()
{
    const bool up = m_client.isConnected() && m_online;
    if (up == m_up)
        return;
    m_up = up;
    Q_EMIT linkStateChanged(up);
    if (!up)
        return;
    // Back: every automatic link gets the value of now; its control fires its change
    // handler where that differs from what it showed before the outage.
    std::vector<LinkId> ids;
    for (const auto &[id, link] : m_links) {
        if (link.mode == LinkMode::Automatic && m_values.contains(link.topic))
            ids.push_back(id);
    }
    for (LinkId id : ids)
        deliverCached(id);
    if (m_onEveryItem) {
        const QHash<QString, QString> all = m_everyItem; // shared, not copied
        for (auto it = all.cbegin(); it != all.cend(); ++it)
            m_onEveryItem(it.key(), it.value());
    }
}

bool MqttTagSource::watchAllItems(const QString &application, const QString &topic, ItemHandler onValue)
{
    if (m_onEveryItem || !isTopicLevel(application) || !isTopicLevel(topic))
        return false;
    m_everyItemPrefix = application + u'/' + topic + u'/';
    m_onEveryItem = std::move(onValue);
    m_client.subscribe(m_everyItemPrefix + u'+');
    return true;
}

void MqttTagSource::deliver(const QString &topic, const QString &value)
{
    std::vector<LinkId> ids;
    for (const auto &[id, link] : m_links) {
        if (link.mode == LinkMode::Automatic && link.topic == topic)
            ids.push_back(id);
    }
    for (LinkId id : ids) {
        const auto it = m_links.find(id); // an earlier handler may have closed it
        if (it == m_links.end() || !m_up || !it->second.onValue)
            continue;
        const ValueHandler handler = it->second.onValue; // the handler may close its own link
        handler(value);
    }
}

void MqttTagSource::deliverCachedLater(LinkId id)
{
    // Posted: a value never arrives inside the open that asked for it.
    QMetaObject::invokeMethod(
            this, [this, id] { deliverCached(id); }, Qt::QueuedConnection);
}

void MqttTagSource::deliverCached(LinkId id)
{
    const auto it = m_links.find(id);
    if (it == m_links.end() || !m_up || !it->second.onValue)
        return;
    const auto cached = m_values.constFind(it->second.topic);
    if (cached == m_values.constEnd())
        return;
    const QString value = *cached;
    const ValueHandler handler = it->second.onValue; // the handler may close its own link
    handler(value);
}

} // namespace corvane
