#pragma once

#include "sim/PlcImage.h"
#include "sim/SimulatedCar.h"
#include "transport/MqttDataServer.h"

namespace corvane {

class Scheduler;

// The simulated car served over MQTT: the data server's table is the PLC image, and
// every write reaches the car.
class DataSim final : private sim::PlcImage
{
public:
    DataSim(Scheduler &scheduler, const MqttSettings &settings, quint32 seed);

    void start();
    void stop();

private:
    void set(const QString &item, const QString &value) override { m_server.setValue(item, value); }
    QString get(const QString &item) const override { return m_server.value(item); }

    MqttDataServer m_server;
    sim::SimulatedCar m_car;
};

} // namespace corvane
