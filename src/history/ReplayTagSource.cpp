#include "ReplayTagSource.h"

#include "core/time/Scheduler.h"

#include <limits>

namespace corvane::history {

ReplayTagSource::ReplayTagSource(Scheduler &scheduler, QObject *parent)
    : TagSource(parent)
    , m_scheduler(scheduler)
    , m_timer(scheduler.createTimer([this] { due(); }))
{
}

ReplayTagSource::~ReplayTagSource() = default;

std::optional<LinkId> ReplayTagSource::open(const TagAddress &address, LinkMode mode, ValueHandler onValue)
{
    if (mode == LinkMode::None)
        return std::nullopt;
    const LinkId id = m_nextId++;
    m_links.emplace(id, Link{address, mode, std::move(onValue)});
    if (mode == LinkMode::Automatic && m_up) {
        const auto it = m_table.constFind(address);
        if (it != m_table.constEnd())
            deliverLater(id, *it);
    }
    return id;
}

bool ReplayTagSource::setTimeout(LinkId id, int)
{
    return m_links.contains(id);
}

void ReplayTagSource::close(LinkId id)
{
    m_links.erase(id);
}

bool ReplayTagSource::poke(LinkId id, const QString &value)
{
    const auto it = m_links.find(id);
    if (it != m_links.end())
        Q_EMIT pokeRefused(it->second.address, value);
    return false;
}

void ReplayTagSource::reset(const ReplayState &state)
{
    m_queue.clear();
    m_table = state.values;
    m_through = state.tMs;
    setUp(state.linkUp);
    arm();
}

void ReplayTagSource::append(std::vector<ReplayEvent> events, qint64 throughMs)
{
    // What falls at or before the time already complete came with an earlier chunk.
    for (ReplayEvent &e : events) {
        if (e.tMs > m_through)
            m_queue.push_back(std::move(e));
    }
    m_through = qMax(m_through, throughMs);
    arm();
}

qint64 ReplayTagSource::wallMs() const
{
    return m_scheduler.now().toMSecsSinceEpoch();
}

void ReplayTagSource::arm()
{
    if (m_queue.empty()) {
        m_timer->stop();
        return;
    }
    const qint64 delay = qMax<qint64>(0, m_queue.front().tMs - wallMs());
    m_timer->start(std::numeric_limits<int>::max(), int(qMin<qint64>(delay, std::numeric_limits<int>::max())));
}

void ReplayTagSource::due()
{
    m_timer->stop();
    const qint64 now = wallMs();
    while (!m_queue.empty() && m_queue.front().tMs <= now) {
        const ReplayEvent e = std::move(m_queue.front());
        m_queue.pop_front();
        apply(e);
    }
    arm();
}

void ReplayTagSource::apply(const ReplayEvent &e)
{
    switch (e.kind) {
    case ReplayEvent::Value:
        m_table.insert(e.address, e.value);
        if (!m_up)
            return;
        for (const auto &[id, link] : m_links) {
            if (link.mode == LinkMode::Automatic && link.address == e.address)
                deliverLater(id, e.value);
        }
        return;
    case ReplayEvent::Gap:
        m_table.remove(e.address);
        return;
    case ReplayEvent::LinkDown:
        setUp(false);
        return;
    case ReplayEvent::LinkUp:
        setUp(true);
        return;
    }
}

void ReplayTagSource::setUp(bool up)
{
    if (up == m_up)
        return;
    m_up = up;
    if (up) {
        // As a data server coming back does: the open links get what it holds.
        for (const auto &[id, link] : m_links) {
            const auto it = m_table.constFind(link.address);
            if (link.mode == LinkMode::Automatic && it != m_table.constEnd())
                deliverLater(id, *it);
        }
    }
    Q_EMIT linkStateChanged(up);
}

void ReplayTagSource::deliverLater(LinkId id, const QString &value)
{
    // Looked up again when it runs: a link closed meanwhile gets nothing.
    m_scheduler.post(this, [this, id, value] {
        if (!m_up)
            return;
        const auto it = m_links.find(id);
        if (it == m_links.end() || !it->second.onValue)
            return;
        const auto onValue = it->second.onValue; // the handler may close its own link
        onValue(value);
    });
}

} // namespace corvane::history
