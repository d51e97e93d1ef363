#pragma once

#include <QtGlobal>
#include <functional>
#include <mutex>
#include <optional>

namespace corvane::history {

// The times the history records: UTC milliseconds that never go back. They follow the
// wall clock while it runs with the monotonic one. A wall-clock step of more than a
// minute either way is reported once. Stepped forward, recorded times jump with it;
// stepped back, they run on at half the monotonic rate until the wall clock has caught
// up, so they rejoin it without ever going back. Any thread.
class RecordClock
{
public:
    using Source = std::function<qint64()>;
    // stepMs: how far the wall clock moved against the monotonic one (positive: forward),
    // found at recorded time tMs.
    using StepHandler = std::function<void(qint64 tMs, qint64 stepMs)>;

    // Defaults: the system's wall clock and its monotonic clock.
    explicit RecordClock(Source wall = {}, Source monotonic = {});

    void setStepHandler(StepHandler handler);
    qint64 now();
    // Recorded times go on after this one (the last one already in the file).
    void notBefore(qint64 tMs);
    // Milliseconds of the monotonic clock: the time the station has actually run.
    qint64 monotonicMs() const { return m_mono(); }

private:
    std::mutex m_mutex;
    Source m_wall, m_mono;
    StepHandler m_onStep;
    bool m_started = false;
    qint64 m_recorded = 0, m_lastWall = 0, m_lastMono = 0;
    struct Slew
    {
        qint64 recorded, mono;
    };
    std::optional<Slew> m_slew; // the wall clock is behind: catching up from here
};

} // namespace corvane::history
