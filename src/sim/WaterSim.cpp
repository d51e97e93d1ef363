#include "Scenario.h"
#include "SimModule.h"
#include "SimulatedCar.h"

#include <array>
#include <memory>
#include <span>

namespace corvane::sim {

namespace {

// The water system's story runs on the same five-minute cycle as the environmental
// one: summer operation for the first half, winter (c10 = 0) for the second, with an
// event every half minute or so.
constexpr qint64 kCycleMs = 300'000;
constexpr qint64 kWinterFromMs = 150'000;

enum Event {
    TankDrainOpen,       // the tank drain left open: the level falls to low (WARN c300)
    TankRefill,          // a station hose refills the tank
    Heater1LevelLow,     // water heater 1 runs low (WARN c366)
    CompressorSwitching, // the air compressor is commanded but does not run (FAULT c354)
    HeatTapeBTrip,       // heat tape B's breaker trips (FAULT t341)
    TankTempLow,         // the tank gets cold before its heat catches up (FAULT c301)
    Heater2LevelLow,     // water heater 2 runs low (WARN c363)
    SewageHeatTrip,      // the sewage heat breaker trips (FAULT t344)
};

// clang-format off
constexpr Episode kEpisodes[] = {
    {TankDrainOpen, 25, 35},   {TankRefill, 70, 12},    {Heater1LevelLow, 95, 12}, {CompressorSwitching, 120, 20},
    {HeatTapeBTrip, 175, 30},  {TankTempLow, 215, 20},  {Heater2LevelLow, 250, 10}, {SewageHeatTrip, 270, 15},
};
// clang-format on

// The warnings the PLC latches until an alarm warning reset (c502).
enum Warning { WaterLevelLow, Heater1Low, Heater2Low, WarningCount };
const QString kWarningItems[WarningCount] = {QStringLiteral("c300"), QStringLiteral("c366"), QStringLiteral("c363")};

const QString kFaultItems[]
        = {QStringLiteral("t340"), QStringLiteral("t341"), QStringLiteral("t342"), QStringLiteral("t343"),
           QStringLiteral("t344"), QStringLiteral("c301"), QStringLiteral("c354")};

constexpr double kLowLevel = 15;  // percent: the low level float drops below this
constexpr double kHighLevel = 90; // percent: the high level float lifts above this
constexpr double kAirLow = 95;    // psi: the pressure switch calls the compressor
constexpr double kAirHigh = 120;  // psi: and releases it
constexpr qint64 kDrainMs = 3000; // the compressor drain opens after each run
constexpr double kStepS = SimulatedCar::kStepMs / 1000.0;

class WaterSim final : public SimModule
{
public:
    using SimModule::SimModule;

    void start() override
    {
        for (const QString &f : kFaultItems)
            ctx().setBit(f, false);
        m_latched.fill(false);
        m_level = 85;
        m_air = 110;
        m_compressorOn = false;
        m_drainUntil = -1;
        m_flushUntil = -1;
        m_vacuum = 190;
        ctx().setBit(QStringLiteral("y263"), true);  // the recirculator pump runs
        ctx().setBit(QStringLiteral("y264"), false); // the car water drain stays shut
        ctx().setBit(QStringLiteral("y267"), true);  // the vacuum system is powered
        step();
    }

    void step() override
    {
        const qint64 t = ctx().nowMs % kCycleMs;
        const bool winter = t >= kWinterFromMs;
        ctx().setBit(QStringLiteral("c10"), !winter);
        stepTank();
        stepHeaters();
        stepAntiFreeze(winter);
        stepAirAndVacuum(winter);
        stepSummary();
    }

    void write(const QString &name, const QString &value) override
    {
        // Alarm warning reset: the latched warnings whose condition has gone clear.
        if (name != QLatin1String("c502") || !readsAs(value, 1))
            return;
        for (int w = 0; w < WarningCount; ++w) {
            if (!condition(Warning(w)))
                m_latched[std::size_t(w)] = false;
        }
        stepSummary();
    }

private:
    bool during(Event e) const { return sim::during(kEpisodes, e, ctx().nowMs, kCycleMs); }

    bool condition(Warning w) const
    {
        switch (w) {
        case WaterLevelLow:
            return m_level < kLowLevel;
        case Heater1Low:
            return during(Heater1LevelLow);
        case Heater2Low:
            return during(Heater2LevelLow);
        case WarningCount:
            break;
        }
        return false;
    }

    void stepTank()
    {
        const double dt = kStepS;
        const bool draining = during(TankDrainOpen);
        ctx().setBit(QStringLiteral("y260"), draining);
        if (draining)
            m_level -= 2.4 * dt; // 85 % to below 10 % in 35 s
        else if (during(TankRefill))
            m_level += 8 * dt;
        else
            m_level -= 0.02 * dt; // the car's ordinary use
        m_level = qBound(0.0, m_level, 100.0);
        ctx().setBit(QStringLiteral("x465"), m_level >= kLowLevel);
        ctx().setBit(QStringLiteral("x461"), m_level >= kHighLevel);
    }

