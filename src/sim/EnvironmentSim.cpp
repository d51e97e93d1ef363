#include "Scenario.h"
#include "SimModule.h"

#include <array>
#include <memory>
#include <span>

namespace corvane::sim {

namespace {

// The environmental system's story repeats every five minutes: a hot afternoon with the
// AC working hard, then the crew selects winter operation (c10, owned by the water
// system) and the heat takes over. Along the way one event every half minute or so.
constexpr qint64 kCycleMs = 300'000;

enum Event {
    HighHeadPressureA,  // compressor A trips on head pressure (FAULT c203)
    ControlSwitchAHand, // AC unit A's control switch left in HAND (WARN x360)
    BlowerADriveFault,  // overhead blower A's drive faults (FAULT x407 = 0)
    BlowersStopped,     // overhead blower control in stop (WARN C12)
    OverheatA2,         // A end overhead heat overtemp 2 (WARN C446, latched)
    BlockHeatBreakerB,  // compressor B's block heat breaker trips (WARN c143)
    ControlSwitchBOff,  // AC unit B's control switch turned to OFF (WARN x374 = 0)
    BlowerBSwitching,   // overhead blower B's starter does not pull in (FAULT c356)
};

// clang-format off
constexpr Episode kEpisodes[] = {
    {HighHeadPressureA, 15, 25}, {ControlSwitchAHand, 50, 30}, {BlowerADriveFault, 90, 20},
    {BlowersStopped, 125, 15},   {OverheatA2, 170, 12},        {BlockHeatBreakerB, 200, 35},
    {ControlSwitchBOff, 240, 25}, {BlowerBSwitching, 270, 15},
};
// clang-format on

// The overhead heat overtemps latch in the PLC until an alarm warning reset (c512).
const QString kOvertemps[]
        = {QStringLiteral("C442"), QStringLiteral("C446"), QStringLiteral("C447"), QStringLiteral("C451"),
           QStringLiteral("C440"), QStringLiteral("C444"), QStringLiteral("C441")};
constexpr std::size_t kOvertempA2 = 1;

// Faults and warnings as the summary bits c510 and c511 see them: item and active value.
struct Active
{
    const char *item;
    int value;
};
constexpr Active kFaults[] = {{"c204", 1}, {"c203", 1}, {"c200", 1}, {"c214", 1}, {"c213", 1}, {"c210", 1},
                              {"c355", 1}, {"c356", 1}, {"c357", 1}, {"x407", 0}, {"x234", 0}, {"x377", 0}};
constexpr Active kWarnings[]
        = {{"c133", 1}, {"x364", 0}, {"x360", 1}, {"c143", 1}, {"x374", 0}, {"x370", 1}, {"C442", 1},
           {"C446", 1}, {"C447", 1}, {"C451", 1}, {"C440", 1}, {"C444", 1}, {"C441", 1}, {"C12", 1}};

// The AC thermostat stage items (first, second) and solenoids (stage A, stage B) of
// the A end, B end and dome overhead units.
struct AcUnit
{
    const char *stage1, *stage2, *solenoidA, *solenoidB;
};
constexpr AcUnit kAcUnits[]
        = {{"x400", "x404", "y204", "y200"}, {"x233", "x237", "y205", "y201"}, {"x401", "x405", "y206", "y202"}};

// The overhead blowers: starter, drive, drive bypass switch, drive OK (0 = fault),
// switching fault.
struct Blower
{
    const char *starter, *drive, *bypass, *driveOk, *switchingFault;
};
constexpr Blower kBlowers[] = {{"x202", "x403", "x406", "x407", "c355"},
                               {"x206", "x230", "x231", "x234", "c356"},
                               {"x203", "x373", "x376", "x377", "c357"}};

// The overhead heat units: thermostat stages (the A end has one) and their relays.
struct HeatUnit
{
    const char *stage1, *stage2, *relay1, *relay2;
};
constexpr HeatUnit kHeatUnits[]
        = {{"x410", nullptr, "y310", nullptr}, {"x214", "x211", "y314", "y311"}, {"x414", "x411", "y315", "y312"}};

// The floor heat zones: thermostat and output; bathrooms and the general toilet keep
// their floors warm in summer too.
struct FloorZone
{
    const char *thermostat, *output;
    bool allYear;
};
// clang-format off
constexpr FloorZone kFloorZones[] = {
    {"x212", "y234", false}, {"x216", "y231", true},  {"x213", "y235", false}, {"x217", "y232", true},
    {"x424", "y233", false}, {"x421", "y236", false}, {"x412", "y226", false}, {"x215", "y223", false},
    {"x416", "y227", false}, {"x415", "y230", false}, {"x413", "y225", false}, {"x210", "y237", true},
    {"x417", "y222", false},
};
// clang-format on

QString item(const char *name)
{
    return QString::fromLatin1(name);
}

class EnvironmentSim final : public SimModule
{
public:
    using SimModule::SimModule;

