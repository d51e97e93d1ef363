#pragma once

#include "core/link/Link.h"

#include <QHash>
#include <QStringView>
#include <memory>
#include <optional>
#include <vector>

namespace corvane {

// The links of a loaded screen, owned here, in the order the data server sees them:
// the load sets every mode in open order, then every time-out in the same order; the
// unload closes them in close order. Both orders are the order the links were added
// unless the screen declares another open order.
class LinkSet
{
public:
    LinkSet() = default;
    ~LinkSet();
    LinkSet(const LinkSet &) = delete;
    LinkSet &operator=(const LinkSet &) = delete;

    // A second link of the same name is a mistake of the screen's tables: nullptr.
    Link *add(std::unique_ptr<Link> link);
    // The load opens these first, in this order, then the others in the order added.
    void setOpenOrder(const std::vector<Link *> &first);
    // No time-outs set at load (the data server's own default stays).
    void setTimeoutAtOpen(std::optional<int> tenths) { m_timeout = tenths; }

    // Load: every mode, then every time-out; each step's failure is ignored.
    void open();
    // Unload: mode none on every link, in close order.
    void close();
    // Forgets every link; each goes once the event loop runs again.
    void clear();

    Link *find(QStringView name) const { return m_byName.value(name.toString()); }
    // The first link of that item, in the order added.
    Link *forItem(QStringView item) const;
    const std::vector<Link *> &inOrder() const { return m_order; }
    bool isEmpty() const { return m_order.empty(); }
    qsizetype size() const { return qsizetype(m_order.size()); }

private:
    std::vector<Link *> openOrder() const;

    std::vector<std::unique_ptr<Link>> m_links;
    std::vector<Link *> m_order;
    std::vector<Link *> m_openOrder;
    QHash<QString, Link *> m_byName;
    QHash<QString, Link *> m_byItem;
    std::optional<int> m_timeout = kLinkTimeoutTenths;
};

} // namespace corvane
