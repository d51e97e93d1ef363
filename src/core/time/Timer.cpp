#include "core/time/Timer.h"

namespace corvane {

Timer::Timer(Scheduler &scheduler, const QString &name, int intervalMs, bool enabledAtStart, QObject *parent)
    : QObject(parent)
    , m_backend(scheduler.createTimer([this] { Q_EMIT tick(); }))
    , m_interval(intervalMs)
    , m_enabledAtStart(enabledAtStart)
{
    setObjectName(name);
}

Timer::~Timer() = default;

void Timer::setInterval(int ms)
{
    m_interval = ms;
    if (m_enabled)
        m_backend->start(m_interval, m_interval);
}

void Timer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (enabled)
        m_backend->start(m_interval, m_interval);
    else
        m_backend->stop();
}

void Timer::resume(int firstDelayMs)
{
    m_enabled = true;
    m_backend->start(m_interval, firstDelayMs);
}

qint64 Timer::remainingMs() const
{
    return m_enabled ? m_backend->remainingMs() : -1;
}

} // namespace corvane