    void start() override
    {
        // A healthy car: no fault, switches in AUTO, drives OK, heat not tripped.
        for (const char *bit : {"c204", "c203", "c200", "c214", "c213", "c210", "c133", "c143", "c355", "c356", "c357",
                                "x360", "x370", "C12", "x406", "x231", "x376", "y240", "y244"})
            ctx().setBit(item(bit), false);
        for (const char *bit : {"x364", "x374", "x407", "x234", "x377"})
            ctx().setBit(item(bit), true);
        for (const QString &o : kOvertemps)
            ctx().setBit(o, false);
        m_latched.fill(false);
        m_acStage = {1, 1, 0};
        m_heatStage.fill(0);
        m_floor.fill(false);
        step();
    }

    void step() override
    {
        const bool summer = ctx().bit(QStringLiteral("c10"));
        stepAirConditioning(summer);
        stepBlowers();
        stepOverheadHeat(summer);
        stepFloorHeat(summer);
        stepSummary();
    }

    void write(const QString &name, const QString &value) override
    {
        // Alarm warning reset: the latched overtemps whose condition has gone clear.
        if (name != QLatin1String("c512") || !readsAs(value, 1))
            return;
        for (std::size_t i = 0; i < m_latched.size(); ++i) {
            if (m_latched[i] && !overtempCondition(i))
                m_latched[i] = false;
        }
        stepOverheadHeat(ctx().bit(QStringLiteral("c10")));
        stepSummary();
    }

private:
    bool during(Event e) const { return sim::during(kEpisodes, e, ctx().nowMs, kCycleMs); }

    bool overtempCondition(std::size_t i) const { return i == kOvertempA2 && during(OverheatA2); }

    // A thermostat's demand wanders between 0 and `top` stages, a change every ~12 s.
    void wander(int &stage, int top, int target)
    {
        if (!ctx().chance(0.008))
            return;
        if (stage < target || (stage < top && ctx().chance(0.35)))
            ++stage;
        else if (stage > 0)
            --stage;
        stage = qBound(0, stage, top);
    }

    void stepAirConditioning(bool summer)
    {
        for (int &s : m_acStage) {
            if (summer)
                wander(s, 2, 1); // a hot afternoon: every unit wants at least the first stage
            else if (ctx().chance(0.01))
                s = 0;
        }
        bool anyDemand = false, secondStage = false;
        for (std::size_t u = 0; u < std::size(kAcUnits); ++u) {
            const AcUnit &unit = kAcUnits[u];
            const int s = m_acStage[u];
            ctx().setBit(item(unit.stage1), s == 1);
            ctx().setBit(item(unit.stage2), s == 2);
            ctx().setBit(item(unit.solenoidA), s >= 1);
            ctx().setBit(item(unit.solenoidB), s == 2);
            anyDemand |= s >= 1;
            secondStage |= s == 2;
        }

        ctx().setBit(QStringLiteral("c203"), during(HighHeadPressureA));
        ctx().setBit(QStringLiteral("x360"), during(ControlSwitchAHand));
        ctx().setBit(QStringLiteral("c143"), during(BlockHeatBreakerB));
        ctx().setBit(QStringLiteral("x374"), !during(ControlSwitchBOff));

        // A compressor runs on demand with its switch in AUTO, always in HAND, never in
        // OFF or with a fault of its own; its condenser runs with it.
        const bool faultA = ctx().bit(QStringLiteral("c204")) || ctx().bit(QStringLiteral("c203"))
                            || ctx().bit(QStringLiteral("c200"));
        const bool faultB = ctx().bit(QStringLiteral("c214")) || ctx().bit(QStringLiteral("c213"))
                            || ctx().bit(QStringLiteral("c210"));
        const bool runA = compressorRuns(anyDemand, faultA, "x364", "x360");
        const bool runB = compressorRuns(secondStage, faultB, "x374", "x370");
        ctx().setBit(QStringLiteral("x220"), runA);
        ctx().setBit(QStringLiteral("x224"), runA);
        ctx().setBit(QStringLiteral("x221"), runB);
        ctx().setBit(QStringLiteral("x225"), runB);
        // The block heaters keep a stopped compressor's oil warm, breaker permitting.
        ctx().setBit(QStringLiteral("x266"), !runA && !ctx().bit(QStringLiteral("c133")));
        ctx().setBit(QStringLiteral("x263"), !runB && !ctx().bit(QStringLiteral("c143")));
    }

