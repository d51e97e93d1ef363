#pragma once

#include "MqttClient.h"

#include <QMap>
#include <QObject>

namespace corvane {

// The data server's side of the MQTT contract, for a simulated car or a test: its
// items published retained, again on each change; writes taken from <item>/set;
// its presence in $state ("online" once each new connection has republished every
// item, "offline" as its last will and on an orderly stop).
class MqttDataServer : public QObject
{
    Q_OBJECT
public:
    explicit MqttDataServer(const MqttSettings &settings, const QString &application = QStringLiteral("DSData"),
                            const QString &topic = QStringLiteral("CVPlc"), QObject *parent = nullptr);
    ~MqttDataServer() override;

    void start();
    // Says "offline", waits a little for the broker to take it, disconnects.
    void stop();

    void setValue(const QString &item, const QString &value);
    QString value(const QString &item) const { return m_items.value(item); }
    bool isConnected() const { return m_client.isConnected(); }

Q_SIGNALS:
    // A station wrote the item; the table already holds the value.
    void written(const QString &item, const QString &value);

private:
    static MqttSettings withWill(MqttSettings settings, const QString &stateTopic);
    void connectedChanged(bool connected);
    void messageReceived(const QString &topic, const QByteArray &payload);

    const QString m_prefix; // "DSData/CVPlc/"
    const QString m_stateTopic;
    MqttClient m_client;
    QMap<QString, QString> m_items; // ordered: every connection publishes in the same order
    bool m_running = false;
};

} // namespace corvane
