#include "WrapButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace corvane {

WrapButton::WrapButton(QWidget *parent, const QString &name, const QString &caption)
    : QPushButton(caption, parent)
{
    setObjectName(name);
    setAutoDefault(false);
}

void WrapButton::paintEvent(QPaintEvent *)
{
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString text = option.text;
    option.text.clear();
    p.drawControl(QStyle::CE_PushButton, option); // bevel, colour and focus, no text
    const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    p.drawItemText(area, Qt::AlignCenter | Qt::TextWordWrap, option.palette, isEnabled(), text, QPalette::ButtonText);
}

} // namespace corvane
