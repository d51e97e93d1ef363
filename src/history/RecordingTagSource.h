#pragma once

#include "core/link/TagSource.h"

#include <QHash>
#include <functional>

namespace corvane::history {

class HistoryStore;

// The station's tag source with a recorder beside it: every call goes on to the real
// source unchanged, and every item of DSData|CVPlc the source serves is recorded from
// the start, whether or not a screen shows it, through one watch of all items (a
// wildcard subscription over MQTT). Each value is queued to the history with its
// arrival time. The link going down queues a gap for every item: nothing is known of
// it until its next value.
class RecordingTagSource final : public TagSource
{
    Q_OBJECT
public:
    using UtcClock = std::function<qint64()>;

    // No store: forwards only (a retention of 0 days records nothing). No clock: the
    // store's.
    RecordingTagSource(TagSource &inner, HistoryStore *store, UtcClock clock = {}, QObject *parent = nullptr);
    ~RecordingTagSource() override;

    std::optional<LinkId> open(const TagAddress &address, LinkMode mode, ValueHandler onValue) override;
    bool setTimeout(LinkId id, int tenths) override;
    void close(LinkId id) override;
    bool poke(LinkId id, const QString &value) override;
    bool isLinkUp() const override;

    // At most this many items are recorded, each name at most kLongestItem characters:
    // a data server gone wrong must not fill the disk with names.
    static constexpr int kMostItems = 10'000;
    static constexpr int kLongestItem = 64;
    // False where the source cannot show every item: then nothing is recorded.
    bool isRecording() const { return m_recording; }

private:
    struct Item
    {
        int channel = 0;
        bool known = false; // `last` holds the value recorded last, with no gap since
        QString last = {};
    };
    void innerLinkStateChanged(bool up);
    void record(const QString &item, const QString &value);

    TagSource &m_inner;
    HistoryStore *m_store;
    UtcClock m_clock;
    bool m_recording = false;
    bool m_warnedTooMany = false;
    QHash<QString, Item> m_items;
};

} // namespace corvane::history
