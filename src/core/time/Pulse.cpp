#include "core/time/Pulse.h"

#include "core/link/Link.h"
#include "core/time/Scheduler.h"
#include "core/time/Timer.h"

#include <utility>

namespace corvane {

Pulse::Pulse(Timer *timer, Link *link, QObject *parent)
    : QObject(parent)
    , m_timer(timer)
    , m_link(link)
{
    connect(m_timer, &Timer::tick, this, &Pulse::end);
}

void Pulse::click()
{
    if (!m_timer->isEnabled() && m_keeper)
        m_keeper->started(m_link->address());
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
    const bool sent = m_link->write(QStringLiteral("0"));
    m_timer->setEnabled(false);
    if (m_keeper)
        m_keeper->ended(m_link->address(), sent);
}

PulseKeeper::PulseKeeper(Scheduler &scheduler, TagSource &tags)
    : m_scheduler(scheduler)
    , m_tags(tags)
{
    connect(&tags, &TagSource::pokeFailed, this, &PulseKeeper::pokeFailed);
    connect(&tags, &TagSource::linkStateChanged, this, &PulseKeeper::linkStateChanged);
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
    bool sent = false;
    if (const auto id = m_tags.open(address, LinkMode::Manual, {})) {
        sent = m_tags.poke(*id, QStringLiteral("0"));
        m_tags.close(*id);
    }
    ended(address, sent);
}

void PulseKeeper::started(const TagAddress &address)
{
    m_startedAt.insert(address, ++m_serial);
    m_owed.removeAll(address);
}

void PulseKeeper::ended(const TagAddress &address, bool sent)
{
    m_zeroAt.insert(address, ++m_serial);
    if (!sent && !m_owed.contains(address))
        m_owed.append(address);
}

void PulseKeeper::pokeFailed(const TagAddress &address, const QString &value)
{
    const auto zero = m_zeroAt.constFind(address);
    if (value != QLatin1String("0") || zero == m_zeroAt.constEnd() || m_startedAt.value(address) > *zero
        || m_owed.contains(address))
        return;
    m_owed.append(address);
    if (m_tags.isLinkUp())
        writeOwed(); // only the write failed, the link stayed
}

void PulseKeeper::linkStateChanged(bool up)
{
    if (up && !m_owed.isEmpty())
        writeOwed();
}

void PulseKeeper::writeOwed()
{
    if (m_owedPosted)
        return;
    m_owedPosted = true;
    // Posted: the values the link brings back are delivered first.
    m_scheduler.post(this, [this] {
        m_owedPosted = false;
        if (!m_tags.isLinkUp())
            return;
        const QList<TagAddress> owed = std::exchange(m_owed, {});
        for (const TagAddress &address : owed)
            writeZero(address);
    });
}

} // namespace corvane
