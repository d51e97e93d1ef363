#pragma once

#include "core/link/TagSource.h"

#include <QHash>
#include <functional>
#include <map>
#include <memory>

namespace corvane::history {

class HistoryStore;

// The station's tag source with a recorder in between: every call goes on to the real
// source unchanged, and every value delivered to an automatic link is also queued to
// the history with its arrival time. The link going down, and the last link of an item
// closing, queue a gap: from then on nothing is known of the item until its next value.
class RecordingTagSource final : public TagSource
{
    Q_OBJECT
public:
    using UtcClock = std::function<qint64()>;

    // No store: forwards only (a retention of 0 days records nothing).
    RecordingTagSource(TagSource &inner, HistoryStore *store, UtcClock clock = {}, QObject *parent = nullptr);
    ~RecordingTagSource() override;

    std::optional<LinkId> open(const TagAddress &address, LinkMode mode, ValueHandler onValue) override;
    bool setTimeout(LinkId id, int tenths) override;
    void close(LinkId id) override;
    bool poke(LinkId id, const QString &value) override;
    bool isLinkUp() const override;

private:
    struct Item
    {
        int channel = 0;
        int links = 0;
        bool known = false; // `last` holds the value recorded last, with no gap since
        QString last;
    };
    void innerLinkStateChanged(bool up);
    void record(Item &item, const QString &value);

    TagSource &m_inner;
    HistoryStore *m_store;
    UtcClock m_clock;
    QHash<TagAddress, std::shared_ptr<Item>> m_items;
    std::map<LinkId, std::shared_ptr<Item>> m_recorded; // automatic links only
};

} // namespace corvane::history
