#include "core/time/VirtualScheduler.h"

namespace corvane {

class VirtualScheduler::Backend final : public TimerBackend
{
public:
    Backend(VirtualScheduler &s, std::function<void()> onFire)
        : m_s(s)
        , m_onFire(std::move(onFire))
    {
    }
    ~Backend() override { stop(); }

    void start(int intervalMs, int firstDelayMs) override
    {
        stop();
        m_interval = qMax(1, intervalMs);
        m_s.arm(this, m_s.m_now + qMax(0, firstDelayMs));
    }
    void stop() override
    {
        if (m_armed)
            m_s.disarm(this);
    }
    bool isActive() const override { return m_armed; }
    qint64 remainingMs() const override { return m_armed ? m_key.first - m_s.m_now : -1; }

    VirtualScheduler &m_s;
    std::function<void()> m_onFire;
    int m_interval = 1;
    bool m_armed = false;
    Key m_key{};
};

VirtualScheduler::VirtualScheduler(QDateTime wallClockAtZero)
    : m_wallAtZero(std::move(wallClockAtZero))
{
}

VirtualScheduler::~VirtualScheduler()
{
    for (auto &[key, backend] : m_timers)
        backend->m_armed = false;
}

void VirtualScheduler::post(QObject *guard, std::function<void()> fn)
{
    m_posts.push_back({QPointer<QObject>(guard), guard != nullptr, std::move(fn)});
}

std::unique_ptr<TimerBackend> VirtualScheduler::createTimer(std::function<void()> onFire)
{
    return std::make_unique<Backend>(*this, std::move(onFire));
}

void VirtualScheduler::arm(Backend *b, qint64 deadline)
{
    b->m_key = {deadline, m_sequence++};
    b->m_armed = true;
    m_timers.emplace(b->m_key, b);
}

void VirtualScheduler::disarm(Backend *b)
{
    m_timers.erase(b->m_key);
    b->m_armed = false;
}

void VirtualScheduler::runPending()
{
    while (!m_posts.empty()) {
        Post p = std::move(m_posts.front());
        m_posts.pop_front();
        if (p.guarded && !p.guard)
            continue;
        p.fn();
    }
}

void VirtualScheduler::advance(qint64 ms)
{
    const qint64 target = m_now + qMax<qint64>(0, ms);
    runPending();
    while (!m_timers.empty() && m_timers.begin()->first.first <= target) {
        auto it = m_timers.begin();
        Backend *b = it->second;
        m_now = it->first.first;
        m_timers.erase(it);
        // Re-armed from its deadline, not from now, so periodic timers never drift.
        b->m_key = {m_now + b->m_interval, m_sequence++};
        m_timers.emplace(b->m_key, b);
        b->m_onFire(); // may stop, restart or destroy the backend
        runPending();
    }
    m_now = target;
    runPending();
}

} // namespace corvane
