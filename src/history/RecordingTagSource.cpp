#include "RecordingTagSource.h"

#include "HistoryStore.h"

#include <QDateTime>

namespace corvane::history {

RecordingTagSource::RecordingTagSource(TagSource &inner, HistoryStore *store, UtcClock clock, QObject *parent)
    : TagSource(parent)
    , m_inner(inner)
    , m_store(store)
    , m_clock(clock ? std::move(clock) : UtcClock(&QDateTime::currentMSecsSinceEpoch))
{
    connect(&m_inner, &TagSource::linkStateChanged, this, &RecordingTagSource::innerLinkStateChanged);
    connect(&m_inner, &TagSource::pokeFailed, this, &TagSource::pokeFailed);
}

RecordingTagSource::~RecordingTagSource()
{
    // Links still open end here: their items' values are unknown from now on.
    if (m_store) {
        const qint64 now = m_clock();
        for (const auto &[id, item] : m_recorded) {
            if (--item->links == 0 && item->known) {
                item->known = false;
                m_store->addGap(item->channel, now);
            }
        }
    }
}

std::optional<LinkId> RecordingTagSource::open(const TagAddress &address, LinkMode mode, ValueHandler onValue)
{
    if (!m_store || mode != LinkMode::Automatic)
        return m_inner.open(address, mode, std::move(onValue));
    std::shared_ptr<Item> &slot = m_items[address];
    if (!slot) {
        slot = std::make_shared<Item>();
        slot->channel = m_store->channel(address);
    }
    std::shared_ptr<Item> item = slot;
    // The item is held by the handler: a handler may close its own link.
    const auto id = m_inner.open(address, mode, [this, item, onValue = std::move(onValue)](const QString &value) {
        record(*item, value);
        onValue(value);
    });
    if (id) {
        ++item->links;
        m_recorded.emplace(*id, std::move(item));
    }
    return id;
}

void RecordingTagSource::record(Item &item, const QString &value)
{
    // Every link of an item gets the same delivery; one row is enough.
    if (item.known && item.last == value)
        return;
    item.known = true;
    item.last = value;
    m_store->add(item.channel, m_clock(), value);
}

bool RecordingTagSource::setTimeout(LinkId id, int tenths)
{
    return m_inner.setTimeout(id, tenths);
}

void RecordingTagSource::close(LinkId id)
{
    m_inner.close(id);
    const auto it = m_recorded.find(id);
    if (it == m_recorded.end())
        return;
    Item &item = *it->second;
    if (--item.links == 0 && item.known) {
        // No screen watches it any more: a held line would claim what nobody saw.
        item.known = false;
        m_store->addGap(item.channel, m_clock());
    }
    m_recorded.erase(it);
}

bool RecordingTagSource::poke(LinkId id, const QString &value)
{
    return m_inner.poke(id, value);
}

bool RecordingTagSource::isLinkUp() const
{
    return m_inner.isLinkUp();
}

void RecordingTagSource::innerLinkStateChanged(bool up)
{
    if (!up && m_store) {
        const qint64 now = m_clock();
        for (const auto &[address, item] : m_items.asKeyValueRange()) {
            if (item->known) {
                item->known = false;
                m_store->addGap(item->channel, now);
            }
        }
    }
    Q_EMIT linkStateChanged(up);
}

} // namespace corvane::history
