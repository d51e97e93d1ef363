#pragma once

#include <QDateTime>
#include <QObject>
#include <functional>
#include <memory>

namespace corvane {

// A periodic timer of the scheduler. Screens use Timer (Timer.h); this is its engine.
class TimerBackend
{
public:
    virtual ~TimerBackend() = default;
    // Fires first after firstDelayMs, then every intervalMs until stopped.
    virtual void start(int intervalMs, int firstDelayMs) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
    virtual qint64 remainingMs() const = 0;
};

// Where time comes from. In the program it is Qt's event loop and clock; in tests it
// is a virtual clock that moves only when the test advances it, so timing is exact
// and every run goes in the same order.
class Scheduler
{
public:
    virtual ~Scheduler() = default;

    // Monotonic milliseconds since the scheduler started.
    virtual qint64 elapsedMs() const = 0;
    // Local wall-clock time for time stamps and the clock label.
    virtual QDateTime now() const = 0;

    // Runs fn later on the UI thread, never inside the caller; dropped when guard is
    // destroyed first. The Qt scheduler takes posts from any thread.
    virtual void post(QObject *guard, std::function<void()> fn) = 0;

    virtual std::unique_ptr<TimerBackend> createTimer(std::function<void()> onFire) = 0;
};

} // namespace corvane
