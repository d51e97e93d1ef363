#pragma once

#include "PlcLink.h"

#include "transport/MqttClient.h"

#include <QElapsedTimer>
#include <QSet>
#include <QTimer>
#include <optional>

namespace corvane::gateway {

// The MQTT side: each row's value published retained when it changes, the data
// live while the last good scan is recent ($state and Status say so), and writes
// from <item>/set checked against the map before the PLC sees them.
class Gateway : public QObject
{
    Q_OBJECT
public:
    Gateway(const ItemMap &map, const QList<ScanRequest> &plan, const PlcSettings &plc, const MqttSettings &mqtt,
            QObject *parent = nullptr);
    ~Gateway() override;

    void start();
    // Says "offline", lets the broker take it, disconnects.
    void stop();

    // Three periods, at least one second: one slow scan makes nothing flap.
    static int liveWindowMs(int periodMs) { return std::max(3 * periodMs, 1000); }

private:
    static MqttSettings withWill(MqttSettings settings, const QString &stateTopic);
    void publish(const QString &item, const QString &value);
    void publishPresence();
    void connectedChanged(bool connected);
    void messageReceived(const QString &topic, const QByteArray &payload);
    void scanned(const QList<Reading> &readings);
    void written(int row, const QString &error, const Reading &readback);
    void take(const Reading &reading);
    void goStale();

    ItemMap m_map;
    PlcSettings m_plcSettings;
    const QString m_prefix; // "DSData/CVPlc/"
    MqttClient m_client;
    PlcLink m_plc;
    QList<std::optional<QString>> m_values; // as published, by row
    QSet<int> m_reported;                   // rows whose read error is logged
    QTimer m_liveTimer;
    bool m_live = false;
    bool m_running = false;
};

// One line on stderr per event, for the journal.
void logLine(const QString &line);
// An untrusted text fit for one log line: control characters shown as '?', cut short.
QString quoted(const QString &text);

} // namespace corvane::gateway
