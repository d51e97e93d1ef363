#include "RecordingTagSource.h"

#include "HistoryStore.h"

#include <utility>

namespace corvane::history {

RecordingTagSource::RecordingTagSource(TagSource &inner, HistoryStore *store, UtcClock clock, QObject *parent)
    : TagSource(parent)
    , m_inner(inner)
    , m_store(store)
    , m_clock(clock   ? std::move(clock)
              : store ? UtcClock([store] { return store->now(); })
                      : UtcClock())
{
    connect(&m_inner, &TagSource::linkStateChanged, this, &RecordingTagSource::innerLinkStateChanged);
    connect(&m_inner, &TagSource::pokeFailed, this, &TagSource::pokeFailed);
    if (m_store) {
        m_recording = m_inner.watchAllItems(QStringLiteral("DSData"), QStringLiteral("CVPlc"),
                                            [this](const QString &item, const QString &value) { record(item, value); });
        if (!m_recording)
            m_store->warn(QStringLiteral("this data server link cannot show every item: nothing is recorded"));
    }
}

RecordingTagSource::~RecordingTagSource()
{
    // Values are unknown from now on.
    if (!m_store)
        return;
    const qint64 now = m_clock();
    for (const Item &item : std::as_const(m_items)) {
        if (item.known)
            m_store->addGap(item.channel, now);
    }
}

std::optional<LinkId> RecordingTagSource::open(const TagAddress &address, LinkMode mode, ValueHandler onValue)
{
    return m_inner.open(address, mode, std::move(onValue));
}

void RecordingTagSource::record(const QString &name, const QString &value)
{
    if (name.size() > kLongestItem)
        return;
    auto it = m_items.find(name);
    if (it == m_items.end()) {
        if (m_items.size() >= kMostItems) {
            if (!std::exchange(m_warnedTooMany, true))
                m_store->warn(QStringLiteral("more than %1 items: the further ones are not recorded").arg(kMostItems));
            return;
        }
        it = m_items.insert(name, Item{m_store->channel({QStringLiteral("DSData"), QStringLiteral("CVPlc"), name})});
    }
    Item &item = *it;
    // A value repeated (a link opened, the link back) adds nothing.
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
    if (m_store) {
        const qint64 now = m_clock();
        m_store->addLinkState(now, up);
        if (!up) {
            for (Item &item : m_items) {
                if (item.known) {
                    item.known = false;
                    m_store->addGap(item.channel, now);
                }
            }
        }
    }
    Q_EMIT linkStateChanged(up);
}

} // namespace corvane::history
