#pragma once

#include "sim/PlcImage.h"
#include "sim/SimulatedCar.h"
#include "transport/MqttClient.h"

#include <QMap>
#include <QObject>

namespace corvane {

class Scheduler;

// The simulated car served over MQTT as a data server would: every item published
// retained, again on each change; writes taken from <item>/set; its presence in
// $state ("online" after each connection has republished every item, "offline" as
// its last will and on an orderly stop).
class DataSim final : public QObject, private sim::PlcImage
{
    Q_OBJECT
public:
    DataSim(Scheduler &scheduler, const MqttSettings &settings, quint32 seed,
            const QString &application = QStringLiteral("DSData"), const QString &topic = QStringLiteral("CVPlc"));
    ~DataSim() override;

    void start();
    // Says "offline", waits a little for the broker to take it, disconnects.
    void stop();

private:
    void set(const QString &item, const QString &value) override;
    QString get(const QString &item) const override;

    static MqttSettings withWill(MqttSettings settings, const QString &stateTopic);
    void connectedChanged(bool connected);
    void messageReceived(const QString &topic, const QByteArray &payload);

    const QString m_prefix; // "DSData/CVPlc/"
    const QString m_stateTopic;
    MqttClient m_client;
    QMap<QString, QString> m_items; // ordered: every run publishes in the same order
    sim::SimulatedCar m_car;
    bool m_running = false;
};

} // namespace corvane
