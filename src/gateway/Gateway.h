#pragma once

#include "Health.h"
#include "PlcLink.h"

#include "transport/MqttClient.h"

#include <QElapsedTimer>
#include <QSet>
#include <QTimer>
#include <optional>

namespace corvane::gateway {

// The MQTT side: each row's value published retained when it changes, the data
// live while every readable row has been read recently ($state and Status say so),
// writes from <item>/set checked against the map before the PLC sees them, and what
// it is doing on $diagnostics.
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

    // How often $diagnostics is published when nothing in it changes.
    static constexpr int kDiagnosticsEveryMs = 10'000;

private:
    static MqttSettings forGateway(MqttSettings settings, const QString &stateTopic);
    qint64 now() const { return m_clock.elapsed(); }
    void publish(const QString &item, const QString &value);
    void publishPresence();
    void publishDiagnostics();
    void connectedChanged(bool connected);
    void messageReceived(const QString &topic, const QByteArray &payload, bool retained);
    void scanned(const ScanResult &result);
    void written(int row, const QString &error, const Reading &readback);
    void take(const Reading &reading);
    // Live or not by the rows' ages; re-armed for the moment that may change.
    void judge();
    // At once when the rows that fail or the requests a scan takes change.
    void diagnosticsMayHaveChanged(int requests);

    ItemMap m_map;
    PlcSettings m_plcSettings;
    const QString m_prefix; // "DSData/CVPlc/"
    MqttClient m_client;
    PlcLink m_plc;
    Health m_health;
    QElapsedTimer m_clock;
    QList<std::optional<QString>> m_values; // as published, by row
    QSet<int> m_reported;                   // rows whose read error is logged
    QList<Health::RowProblem> m_failingPublished;
    int m_requestsPublished = 0;
    QTimer m_liveTimer;
    QTimer m_diagnosticsTimer;
    bool m_live = false;
    bool m_running = false;
};

// One line on stderr per event, for the journal.
void logLine(const QString &line);
// An untrusted text fit for one log line: control characters shown as '?', cut short.
QString quoted(const QString &text);

} // namespace corvane::gateway
