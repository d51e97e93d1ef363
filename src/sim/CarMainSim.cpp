#include "SimModule.h"

#include "SimulatedCar.h"

#include <array>
#include <cmath>
#include <memory>

namespace corvane::sim {

namespace {

constexpr double kDt = SimulatedCar::kStepMs / 1000.0; // seconds per step

// The car as the main screen sees it: a run of stops and stretches at speed, the
// odometers, the undercar levels, temperatures and brake pressures, and the events the
// crew must hear about, each cleared again after a while.
class CarMainSim final : public SimModule
{
public:
    using SimModule::SimModule;

    void start() override
    {
        m_stateEndsMs = seconds(20, 40);
        publishGauges();
        bit(u"x227", false); // standing with the hand brake on
        bit(u"c27", false);
        for (const Dropout &d : m_dropouts)
            bit(d.item, true);
        bit(u"c302", false);
        setBackfeedStep(0);
        // The first events come sooner than the later ones, so a short demo shows some.
        for (Dropout &d : m_dropouts)
            d.atMs = nextEvent(d.meanGapS / 4);
        m_backfeedAtMs = nextEvent(kBackfeedMeanS / 4);
    }

    void step() override
    {
        drive();
        handBrake();
        levels();
        dropouts();
        backfeed();
        publishGauges();
    }

    void write(const QString &item, const QString &value) override
    {
        // The backfeed stop request ends a running sequence: the backfeed goes off.
        if (item == u"c22" && readsAs(value, 1) && m_backfeedStep >= 1 && m_backfeedStep <= 6)
            enterBackfeedOff();
    }

private:
    enum class Drive { Stopped, Accelerating, Cruising, Braking };

    static constexpr double kBackfeedMeanS = 200;
    static constexpr double kFuelLowGallons = 100;
    static constexpr double kFuelOkGallons = 110; // the PLC's hysteresis on the low bit

    qint64 now() const { return ctx().nowMs; }
    qint64 seconds(double lo, double hi) { return now() + qint64(ctx().uniform(lo, hi) * 1000); }
    // An exponential wait: events come "now and then", not on a beat.
    qint64 nextEvent(double meanS)
    {
        return now() + qint64(std::exponential_distribution<double>(1.0 / meanS)(ctx().rng) * 1000) + 10'000;
    }
    void bit(const char16_t *item, bool on) { ctx().setBit(QString::fromUtf16(item), on); }
    void number(const char16_t *item, double value) { ctx().set(QString::fromUtf16(item), value); }

    // ---- Speed, odometers, brakes ----

    void drive()
    {
        switch (m_drive) {
        case Drive::Stopped:
            m_speed = 0;
            if (now() >= m_stateEndsMs) {
                m_drive = Drive::Accelerating;
                m_target = std::round(ctx().uniform(35, 79));
            }
            break;
        case Drive::Accelerating:
            m_speed = std::min(m_target, m_speed + 1.1 * kDt);
            if (m_speed >= m_target) {
                m_drive = Drive::Cruising;
                m_stateEndsMs = seconds(60, 180);
            }
            break;
        case Drive::Cruising:
            m_speed = std::clamp(m_speed + ctx().uniform(-0.15, 0.15), m_target - 3, m_target + 3);
            if (now() >= m_stateEndsMs)
                m_drive = Drive::Braking;
            break;
        case Drive::Braking:
            m_speed = std::max(0.0, m_speed - 1.8 * kDt);
            if (m_speed <= 0) {
                m_drive = Drive::Stopped;
                m_stateEndsMs = seconds(30, 90);
                // Now and then the hand brake is left on as the car pulls away.
                m_forgetHandBrake = ctx().chance(0.25);
            }
            break;
        }
        const double miles = m_speed * kDt / 3600.0;
        m_carMiles += miles;
        m_tripMiles += miles;

        // Brake pipe charged at 90 PSI, reduced while braking; the cylinders fill while
        // braking and standing.
        const bool braking = m_drive == Drive::Braking;
        const double pipeTarget = braking ? 74 : 90;
        const double cylTarget = braking ? 38 : (m_drive == Drive::Stopped ? 50 : 0);
        m_pipe += (pipeTarget - m_pipe) * kDt / 2.0;
        m_cyl += (cylTarget - m_cyl) * kDt / 1.5;
    }

    // x227 = 0 while the hand brake is on; the PLC sets c27 when it is on and the car moves.
    void handBrake()
    {
        if (m_drive == Drive::Stopped) {
            if (now() + 20'000 < m_stateEndsMs) {
                m_handBrakeOn = true; // set while standing
            } else if (now() >= m_stateEndsMs - 5000 && m_handBrakeOn && !m_handBrakeLeftOn) {
                m_handBrakeLeftOn = m_forgetHandBrake;
                m_handBrakeOn = m_handBrakeLeftOn;      // else released before pulling away
                m_handBrakeReleaseMs = seconds(20, 35); // noticed only once moving
            }
        } else if (m_handBrakeLeftOn && now() >= m_handBrakeReleaseMs) {
            m_handBrakeOn = m_handBrakeLeftOn = false;
        }
        bit(u"x227", !m_handBrakeOn);
        bit(u"c27", m_handBrakeOn && m_speed > 2);
    }

    // ---- Water, fuel, temperatures ----

