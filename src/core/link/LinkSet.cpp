#include "core/link/LinkSet.h"

#include <algorithm>

namespace corvane {

LinkSet::~LinkSet() = default;

Link *LinkSet::add(std::unique_ptr<Link> link)
{
    const QString name = link->name();
    if (m_byName.contains(name))
        return nullptr;
    Link *l = link.get();
    m_links.push_back(std::move(link));
    m_order.push_back(l);
    m_byName.insert(name, l);
    if (!m_byItem.contains(l->item()))
        m_byItem.insert(l->item(), l);
    return l;
}

void LinkSet::setOpenOrder(const std::vector<Link *> &first)
{
    m_openOrder = first;
}

std::vector<Link *> LinkSet::openOrder() const
{
    std::vector<Link *> order = m_openOrder;
    for (Link *l : m_order) {
        if (std::find(order.begin(), order.end(), l) == order.end())
            order.push_back(l);
    }
    return order;
}

void LinkSet::open()
{
    const std::vector<Link *> order = openOrder();
    for (Link *link : order)
        link->setLinkMode(link->loadMode());
    if (m_timeout) {
        for (Link *link : order)
            link->setLinkTimeout(*m_timeout);
    }
}

void LinkSet::close()
{
    for (Link *link : m_order)
        link->setLinkMode(LinkMode::None);
}

void LinkSet::clear()
{
    m_byName.clear();
    m_byItem.clear();
    m_openOrder.clear();
    m_order.clear();
    // Later, not now: a view or a handler queued on the window going with them may
    // still hold one until the window itself goes.
    for (auto &link : m_links)
        link.release()->deleteLater();
    m_links.clear();
}

Link *LinkSet::forItem(QStringView item) const
{
    return m_byItem.value(item.toString());
}

} // namespace corvane
