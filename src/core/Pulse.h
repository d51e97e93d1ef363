#pragma once

#include "TagSource.h"

#include <QHash>
#include <QObject>
#include <memory>
#include <unordered_map>

namespace corvane {

class LinkControl;
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
    Pulse(Timer *timer, LinkControl *link, QObject *parent);

    // Starts the timer (a running one keeps its schedule), then writes "1" only when
    // the link reads 0; during a pulse it already reads 1, so nothing more is sent.
    void click();

    Timer *timer() const { return m_timer; }
    LinkControl *link() const { return m_link; }
    bool isRunning() const;

private:
    void end();

    Timer *m_timer;
    LinkControl *m_link;
};

// Ends the pulses whose screens unload before their timers tick: the "0" is written
// when the timer would have ticked, through a manual link opened for that write and
// closed right after it, so the PLC never keeps seeing a command.
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

private:
    struct Pending
    {
        TagAddress address;
        qint64 deadline;
        std::unique_ptr<TimerBackend> timer;
    };
    void writeZero(const TagAddress &address);
    void fire(const QString &key);

    Scheduler &m_scheduler;
    TagSource &m_tags;
    std::unordered_map<QString, Pending> m_pending;
};

} // namespace corvane
