#include "core/time/QtScheduler.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>

namespace corvane {

namespace {

// The first period is precise: a command pulse lasts exactly its interval. Later
// periods of a timer that keeps running are coarse: Qt may move each by up to 5% so
// that timers of the same interval converge on the same instants, and the flash
// timers of all loaded screens (and the clock) wake the program once, not each on
// its own. Timers that fire together keep the order in which they were started.
class QtTimerBackend final : public TimerBackend
{
public:
    explicit QtTimerBackend(std::function<void()> onFire)
        : m_onFire(std::move(onFire))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const quint64 started = m_starts;
            const bool first = m_timer.timerType() == Qt::PreciseTimer;
            if (first && m_timer.interval() != m_interval)
                m_timer.setInterval(m_interval); // the shortened first delay is over
            m_onFire();
            // Still running on the same schedule (not stopped or restarted by the tick).
            if (first && started == m_starts && m_timer.isActive()) {
                m_timer.setTimerType(Qt::CoarseTimer);
                m_timer.start(m_interval);
            }
        });
    }

    void start(int intervalMs, int firstDelayMs) override
    {
        ++m_starts;
        m_interval = intervalMs;
        m_timer.stop();
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.start(firstDelayMs);
    }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }
    qint64 remainingMs() const override { return m_timer.isActive() ? m_timer.remainingTime() : -1; }

private:
    std::function<void()> m_onFire;
    QTimer m_timer;
    int m_interval = 0;
    quint64 m_starts = 0;
};

} // namespace

QtScheduler::QtScheduler()
{
    m_clock.start();
}

qint64 QtScheduler::elapsedMs() const
{
    return m_clock.elapsed();
}

QDateTime QtScheduler::now() const
{
    return QDateTime::currentDateTime();
}

void QtScheduler::post(QObject *guard, std::function<void()> fn)
{
    QObject *target = guard ? guard : QCoreApplication::instance();
    QMetaObject::invokeMethod(target, std::move(fn), Qt::QueuedConnection);
}

std::unique_ptr<TimerBackend> QtScheduler::createTimer(std::function<void()> onFire)
{
    return std::make_unique<QtTimerBackend>(std::move(onFire));
}

} // namespace corvane
