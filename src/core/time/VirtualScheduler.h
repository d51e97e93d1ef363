#pragma once

#include "core/time/Scheduler.h"

#include <QPointer>
#include <deque>
#include <map>

namespace corvane {

// Virtual time for tests (and for rendering screenshots): nothing happens until
// advance() is called. Timers fire in deadline order (ties in the order they were
// armed); everything posted runs before the next timer fires.
class VirtualScheduler final : public Scheduler
{
public:
    explicit VirtualScheduler(QDateTime wallClockAtZero = QDateTime(QDate(2004, 6, 21), QTime(14, 3, 0)));
    ~VirtualScheduler() override;

    qint64 elapsedMs() const override { return m_now; }
    QDateTime now() const override { return m_wallAtZero.addMSecs(m_now); }
    void post(QObject *guard, std::function<void()> fn) override;
    std::unique_ptr<TimerBackend> createTimer(std::function<void()> onFire) override;

    // Moves time forward by ms, firing every timer that falls due on the way.
    void advance(qint64 ms);
    // Runs what is posted (and whatever that posts) without moving time.
    void runPending();
    void setWallClock(const QDateTime &wallNow) { m_wallAtZero = wallNow.addMSecs(-m_now); }
    qsizetype pendingPosts() const { return qsizetype(m_posts.size()); }

private:
    class Backend;
    friend class Backend;
    struct Post
    {
        QPointer<QObject> guard;
        bool guarded;
        std::function<void()> fn;
    };
    using Key = std::pair<qint64, quint64>; // deadline, arming sequence

    void arm(Backend *b, qint64 deadline);
    void disarm(Backend *b);

    qint64 m_now = 0;
    quint64 m_sequence = 0;
    QDateTime m_wallAtZero;
    std::deque<Post> m_posts;
    std::map<Key, Backend *> m_timers;
};

} // namespace corvane
