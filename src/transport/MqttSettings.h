#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace corvane {

// How to reach the broker, and who we are to it.
struct MqttSettings
{
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 1883;

    // TLS when tlsCa is set; a client certificate is optional.
    QString tlsCa;
    QString tlsCert;
    QString tlsKey;

    // The password stays in memory: it is never printed, logged or passed on.
    QString username;
    QString password;

    // Shown in the broker's log, followed by a random suffix.
    QString clientIdPrefix = QStringLiteral("corvane");

    // The last will the broker publishes when this client vanishes (empty: none).
    QString willTopic;
    QByteArray willPayload;
    bool willRetain = false;

    // Longest wait for the broker to answer an exchange (connect, subscribe, the
    // keep-alive probe, a publish without its own time-out) before the connection
    // counts as dead, is dropped and is made again.
    int exchangeTimeoutMs = 5000;
    // Longest quiet spell before the client probes the broker; the probe's answer is
    // due within probeTimeoutMs. Together they notice a silent failure in about 4 s.
    int probeIdleMs = 1000;
    int probeTimeoutMs = 3000;

    // Reconnection waits, growing from the first to the last, then staying there.
    int reconnectMinMs = 250;
    int reconnectMaxMs = 3000;

    // A payload longer than this is cut to it (no value of the car is that long,
    // and a broker without a size limit must not make us hold gigabytes).
    qsizetype maxPayloadBytes = 1 << 20;

    // MQTT 5 with "retain as published": a message published retained arrives marked
    // retained even while we are subscribed, not only when we subscribe (a retained
    // write is a command to refuse, not to replay).
    bool retainAsPublished = false;

    QString brokerText() const;
};

// The first line of a password file, without its line end; empty when the file
// cannot be read (the caller says so without the file's content).
std::optional<QString> readPasswordFile(const QString &path);

} // namespace corvane
