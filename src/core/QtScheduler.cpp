#include "QtScheduler.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>

namespace corvane {

namespace {

class QtTimerBackend final : public TimerBackend
{
public:
    explicit QtTimerBackend(std::function<void()> onFire)
        : m_onFire(std::move(onFire))
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (m_timer.interval() != m_interval)
                m_timer.setInterval(m_interval); // the shortened first delay is over
            m_onFire();
        });
    }

    void start(int intervalMs, int firstDelayMs) override
    {
        m_interval = intervalMs;
        m_timer.start(firstDelayMs);
    }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }
    qint64 remainingMs() const override { return m_timer.isActive() ? m_timer.remainingTime() : -1; }

private:
    std::function<void()> m_onFire;
    QTimer m_timer;
    int m_interval = 0;
};

} // namespace

QtScheduler::QtScheduler() { m_clock.start(); }

qint64 QtScheduler::elapsedMs() const { return m_clock.elapsed(); }

QDateTime QtScheduler::now() const { return QDateTime::currentDateTime(); }

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
