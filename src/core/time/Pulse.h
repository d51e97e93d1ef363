#pragma once

#include "core/link/TagSource.h"

#include <QHash>
#include <QObject>
#include <memory>
#include <unordered_map>

namespace corvane {

class Link;
class PulseKeeper;
class Scheduler;
class TimerBackend;
class Timer;

// A command pulse: "1" on a manual link, then "0" when the screen's one-shot timer
// ticks. The timer's interval is the pulse length. Buttons that share a command tag
// share one Pulse.
class Pulse : public QObject
{
    Q_OBJECT
public:
    Pulse(Timer *timer, Link *link, QObject *parent);

    // Starts the timer (a running one keeps its schedule), then writes "1" only when
    // the link reads 0; during a pulse it already reads 1, so nothing more is sent.
    void click();

    Timer *timer() const { return m_timer; }
    Link *link() const { return m_link; }
    bool isRunning() const;
    // The keeper that sees this pulse's "0" through when its write fails (set at load).
    void setKeeper(PulseKeeper *keeper) { m_keeper = keeper; }

private:
    void end();

    Timer *m_timer;
    Link *m_link;
    PulseKeeper *m_keeper = nullptr;
};

// Ends the pulses whose screens unload before their timers tick: the "0" is written
// when the timer would have ticked, through a manual link opened for that write and
// closed right after it, so the PLC never keeps seeing a command.
//
// It also sees every pulse's "0" through: one that could not be written (link down,
// or the write failed later) is written once the link is back, after the values it
// brings, unless a newer pulse of the item has started since. A "1" is never replayed.
class PulseKeeper : public QObject
{
    Q_OBJECT
public:
    PulseKeeper(Scheduler &scheduler, TagSource &tags);
    ~PulseKeeper() override;

    // Called by a screen's unload for each of its pulses.
    void takeOver(const QString &key, const Pulse &pulse);
    // Called by a screen's load: a pulse still pending for this key goes back to the
    // reloaded screen (its link reads "1" again and its timer ticks on time), unless
    // the screen's timer already runs from load.
    void handBack(const QString &key, Pulse &pulse);
    // Writes every pending "0" now (a clean exit).
    void flushAll();
    int pendingCount() const { return int(m_pending.size()); }

    // A pulse of this item starts: a "0" of an earlier one is no longer owed.
    void started(const TagAddress &address);
    // A pulse's "0" was written (sent) or refused (not sent).
    void ended(const TagAddress &address, bool sent);
    // Items whose "0" waits for the link to come back.
    int owedCount() const { return int(m_owed.size()); }

private:
    struct Pending
    {
        TagAddress address;
        qint64 deadline;
        std::unique_ptr<TimerBackend> timer;
    };
    void writeZero(const TagAddress &address);
    void fire(const QString &key);
    void pokeFailed(const TagAddress &address, const QString &value);
    void linkStateChanged(bool up);
    void writeOwed();

    Scheduler &m_scheduler;
    TagSource &m_tags;
    std::unordered_map<QString, Pending> m_pending;
    // Per item, the serial of its latest pulse start and of its latest "0": a failure
    // reported late counts only while no pulse started after that "0".
    QHash<TagAddress, quint64> m_startedAt;
    QHash<TagAddress, quint64> m_zeroAt;
    quint64 m_serial = 0;
    QList<TagAddress> m_owed; // in the order they fell due
    bool m_owedPosted = false;
};

} // namespace corvane
