#pragma once

#include "core/time/Scheduler.h"

#include <QObject>
#include <memory>

namespace corvane {

// A timer control of a screen (tmrFlashRed, tmrBkfdStop, ...): an interval, an enabled
// state and a tick. It repeats until disabled, like the controls it stands for.
//
// Enabling a timer that is already enabled leaves its schedule alone: a second click
// on a pulse button does not stretch the pulse. Changing the interval of an enabled
// timer starts the new interval from now.
class Timer : public QObject
{
    Q_OBJECT
public:
    Timer(Scheduler &scheduler, const QString &name, int intervalMs, bool enabledAtStart, QObject *parent);
    ~Timer() override;

    int interval() const { return m_interval; }
    void setInterval(int ms);
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    // Enables the timer with its first tick after firstDelayMs instead of a whole
    // interval; later ticks keep the interval. Used to take over a running schedule.
    void resume(int firstDelayMs);
    // Milliseconds to the next tick, -1 when disabled.
    qint64 remainingMs() const;
    // Whether the screen's load starts this timer.
    bool enabledAtStart() const { return m_enabledAtStart; }

Q_SIGNALS:
    void tick();

private:
    std::unique_ptr<TimerBackend> m_backend;
    int m_interval;
    bool m_enabled = false;
    bool m_enabledAtStart;
};

} // namespace corvane
