#include "SimModule.h"
#include "SimulatedCar.h"

#include <array>
#include <cmath>
#include <memory>

namespace corvane::sim {

namespace {

// PLC speed units: 655.36 to the percent, 65536 full speed.
constexpr double kUnitsPerPercent = 655.36;
constexpr double kFullSpeed = 65536;

// An overhead blower unit: its measured speed and the setpoint of each operating
// mode (no heat or cool, the heat stages, the cool stages), with the car's settings.
struct Unit
{
    const char *actual;
    std::array<const char *, 5> setpoints;
    int modes;
    std::array<double, 5> percent;
};

// clang-format off
constexpr Unit kUnits[] = {
    {"v7024:db", {"v10200:db", "v10202:db", "v10204:db", "v10206:db"}, 4, {55, 70, 80, 100}},
    {"v7030:db", {"v10230:db", "v10232:db", "v10234:db", "v10236:db", "v10240:db"}, 5, {55, 65, 75, 80, 100}},
    {"v7026:db", {"v10260:db", "v10262:db", "v10264:db", "v10266:db", "v10270:db"}, 5, {50, 60, 70, 75, 95}},
};
// clang-format on
constexpr int kUnitCount = int(std::size(kUnits));

// The drive ramps at 10 % of full speed a second; the thermostat changes the mode
// every few minutes; the measured speed wanders a little around the setpoint.
constexpr double kRampPerStep = 10 * kUnitsPerPercent * SimulatedCar::kStepMs / 1000.0;
constexpr double kModeMinMs = 60'000, kModeMaxMs = 180'000;
constexpr double kWanderUnits = 0.3 * kUnitsPerPercent;
constexpr double kWanderChance = 0.1;

QString item(const char *s)
{
    return QString::fromLatin1(s);
}

class BlowerSim final : public SimModule
{
public:
    using SimModule::SimModule;

    void start() override
    {
        for (int u = 0; u < kUnitCount; ++u) {
            const Unit &unit = kUnits[u];
            for (int m = 0; m < unit.modes; ++m) {
                m_setpoint[u][m] = std::round(unit.percent[m] * kUnitsPerPercent);
                ctx().set(item(unit.setpoints[m]), m_setpoint[u][m]);
            }
            m_mode[u] = 0;
            m_nextModeAt[u] = nextModeChange();
            m_speed[u] = m_setpoint[u][0];
            ctx().set(item(unit.actual), m_speed[u]);
        }
    }

    void step() override
    {
        for (int u = 0; u < kUnitCount; ++u) {
            if (ctx().nowMs >= m_nextModeAt[u]) {
                // Mostly to a neighbouring stage, as the temperature drifts.
                const int step = ctx().chance(0.5) ? 1 : -1;
                m_mode[u] = qBound(0, m_mode[u] + step, kUnits[u].modes - 1);
                m_nextModeAt[u] = nextModeChange();
            }
            if (ctx().chance(kWanderChance))
                m_wander[u] = std::round(ctx().uniform(-kWanderUnits, kWanderUnits));
            const double target = qBound(0.0, m_setpoint[u][m_mode[u]] + m_wander[u], kFullSpeed);
            double &speed = m_speed[u];
            if (std::abs(target - speed) > kRampPerStep)
                speed += target > speed ? kRampPerStep : -kRampPerStep;
            else
                speed = target;
            ctx().set(item(kUnits[u].actual), std::round(speed));
        }
    }

    // A written setpoint: the register keeps whole units, up to full speed. A text
    // that is no number leaves the register as it was, and the server shows that again.
    void write(const QString &written, const QString &value) override
    {
        for (int u = 0; u < kUnitCount; ++u) {
            for (int m = 0; m < kUnits[u].modes; ++m) {
                if (written != QLatin1String(kUnits[u].setpoints[m]))
                    continue;
                if (const auto v = readValue(value))
                    m_setpoint[u][m] = qBound(0.0, std::round(*v), kFullSpeed);
                ctx().set(written, m_setpoint[u][m]);
            }
        }
    }

private:
    qint64 nextModeChange() { return ctx().nowMs + qint64(ctx().uniform(kModeMinMs, kModeMaxMs)); }

    std::array<std::array<double, 5>, kUnitCount> m_setpoint{};
    std::array<int, kUnitCount> m_mode{};
    std::array<qint64, kUnitCount> m_nextModeAt{};
    std::array<double, kUnitCount> m_speed{};
    std::array<double, kUnitCount> m_wander{};
};

} // namespace

std::unique_ptr<SimModule> makeBlowerSim(SimContext &ctx)
{
    return std::make_unique<BlowerSim>(ctx);
}

} // namespace corvane::sim
