#pragma once

#include "gateway/PlcServer.h"
#include "sim/PlcImage.h"
#include "sim/SimulatedCar.h"
#include "transport/MqttDataServer.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStringList>
#include <QTimer>

namespace corvane {

class Scheduler;

// Instead of simulating the car: random values on every item at a given rate, from
// the healthy car's table, for a soak of the station. Off when perSecond is 0.
struct RandomChanges
{
    int perSecond = 0;
    int seconds = -1; // then quiet; -1: for ever
};

// The simulated car served over MQTT: the data server's table is the PLC image, and
// every write reaches the car.
class DataSim final : private sim::PlcImage
{
public:
    DataSim(Scheduler &scheduler, const MqttSettings &settings, quint32 seed, RandomChanges random = {});

    // Also serve the car as a Modbus TCP PLC laid out by the map; with mqtt false the
    // broker is left to a gateway reading that PLC. Before start().
    void servePlc(const gateway::ItemMap &map, quint16 port, bool mqtt);

    // False (with the reason) when the PLC's port cannot be had.
    bool start(QString *error = nullptr);
    void stop();

    // A random value for the item: a bit for bit items, a word for "v" items.
    static QString randomValue(const QString &item, QRandomGenerator &rng);

private:
    void set(const QString &item, const QString &value) override;
    QString get(const QString &item) const override { return m_server.value(item); }
    void changeSome();

    MqttDataServer m_server;
    std::unique_ptr<gateway::PlcServer> m_plc;
    bool m_mqtt = true;
    sim::SimulatedCar m_car;
    RandomChanges m_random;
    QRandomGenerator m_rng;
    QStringList m_items; // every item the car has set, in the order it set them
    QTimer m_changeTimer;
    QElapsedTimer m_since;
    qint64 m_changes = 0;
};

} // namespace corvane
