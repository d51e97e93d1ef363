#pragma once

#include "core/link/Link.h"

#include <QLabel>
#include <QPointer>

namespace corvane {

// A label that shows a link's value as delivered (a gauge, a number field). It is a
// view only: the value, its reading and its change handlers live in the link.
class LinkLabel : public QLabel
{
    Q_OBJECT
public:
    // Named after its link, so a test or a handler finds the control by the link's name.
    LinkLabel(Link &link, QWidget *parent);
    Link *link() const { return m_link; }

private:
    void showValue(const QString &value);

    QPointer<Link> m_link;
};

} // namespace corvane
