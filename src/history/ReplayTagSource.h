#pragma once

#include "core/link/TagSource.h"

#include <QHash>
#include <deque>
#include <map>
#include <memory>
#include <vector>

namespace corvane {
class Scheduler;
class TimerBackend;
} // namespace corvane

namespace corvane::history {

// One recorded happening, at its UTC time.
struct ReplayEvent
{
    enum Kind { Value, Gap, LinkDown, LinkUp };
    qint64 tMs = 0;
    Kind kind = Value;
    TagAddress address; // Value and Gap
    QString value;      // Value

    friend bool operator==(const ReplayEvent &, const ReplayEvent &) = default;
};

// What the data server held at one moment: the value of every item known then.
struct ReplayState
{
    qint64 tMs = 0;
    bool linkUp = true;
    QHash<TagAddress, QString> values;
};

// The data server as it was: serves the screens' links from recorded values, each
// change delivered when the scheduler's wall clock reaches its recorded time. A
// replay writes nothing: every poke is refused.
class ReplayTagSource final : public TagSource
{
    Q_OBJECT
public:
    explicit ReplayTagSource(Scheduler &scheduler, QObject *parent = nullptr);
    ~ReplayTagSource() override;

    std::optional<LinkId> open(const TagAddress &address, LinkMode mode, ValueHandler onValue) override;
    bool setTimeout(LinkId id, int tenths) override;
    void close(LinkId id) override;
    bool poke(LinkId id, const QString &value) override;
    bool isLinkUp() const override { return m_up; }

    // A seek: the server holds what it held at state.tMs; queued changes are dropped.
    // Open links get nothing now (the caller reloads the screens after it).
    void reset(const ReplayState &state);
    // The changes that follow the last ones given, in time order, and the time up to
    // which they are complete (nothing else happened until then).
    void append(std::vector<ReplayEvent> events, qint64 throughMs);
    // Time up to which every change is known: the replay must not run past it.
    qint64 loadedThrough() const { return m_through; }
    qsizetype queued() const { return qsizetype(m_queue.size()); }

    QString value(const TagAddress &address) const { return m_table.value(address); }

Q_SIGNALS:
    // A screen tried to write; nothing left the replay.
    void pokeRefused(const TagAddress &address, const QString &value);

private:
    struct Link
    {
        TagAddress address;
        LinkMode mode;
        ValueHandler onValue;
    };
    qint64 wallMs() const;
    void arm();
    void due();
    void apply(const ReplayEvent &e);
    void setUp(bool up);
    void deliverLater(LinkId id, const QString &value);

    Scheduler &m_scheduler;
    std::unique_ptr<TimerBackend> m_timer;
    std::map<LinkId, Link> m_links;
    LinkId m_nextId = 1;
    QHash<TagAddress, QString> m_table;
    std::deque<ReplayEvent> m_queue;
    qint64 m_through = 0;
    bool m_up = true; // the station that recorded had its link before any outage
};

} // namespace corvane::history
