#pragma once

#include "PlcImage.h"

#include "core/link/Value.h"

#include <QString>
#include <random>

namespace corvane::sim {

// What a part of the simulated car gets: the PLC image, the time and a seeded
// random source, so a run with the same seed plays the same way.
struct SimContext
{
    PlcImage &plc;
    std::mt19937 &rng;
    qint64 nowMs = 0;

    void set(const QString &item, const QString &value)
    {
        if (plc.get(item) != value)
            plc.set(item, value);
    }
    void set(const QString &item, double value) { set(item, numberText(value)); }
    void setBit(const QString &item, bool on) { set(item, on ? QStringLiteral("1") : QStringLiteral("0")); }
    double number(const QString &item) const { return readValue(plc.get(item)).value_or(0); }
    bool bit(const QString &item) const { return readsAs(plc.get(item), 1); }
    double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }
    bool chance(double p) { return std::bernoulli_distribution(p)(rng); }
};

// One subsystem of the simulated car. start() publishes a healthy car; step() runs
// every kStepMs of simulated time; write() sees what the station wrote (already
// stored in the image) and may react.
class SimModule
{
public:
    explicit SimModule(SimContext &ctx)
        : m_ctx(ctx)
    {
    }
    virtual ~SimModule() = default;
    virtual void start() = 0;
    virtual void step() = 0;
    virtual void write(const QString &item, const QString &value)
    {
        Q_UNUSED(item)
        Q_UNUSED(value)
    }

protected:
    SimContext &ctx() const { return m_ctx; }

private:
    SimContext &m_ctx;
};

} // namespace corvane::sim
