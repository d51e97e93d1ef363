#include "DataSim.h"

namespace corvane {

namespace {
constexpr int kChangeTickMs = 10;
}

DataSim::DataSim(Scheduler &scheduler, const MqttSettings &settings, quint32 seed, RandomChanges random)
    : m_server(settings)
    , m_car(scheduler, *this, seed)
    , m_random(random)
    , m_rng(seed)
{
    QObject::connect(&m_server, &MqttDataServer::written, &m_car, &sim::SimulatedCar::write);
    m_changeTimer.setInterval(kChangeTickMs);
    QObject::connect(&m_changeTimer, &QTimer::timeout, [this] { changeSome(); });
}

void DataSim::set(const QString &item, const QString &value)
{
    if (m_random.perSecond > 0 && !m_items.contains(item))
        m_items.append(item);
    m_server.setValue(item, value);
    if (m_plc)
        m_plc->setItem(item, value);
}

void DataSim::servePlc(const gateway::ItemMap &map, quint16 port, bool mqtt)
{
    m_mqtt = mqtt;
    m_plc = std::make_unique<gateway::PlcServer>(map, port);
    // A client's write is the station's write, as it reaches the car through a gateway.
    QObject::connect(m_plc.get(), &gateway::PlcServer::written, &m_car,
                     [this](const QString &item, const QString &value) {
                         if (m_server.value(item) == value)
                             return; // a read-modify-write or a repeat: nothing the car has to hear
                         m_server.setValue(item, value);
                         m_car.write(item, value);
                     });
}

bool DataSim::start(QString *error)
{
    QString reason;
    if (m_plc && !m_plc->start(&reason)) {
        if (error)
            *error = reason;
        return false;
    }
    m_car.start(); // the healthy car is in the table before the first connection
    if (m_random.perSecond > 0) {
        m_car.stop(); // from here on the values are random, not the car's
        m_since.start();
        m_changeTimer.start();
    }
    if (m_mqtt)
        m_server.start();
    return true;
}

void DataSim::stop()
{
    m_changeTimer.stop();
    m_car.stop();
    if (m_plc)
        m_plc->stop();
    m_server.stop();
}

QString DataSim::randomValue(const QString &item, QRandomGenerator &rng)
{
    if (item.startsWith(u'v'))
        return QString::number(rng.bounded(65536));
    return rng.bounded(2) ? QStringLiteral("1") : QStringLiteral("0");
}

// As many changes as the rate asks for by now; a late tick catches up, so the rate
// holds however the timer runs.
void DataSim::changeSome()
{
    const qint64 elapsed = m_since.elapsed();
    if (m_items.isEmpty() || (m_random.seconds >= 0 && elapsed >= qint64(m_random.seconds) * 1000)) {
        m_changeTimer.stop();
        return;
    }
    const qint64 due = elapsed * m_random.perSecond / 1000;
    for (; m_changes < due; ++m_changes) {
        const QString &item = m_items.at(qsizetype(m_rng.bounded(quint32(m_items.size()))));
        m_server.setValue(item, randomValue(item, m_rng));
    }
}

} // namespace corvane