    void stepHeaters()
    {
        // Each heater follows its thermostat stage, unless its own level is low.
        cycle(QStringLiteral("x460"), 0.01, 0.006);
        cycle(QStringLiteral("x464"), 0.004, 0.01);
        ctx().setBit(QStringLiteral("y203"), ctx().bit(QStringLiteral("x460")) && !condition(Heater1Low));
        ctx().setBit(QStringLiteral("y207"), ctx().bit(QStringLiteral("x464")) && !condition(Heater2Low));
    }

    void stepAntiFreeze(bool winter)
    {
        const bool cold = during(TankTempLow);
        for (const auto &[thermostat, heat] : {std::pair{"x425", "y261"}, std::pair{"x422", "y265"}}) {
            const QString th = QString::fromLatin1(thermostat);
            if (!winter)
                ctx().setBit(th, false);
            else if (cold)
                ctx().setBit(th, true);
            else
                cycle(th, 0.008, 0.008);
            ctx().setBit(QString::fromLatin1(heat), ctx().bit(th)); // the tank heat follows its thermostat
        }
        // Winter operation keeps the heat tapes, sewage heat and drain heaters on.
        for (const char *out : {"y262", "y266", "y220", "y303", "y306", "y307"})
            ctx().setBit(QString::fromLatin1(out), winter);
        ctx().setBit(QStringLiteral("t341"), during(HeatTapeBTrip));
        ctx().setBit(QStringLiteral("t344"), during(SewageHeatTrip));
        ctx().setBit(QStringLiteral("c301"), cold);
    }

    void stepAirAndVacuum(bool winter)
    {
        const double dt = kStepS;
        // The pressure switch calls the compressor below kAirLow and releases it above kAirHigh.
        if (m_air < kAirLow)
            m_compressorOn = true;
        else if (m_air > kAirHigh)
            m_compressorOn = false;
        const bool switching = during(CompressorSwitching);
        const bool running = m_compressorOn && !switching;
        if (ctx().bit(QStringLiteral("x222")) && !running)
            m_drainUntil = ctx().nowMs + kDrainMs;
        m_air += (running ? 2.5 : -0.6) * dt;
        ctx().setBit(QStringLiteral("x402"), m_compressorOn);
        ctx().setBit(QStringLiteral("y213"), m_compressorOn);
        ctx().setBit(QStringLiteral("x222"), running);
        ctx().setBit(QStringLiteral("y217"), ctx().nowMs < m_drainUntil);
        ctx().setBit(QStringLiteral("c354"), switching);

        // A toilet flush now and then opens the sewage tank solenoid and pulls the vacuum down.
        if (m_flushUntil < ctx().nowMs && ctx().chance(0.005))
            m_flushUntil = ctx().nowMs + 2000;
        const bool flushing = ctx().nowMs < m_flushUntil;
        ctx().setBit(QStringLiteral("y221"), flushing);
        m_vacuum += flushing ? -25 * dt : (195 - m_vacuum) * 0.5 * dt + ctx().uniform(-2, 2) * dt;
        m_vacuum = qBound(100.0, m_vacuum, 220.0);
        ctx().set(QStringLiteral("v1426:b"), double(qRound(m_vacuum))); // tenths
        ctx().setBit(QStringLiteral("y317"), winter);
    }

    void stepSummary()
    {
        ctx().setBit(QStringLiteral("c366"), latch(Heater1Low));
        ctx().setBit(QStringLiteral("c363"), latch(Heater2Low));
        ctx().setBit(QStringLiteral("c300"), latch(WaterLevelLow));
        bool anyFault = false;
        for (const QString &f : kFaultItems)
            anyFault |= ctx().bit(f);
        bool anyWarning = false;
        for (const QString &w : kWarningItems)
            anyWarning |= ctx().bit(w);
        ctx().setBit(QStringLiteral("c500"), anyFault);
        ctx().setBit(QStringLiteral("c501"), anyWarning);
    }

    bool latch(Warning w)
    {
        bool &l = m_latched[std::size_t(w)];
        l = l || condition(w);
        return l;
    }

    // A thermostat that switches on and off now and then.
    void cycle(const QString &name, double pOn, double pOff)
    {
        const bool on = ctx().bit(name);
        if (ctx().chance(on ? pOff : pOn))
            ctx().setBit(name, !on);
        else
            ctx().setBit(name, on);
    }

    std::array<bool, WarningCount> m_latched{};
    double m_level = 85;
    double m_air = 110;
    bool m_compressorOn = false;
    qint64 m_drainUntil = -1;
    qint64 m_flushUntil = -1;
    double m_vacuum = 190;
};

} // namespace

std::unique_ptr<SimModule> makeWaterSim(SimContext &ctx)
{
    return std::make_unique<WaterSim>(ctx);
}

} // namespace corvane::sim
