#pragma once

#include "MqttClient.h"

#include "core/link/TagSource.h"

#include <QHash>
#include <map>

namespace corvane {

// The data server over MQTT (the station's network link).
//
// Topics: an item's value is <application>/<topic>/<item>, retained by the data
// server; a write goes to <application>/<topic>/<item>/set, QoS 1, not retained; the
// data server's presence is <application>/<topic>/$state, "online" or "offline".
// The link is up while the broker connection is up and $state reads "online".
//
// Automatic links subscribe (one subscription per item, however many links share
// it) and get the retained value at once; manual links subscribe to nothing. An open
// never fails for want of the broker: the link waits, and is served when the broker
// and the data server are there. Values are handed out only while the link is up;
// when it comes up (again), each automatic link gets the current value of its item,
// and the control fires its change handler where that differs from its caption.
//
// A poke while the link is down fails at once and is never sent later. The link's
// time-out bounds the broker's acknowledgement of each poke: a poke not acknowledged
// in time, or lost with its connection, is reported by pokeFailed; the connection
// itself stands or falls by its keep-alive and probe.
class MqttTagSource final : public TagSource
{
    Q_OBJECT
public:
    // The application and topic whose $state decides whether the link is up.
    explicit MqttTagSource(const MqttSettings &settings, const QString &application = QStringLiteral("DSData"),
                           const QString &topic = QStringLiteral("CVPlc"), QObject *parent = nullptr);
    ~MqttTagSource() override;

    // Starts connecting (on the network thread); returns at once.
    void start();
    // Sends the pokes already made (within a short grace), then disconnects.
    void stop();

    std::optional<LinkId> open(const TagAddress &address, LinkMode mode, ValueHandler onValue) override;
    bool setTimeout(LinkId id, int tenths) override;
    void close(LinkId id) override;
    bool poke(LinkId id, const QString &value) override;
    bool isLinkUp() const override { return m_up; }
    // One wildcard subscription (<application>/<topic>/+); one watch per source.
    bool watchAllItems(const QString &application, const QString &topic, ItemHandler onValue) override;

    bool isBrokerConnected() const { return m_client.isConnected(); }
    int failedConnectAttempts() const { return m_client.failedAttempts(); }
    int probesAnswered() const { return m_client.probesAnswered(); }
    static QString itemTopic(const TagAddress &address);

private:
    struct Link
    {
        TagAddress address;
        QString topic;
        LinkMode mode;
        ValueHandler onValue;
        int timeoutMs;
    };

    void onConnectedChanged(bool connected);
    void onMessage(const QString &topic, const QByteArray &payload);
    void onPublishFailed(const QString &topic, const QByteArray &payload);
    void updateLinkState();
    void deliver(const QString &topic, const QString &value);
    void deliverCachedLater(LinkId id);
    void deliverCached(LinkId id);

    MqttClient m_client;
    QString m_stateTopic;
    LinkId m_nextId = 1;
    std::map<LinkId, Link> m_links;
    QHash<QString, int> m_subscribers;    // topic -> automatic links on it
    QHash<QString, QString> m_values;     // topic -> latest value while subscribed
    QHash<QString, TagAddress> m_written; // write topic -> its item, for failure reports
    QString m_everyItemPrefix;            // <application>/<topic>/ of the watch of all items
    ItemHandler m_onEveryItem;
    QHash<QString, QString> m_everyItem; // item -> latest value while connected
    bool m_online = false;
    bool m_up = false;
};

} // namespace corvane
