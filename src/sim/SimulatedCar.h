#pragma once

#include "PlcImage.h"
#include "SimModule.h"

#include <QMap>
#include <QObject>
#include <memory>
#include <random>
#include <vector>

namespace corvane {
class Scheduler;
class TimerBackend;
class InProcessServer;
} // namespace corvane

namespace corvane::sim {

// The simulated Corvane car: a PLC scenario that keeps a data server's items moving
// plausibly, has real events now and then, and answers the station's writes.
class SimulatedCar : public QObject
{
    Q_OBJECT
public:
    static constexpr int kStepMs = 100;

    SimulatedCar(Scheduler &scheduler, PlcImage &plc, quint32 seed = 1);
    ~SimulatedCar() override;

    // Publishes the healthy car and starts the scenario.
    void start();
    void stop();
    // A value the station wrote; the image already holds it.
    void write(const QString &item, const QString &value);
    // Runs the scenario one step (done by the timer; tests may call it).
    void step();

private:
    Scheduler &m_scheduler;
    std::mt19937 m_rng;
    SimContext m_ctx;
    std::vector<std::unique_ptr<SimModule>> m_modules;
    std::unique_ptr<TimerBackend> m_timer;
    qint64 m_startMs = 0;
};

// Every item of the healthy car, as the simulated car publishes it when it starts.
QMap<QString, QString> healthyCarValues();

// The simulated car behind the in-process server: the server's table is the PLC
// image, and every poke reaches the car.
class ServerPlc final : public PlcImage
{
public:
    explicit ServerPlc(InProcessServer &server)
        : m_server(server)
    {
    }
    void set(const QString &item, const QString &value) override;
    QString get(const QString &item) const override;

private:
    InProcessServer &m_server;
};

// The in-process demo: a car on the given server, its writes wired back.
class DemoCar
{
public:
    DemoCar(Scheduler &scheduler, InProcessServer &server, quint32 seed = 1);
    ~DemoCar();
    SimulatedCar &car() { return *m_car; }

private:
    ServerPlc m_plc;
    std::unique_ptr<SimulatedCar> m_car;
};

// The modules, one per subsystem of the car (each in its own file).
std::unique_ptr<SimModule> makeLinkSim(SimContext &ctx);
std::unique_ptr<SimModule> makeCarMainSim(SimContext &ctx);
std::unique_ptr<SimModule> makeEnvironmentSim(SimContext &ctx);
std::unique_ptr<SimModule> makeWaterSim(SimContext &ctx);
std::unique_ptr<SimModule> makePorterSim(SimContext &ctx);
std::unique_ptr<SimModule> makeBlowerSim(SimContext &ctx);

} // namespace corvane::sim
