#include "ui/LinkView.h"

#include "core/link/Link.h"

namespace corvane {

LinkLabel::LinkLabel(Link &link, QWidget *parent)
    : QLabel(parent)
    , m_link(&link)
{
    setObjectName(link.name());
    setTextFormat(Qt::PlainText); // a value from the server is never markup
    showValue(link.value());
    connect(&link, &Link::valueSet, this, &LinkLabel::showValue);
}

void LinkLabel::showValue(const QString &value)
{
    const QString display = displayText(value);
    if (text() != display)
        setText(display);
}

} // namespace corvane
