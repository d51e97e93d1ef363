#include "RecordClock.h"

#include <QDateTime>
#include <algorithm>
#include <chrono>

namespace corvane::history {

namespace {

// Smaller moves are drift and its correction, not a step.
constexpr qint64 kStepMs = 60'000;

qint64 steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
}

} // namespace

RecordClock::RecordClock(Source wall, Source monotonic)
    : m_wall(wall ? std::move(wall) : Source(&QDateTime::currentMSecsSinceEpoch))
    , m_mono(monotonic ? std::move(monotonic) : Source(&steadyMs))
{
}

void RecordClock::setStepHandler(StepHandler handler)
{
    std::lock_guard lock(m_mutex);
    m_onStep = std::move(handler);
}

qint64 RecordClock::now()
{
    std::unique_lock lock(m_mutex);
    const qint64 wall = m_wall(), mono = m_mono();
    if (!m_started) {
        m_started = true;
        m_lastWall = wall;
        m_lastMono = mono;
        if (wall >= m_recorded)
            m_recorded = wall;
        else
            m_slew = Slew{m_recorded, mono};
        return m_recorded;
    }
    const qint64 step = (wall - m_lastWall) - (mono - m_lastMono);
    if (!m_slew && wall < m_recorded + (mono - m_lastMono))
        m_slew = Slew{m_recorded, m_lastMono};
    m_lastWall = wall;
    m_lastMono = mono;
    const qint64 ahead = m_slew ? m_slew->recorded + (mono - m_slew->mono) / 2 : m_recorded;
    if (wall >= ahead) {
        m_recorded = std::max(m_recorded, wall);
        m_slew.reset();
    } else {
        m_recorded = std::max(m_recorded, ahead);
    }
    const qint64 recorded = m_recorded;
    if (std::abs(step) > kStepMs && m_onStep) {
        const StepHandler handler = m_onStep;
        lock.unlock();
        handler(recorded, step);
    }
    return recorded;
}

void RecordClock::notBefore(qint64 tMs)
{
    std::lock_guard lock(m_mutex);
    if (tMs <= m_recorded)
        return;
    m_recorded = tMs;
    if (m_started)
        m_slew = Slew{tMs, m_lastMono};
}

} // namespace corvane::history
