#include "InProcessServer.h"

#include "core/time/Scheduler.h"

namespace corvane {

InProcessServer::InProcessServer(Scheduler &scheduler, QObject *parent)
    : TagSource(parent)
    , m_scheduler(scheduler)
{
}

InProcessServer::~InProcessServer() = default;

TagAddress InProcessServer::plcAddress(const QString &item)
{
    return {QStringLiteral("DSData"), QStringLiteral("CVPlc"), item};
}

InProcessServer::Operation InProcessServer::makeOp(Operation::Kind kind, const QString &item)
{
    Operation op;
    op.kind = kind;
    op.item = item;
    return op;
}

void InProcessServer::record(Operation op)
{
    if (!m_recording)
        return;
    op.timeMs = m_scheduler.elapsedMs();
    m_ops.append(std::move(op));
}

std::optional<LinkId> InProcessServer::open(const TagAddress &address, LinkMode mode, ValueHandler onValue)
{
    Operation op = makeOp(Operation::Open, address.item);
    op.mode = mode;
    op.ok = m_present && mode != LinkMode::None;
    record(op);
    if (!op.ok)
        return std::nullopt;
    const LinkId id = m_nextId++;
    m_links.emplace(id, Link{address, mode, std::move(onValue)});
    if (mode == LinkMode::Automatic) {
        const auto it = m_table.constFind(address);
        if (it != m_table.constEnd())
            deliverLater(id, *it);
    }
    return id;
}

bool InProcessServer::setTimeout(LinkId id, int tenths)
{
    const auto it = m_links.find(id);
    Operation op = makeOp(Operation::Timeout, it != m_links.end() ? it->second.address.item : QString());
    op.timeout = tenths;
    op.ok = it != m_links.end() && m_present;
    record(op);
    return op.ok;
}

void InProcessServer::close(LinkId id)
{
    const auto it = m_links.find(id);
    if (it == m_links.end())
        return;
    record(makeOp(Operation::Close, it->second.address.item));
    m_links.erase(it);
}

bool InProcessServer::poke(LinkId id, const QString &value)
{
    const auto it = m_links.find(id);
    Operation op = makeOp(Operation::Poke, it != m_links.end() ? it->second.address.item : QString());
    op.value = value;
    op.ok = it != m_links.end() && m_present;
    record(op);
    if (!op.ok)
        return false;
    const TagAddress address = it->second.address;
    setValue(address, value);
    Q_EMIT poked(address.item, value);
    return true;
}

void InProcessServer::setValue(const QString &item, const QString &value)
{
    setValue(plcAddress(item), value);
}

void InProcessServer::setValue(const TagAddress &address, const QString &value)
{
    m_table.insert(address, value);
    if (!m_present)
        return;
    for (size_t w = 0; w < m_watches.size(); ++w) {
        if (m_watches[w].application == address.application && m_watches[w].topic == address.topic) {
            m_scheduler.post(this, [this, w, item = address.item, value] {
                if (m_present)
                    m_watches[w].onValue(item, value);
            });
        }
    }
    for (const auto &[id, link] : m_links) {
        if (link.mode == LinkMode::Automatic && link.address == address)
            deliverLater(id, value);
    }
}

QString InProcessServer::value(const QString &item) const
{
    return m_table.value(plcAddress(item));
}

bool InProcessServer::hasValue(const QString &item) const
{
    return m_table.contains(plcAddress(item));
}

void InProcessServer::setPresent(bool present)
{
    if (present == m_present)
        return;
    m_present = present;
    if (present) {
        for (const auto &[id, link] : m_links) {
            const auto it = m_table.constFind(link.address);
            if (link.mode == LinkMode::Automatic && it != m_table.constEnd())
                deliverLater(id, *it);
        }
        deliverItemsLater(0);
    }
    Q_EMIT linkStateChanged(present);
}

bool InProcessServer::watchAllItems(const QString &application, const QString &topic, ItemHandler onValue)
{
    m_watches.push_back(Watch{application, topic, std::move(onValue)});
    if (m_present)
        deliverItemsLater(m_watches.size() - 1);
    return true;
}

// Watches from firstWatch on get every item of their topic as the table holds it now.
void InProcessServer::deliverItemsLater(size_t firstWatch)
{
    for (size_t w = firstWatch; w < m_watches.size(); ++w) {
        QList<std::pair<QString, QString>> items;
        for (auto it = m_table.cbegin(); it != m_table.cend(); ++it) {
            if (it.key().application == m_watches[w].application && it.key().topic == m_watches[w].topic)
                items.append({it.key().item, it.value()});
        }
        m_scheduler.post(this, [this, w, items] {
            if (!m_present)
                return;
            for (const auto &[item, value] : items)
                m_watches[w].onValue(item, value);
        });
    }
}

QStringList InProcessServer::pokes(const QString &item) const
{
    QStringList out;
    for (const Operation &op : m_ops) {
        if (op.kind == Operation::Poke && op.item == item)
            out << op.value + u'@' + QString::number(op.timeMs);
    }
    return out;
}

void InProcessServer::deliverLater(LinkId id, const QString &value)
{
    // Looked up again when it runs: a link closed meanwhile gets nothing.
    m_scheduler.post(this, [this, id, value] {
        if (!m_present)
            return;
        const auto it = m_links.find(id);
        if (it == m_links.end() || !it->second.onValue)
            return;
        // A copy: the handler may close its own link, which erases the original.
        const auto onValue = it->second.onValue;
        onValue(value);
    });
}

} // namespace corvane
