#pragma once

#include "MqttSettings.h"

#include <QObject>
#include <atomic>
#include <memory>

namespace corvane {

// One MQTT connection kept alive on its own thread. The owner (on the UI thread)
// asks for subscriptions and publishes; the network thread connects, reconnects
// with back-off, subscribes again after each reconnection and hands every message
// and state change back to the owner's thread as a queued call, payload copied with
// its length. Nothing here ever waits on the network in the caller's thread.
//
// A publish is made on the connection that is up when the network thread takes it,
// or not at all (publishFailed says so): nothing is kept to be sent after a reconnection. Each connection is
// a fresh client with a clean session, so a message in flight when a connection
// dies is dropped with it rather than sent late.
class MqttClient : public QObject
{
    Q_OBJECT
public:
    explicit MqttClient(MqttSettings settings, QObject *parent = nullptr);
    // Stops as stop() does.
    ~MqttClient() override;

    void start();
    // Sends what was asked before, waits at most graceMs for the broker to take it,
    // then disconnects cleanly (so no last will is published) and ends the thread.
    void stop(int graceMs = 2000);

    // Kept across reconnections until unsubscribed. QoS 1.
    void subscribe(const QString &filter);
    void unsubscribe(const QString &filter);
    // QoS 1. False when it certainly does not go (no connection at the moment, or an
    // invalid topic). timeoutMs bounds the wait for the broker's acknowledgement: one
    // that comes later fails that publish (publishFailed), not the connection; whether
    // the connection lives is judged by the keep-alive and the probe alone.
    // -1: the settings' exchange time-out.
    bool publish(const QString &topic, const QByteArray &payload, bool retain, int timeoutMs = -1);

    // The connection as last reported to this thread.
    bool isConnected() const { return m_connected; }
    // Connection attempts that ended before a session began (refused, TLS, no answer).
    int failedAttempts() const { return m_failedAttempts.load(std::memory_order_relaxed); }
    // Liveness probes the broker answered: each one means the link had been quiet.
    int probesAnswered() const { return m_probesAnswered.load(std::memory_order_relaxed); }
    const MqttSettings &settings() const { return m_settings; }

Q_SIGNALS:
    void connectedChanged(bool connected);
    // retained: the broker held it (or, with retainAsPublished, it was published retained).
    void messageReceived(const QString &topic, const QByteArray &payload, bool retained);
    // A publish that publish() accepted did not reach the broker for certain: not
    // acknowledged in time, its connection lost first, or no connection when taken.
    void publishFailed(const QString &topic, const QByteArray &payload);

private:
    class Worker;
    void setConnected(bool connected);

    MqttSettings m_settings;
    std::unique_ptr<Worker> m_worker;
    bool m_connected = false;
    std::atomic<int> m_failedAttempts{0};
    std::atomic<int> m_probesAnswered{0};
};

} // namespace corvane