    void levels()
    {
        if (m_refillingWater) {
            m_water = std::min(200.0, m_water + 2.0 * kDt);
            m_refillingWater = m_water < 200;
        } else if (ctx().bit(QStringLiteral("c300"))) {
            // The water system reports the tank low (a drain left open): the gauge agrees.
            m_water = std::max(25.0, m_water - 4.0 * kDt);
        } else {
            m_water = std::max(0.0, m_water - ctx().uniform(0, 0.05) * kDt);
            m_refillingWater = m_water < 60 && m_drive == Drive::Stopped;
        }

        if (m_refuelling) {
            m_fuel = std::min(550.0, m_fuel + 3.0 * kDt);
            m_refuelling = m_fuel < 550;
        } else if (ctx().bit(QStringLiteral("x226"))) {
            m_fuel = std::max(0.0, m_fuel - ctx().uniform(0.05, 0.11) * kDt); // the generator burns
        }
        const bool wasLow = ctx().bit(QStringLiteral("c302"));
        const bool low = wasLow ? m_fuel < kFuelOkGallons : m_fuel < kFuelLowGallons;
        bit(u"c302", low);
        if (low && !wasLow)
            m_refuelAtMs = seconds(60, 150);
        if (low && !m_refuelling && now() >= m_refuelAtMs)
            m_refuelling = true;

        m_waterTemp = std::clamp(m_waterTemp + ctx().uniform(-0.04, 0.04), 112.0, 128.0);
        m_outsideTemp = std::clamp(m_outsideTemp + ctx().uniform(-0.02, 0.02), 35.0, 75.0);
    }

    void publishGauges()
    {
        number(u"v10020:b", std::round(m_speed));
        number(u"v1002:db", std::floor(m_carMiles));
        number(u"v1000:db", std::floor(m_tripMiles));
        number(u"v1416:b", std::round(m_water));
        number(u"v1415:b", std::round(m_waterTemp));
        number(u"v1422:b", std::round(m_fuel));
        number(u"v1412:b", std::round(m_outsideTemp));
        number(u"v1413:b", std::round(m_pipe));
        number(u"v1414:b", std::round(m_cyl));
    }

    // ---- Events with their clears ----

    // An input that drops out now and then and comes back after a while.
    struct Dropout
    {
        const char16_t *item;
        double meanGapS;
        double minS, maxS; // how long it stays out
        qint64 atMs = 0;   // next drop, or the return while out
        bool out = false;
    };

    void dropouts()
    {
        for (Dropout &d : m_dropouts) {
            if (now() < d.atMs)
                continue;
            d.out = !d.out;
            bit(d.item, !d.out);
            d.atMs = d.out ? seconds(d.minS, d.maxS) : nextEvent(d.meanGapS);
        }
    }

    // Idle (0), then requesting, trainline open, 24 V on the trainline, trainline
    // proven, bypass HEP lock, complete, and backfeed off before idle again.
    void backfeed()
    {
        if (m_backfeedStep == 0) {
            if (now() >= m_backfeedAtMs) {
                setBackfeedStep(1);
                m_backfeedNextMs = seconds(2, 4);
            }
            return;
        }
        if (now() < m_backfeedNextMs)
            return;
        if (m_backfeedStep < 5) {
            setBackfeedStep(m_backfeedStep + 1);
            m_backfeedNextMs = seconds(2, 4);
        } else if (m_backfeedStep == 5) {
            setBackfeedStep(6);
            m_backfeedNextMs = seconds(20, 45);
        } else if (m_backfeedStep == 6) {
            enterBackfeedOff();
        } else {
            setBackfeedStep(0);
            m_backfeedAtMs = nextEvent(kBackfeedMeanS);
        }
    }

    void enterBackfeedOff()
    {
        setBackfeedStep(7);
        m_backfeedNextMs = seconds(4, 8);
    }

    void setBackfeedStep(int step)
    {
        m_backfeedStep = step;
        bit(u"y255", step >= 1 && step <= 5);
        bit(u"x251", step >= 2 && step <= 6);
        bit(u"x252", step >= 3 && step <= 6);
        bit(u"x255", step >= 4 && step <= 6);
        bit(u"x256", step >= 5 && step <= 6);
        bit(u"x253", step == 6);
        bit(u"y253", step == 7);
    }

    Drive m_drive = Drive::Stopped;
    qint64 m_stateEndsMs = 0;
    double m_speed = 0;
    double m_target = 0;
    double m_carMiles = 184'532.4;
    double m_tripMiles = 212.6;
    double m_pipe = 90;
    double m_cyl = 50;
    bool m_handBrakeOn = true;
    bool m_forgetHandBrake = false;
    bool m_handBrakeLeftOn = false;
    qint64 m_handBrakeReleaseMs = 0;

    double m_water = 178;
    bool m_refillingWater = false;
    double m_fuel = 131;
    bool m_refuelling = false;
    qint64 m_refuelAtMs = 0;
    double m_waterTemp = 120;
    double m_outsideTemp = 54;

    Dropout m_dropouts[2] = {
            {u"x200", 240, 5, 20},  // the phase fault relay drops: phase fault
            {u"x226", 300, 10, 40}, // generator control off
    };
    int m_backfeedStep = 0;
    qint64 m_backfeedAtMs = 0;
    qint64 m_backfeedNextMs = 0;
};

} // namespace

std::unique_ptr<SimModule> makeCarMainSim(SimContext &ctx)
{
    return std::make_unique<CarMainSim>(ctx);
}

} // namespace corvane::sim