    bool compressorRuns(bool demand, bool fault, const char *offSwitch, const char *handSwitch) const
    {
        const bool off = ctx().number(item(offSwitch)) == 0;
        const bool hand = ctx().bit(item(handSwitch));
        return !fault && !off && (hand || demand);
    }

    void stepBlowers()
    {
        const bool stopped = during(BlowersStopped);
        ctx().setBit(QStringLiteral("C12"), stopped);
        ctx().setBit(QStringLiteral("x407"), !during(BlowerADriveFault));
        ctx().setBit(QStringLiteral("c356"), during(BlowerBSwitching));
        for (const Blower &b : kBlowers) {
            // A switching fault is a starter that does not pull in when commanded.
            const bool starter = !stopped && !ctx().bit(item(b.switchingFault));
            ctx().setBit(item(b.starter), starter);
            ctx().setBit(item(b.drive), starter && ctx().bit(item(b.driveOk)));
        }
    }

    void stepOverheadHeat(bool summer)
    {
        for (std::size_t u = 0; u < std::size(kHeatUnits); ++u) {
            const HeatUnit &unit = kHeatUnits[u];
            const int top = unit.stage2 ? 2 : 1;
            if (summer)
                m_heatStage[u] = 0;
            else
                wander(m_heatStage[u], top, 1);
            const int s = m_heatStage[u];
            const bool tripped = u == 0 && overtempCondition(kOvertempA2);
            if (unit.stage2) {
                ctx().setBit(item(unit.stage1), s == 1);
                ctx().setBit(item(unit.stage2), s == 2);
            } else {
                ctx().setBit(item(unit.stage1), s >= 1);
            }
            // The overtemp switch opens the relay until the element has cooled.
            ctx().setBit(item(unit.relay1), s >= 1 && !tripped);
            if (unit.relay2)
                ctx().setBit(item(unit.relay2), s == 2);
        }
        for (std::size_t i = 0; i < m_latched.size(); ++i) {
            m_latched[i] = m_latched[i] || overtempCondition(i);
            ctx().setBit(kOvertemps[i], m_latched[i]);
        }
        // The dome windows defrost for 10 s of every minute in winter.
        const bool defrost = !summer && ctx().nowMs % 60'000 < 10'000;
        ctx().setBit(QStringLiteral("y240"), defrost);
        ctx().setBit(QStringLiteral("y244"), defrost);
    }

    void stepFloorHeat(bool summer)
    {
        for (std::size_t z = 0; z < std::size(kFloorZones); ++z) {
            const FloorZone &zone = kFloorZones[z];
            const bool season = !summer || zone.allYear;
            bool &on = m_floor[z];
            if (!season)
                on = false;
            else if (ctx().chance(on ? 0.006 : (summer ? 0.003 : 0.008)))
                on = !on;
            ctx().setBit(item(zone.thermostat), on);
            ctx().setBit(item(zone.output), on); // the output follows its thermostat
        }
    }

    void stepSummary()
    {
        auto any = [this](std::span<const Active> list) {
            for (const Active &a : list) {
                if (ctx().number(item(a.item)) == a.value)
                    return true;
            }
            return false;
        };
        ctx().setBit(QStringLiteral("c510"), any(kFaults));
        ctx().setBit(QStringLiteral("c511"), any(kWarnings));
    }

    std::array<bool, std::size(kOvertemps)> m_latched{};
    std::array<int, 3> m_acStage{};
    std::array<int, 3> m_heatStage{};
    std::array<bool, std::size(kFloorZones)> m_floor{};
};

} // namespace

std::unique_ptr<SimModule> makeEnvironmentSim(SimContext &ctx)
{
    return std::make_unique<EnvironmentSim>(ctx);
}

} // namespace corvane::sim
