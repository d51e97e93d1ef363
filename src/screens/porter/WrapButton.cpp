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
    p.setPen(option.palette.color(QPalette::ButtonText));
    p.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, text);
}

} // namespace corvane
