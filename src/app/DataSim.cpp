#include "DataSim.h"

namespace corvane {

DataSim::DataSim(Scheduler &scheduler, const MqttSettings &settings, quint32 seed)
    : m_server(settings)
    , m_car(scheduler, *this, seed)
{
    QObject::connect(&m_server, &MqttDataServer::written, &m_car, &sim::SimulatedCar::write);
}

void DataSim::start()
{
    m_car.start(); // the healthy car is in the table before the first connection
    m_server.start();
}

void DataSim::stop()
{
    m_car.stop();
    m_server.stop();
}

} // namespace corvane
