#include "Pulse.h"

#include "LinkControl.h"
#include "Scheduler.h"
#include "Timer.h"

namespace corvane {

Pulse::Pulse(Timer *timer, LinkControl *link, QObject *parent)
    : QObject(parent)
    , m_timer(timer)
    , m_link(link)
{
    connect(m_timer, &Timer::tick, this, &Pulse::end);
}

void Pulse::click()
{
    m_timer->setEnabled(true);
    if (m_link->reads(0))
        m_link->write(QStringLiteral("1"));
}

bool Pulse::isRunning() const
{
    return m_timer->isEnabled();
}

void Pulse::end()
{
    m_link->write(QStringLiteral("0"));
    m_timer->setEnabled(false);
}

PulseKeeper::PulseKeeper(Scheduler &scheduler, TagSource &tags)
    : m_scheduler(scheduler)
    , m_tags(tags)
{
}

PulseKeeper::~PulseKeeper() = default;

void PulseKeeper::takeOver(const QString &key, const Pulse &pulse)
{
    if (!pulse.isRunning())
        return;
    const qint64 remaining = qMax<qint64>(0, pulse.timer()->remainingMs());
    Pending p{pulse.link()->address(), m_scheduler.elapsedMs() + remaining, nullptr};
    p.timer = m_scheduler.createTimer([this, key] { fire(key); });
    p.timer->start(int(remaining), int(remaining));
    m_pending.erase(key);
    m_pending.emplace(key, std::move(p));
}

void PulseKeeper::handBack(const QString &key, Pulse &pulse)
{
    auto it = m_pending.find(key);
    if (it == m_pending.end() || pulse.isRunning())
        return;
    const qint64 remaining = qMax<qint64>(0, it->second.deadline - m_scheduler.elapsedMs());
    m_pending.erase(it);
    pulse.link()->setValue(QStringLiteral("1"));
    pulse.timer()->resume(int(remaining));
}

void PulseKeeper::flushAll()
{
    auto pending = std::move(m_pending);
    m_pending.clear();
    for (auto &[key, p] : pending)
        writeZero(p.address);
}

void PulseKeeper::fire(const QString &key)
{
    auto it = m_pending.find(key);
    if (it == m_pending.end())
        return;
    const TagAddress address = it->second.address;
    // This runs inside the timer's own callback: destroy it later, not here.
    std::shared_ptr<TimerBackend> timer(std::move(it->second.timer));
    timer->stop();
    m_pending.erase(it);
    m_scheduler.post(this, [timer] {});
    writeZero(address);
}

void PulseKeeper::writeZero(const TagAddress &address)
{
    const auto id = m_tags.open(address, LinkMode::Manual, {});
    if (!id)
        return;
    m_tags.poke(*id, QStringLiteral("0"));
    m_tags.close(*id);
}

} // namespace corvane
