#include "SimulatedCar.h"

#include "core/time/Scheduler.h"
#include "core/time/VirtualScheduler.h"
#include "transport/InProcessServer.h"

namespace corvane::sim {

SimulatedCar::SimulatedCar(Scheduler &scheduler, PlcImage &plc, quint32 seed)
    : m_scheduler(scheduler)
    , m_rng(seed)
    , m_ctx{plc, m_rng, 0}
{
    m_modules.push_back(makeLinkSim(m_ctx));
    m_modules.push_back(makeCarMainSim(m_ctx));
    m_modules.push_back(makeEnvironmentSim(m_ctx));
    m_modules.push_back(makeWaterSim(m_ctx));
    m_modules.push_back(makePorterSim(m_ctx));
    m_modules.push_back(makeBlowerSim(m_ctx));
    std::erase(m_modules, nullptr);
}

SimulatedCar::~SimulatedCar() = default;

void SimulatedCar::start()
{
    m_startMs = m_scheduler.elapsedMs();
    m_ctx.nowMs = 0;
    for (auto &m : m_modules)
        m->start();
    m_timer = m_scheduler.createTimer([this] { step(); });
    m_timer->start(kStepMs, kStepMs);
}

void SimulatedCar::stop()
{
    m_timer.reset();
}

void SimulatedCar::step()
{
    m_ctx.nowMs = m_scheduler.elapsedMs() - m_startMs;
    for (auto &m : m_modules)
        m->step();
}

void SimulatedCar::write(const QString &item, const QString &value)
{
    m_ctx.nowMs = m_scheduler.elapsedMs() - m_startMs;
    for (auto &m : m_modules)
        m->write(item, value);
}

void ServerPlc::set(const QString &item, const QString &value)
{
    m_server.setValue(item, value);
}

QString ServerPlc::get(const QString &item) const
{
    return m_server.value(item);
}

DemoCar::DemoCar(Scheduler &scheduler, InProcessServer &server, quint32 seed)
    : m_plc(server)
    , m_car(std::make_unique<SimulatedCar>(scheduler, m_plc, seed))
{
    QObject::connect(&server, &InProcessServer::poked, m_car.get(), &SimulatedCar::write);
    m_car->start();
}

DemoCar::~DemoCar() = default;

namespace {
class SnapshotImage final : public PlcImage
{
public:
    void set(const QString &item, const QString &value) override { values.insert(item, value); }
    QString get(const QString &item) const override { return values.value(item); }
    QMap<QString, QString> values;
};
} // namespace

QMap<QString, QString> healthyCarValues()
{
    VirtualScheduler frozen;
    SnapshotImage image;
    SimulatedCar car(frozen, image);
    car.start();
    car.stop();
    return image.values;
}

} // namespace corvane::sim
