#include "ui/ColourRef.h"

#include <QApplication>
#include <QDebug>
#include <QPalette>

namespace corvane {

namespace {

QColor systemColour(int index, const QPalette &p)
{
    switch (index) {
    case 0x00:
        return p.color(QPalette::Base); // scroll bar
    case 0x01:
        return p.color(QPalette::Dark); // desktop
    case 0x02:
        return p.color(QPalette::Highlight); // active caption
    case 0x03:
        return p.color(QPalette::Mid); // inactive caption
    case 0x04:
        return p.color(QPalette::Window); // menu bar
    case 0x05:
        return p.color(QPalette::Base); // window background
    case 0x06:
        return p.color(QPalette::Shadow); // window frame
    case 0x07:
        return p.color(QPalette::WindowText); // menu text
    case 0x08:
        return p.color(QPalette::Text); // window text
    case 0x09:
        return p.color(QPalette::HighlightedText); // caption text
    case 0x0D:
        return p.color(QPalette::Highlight);
    case 0x0E:
        return p.color(QPalette::HighlightedText);
    case 0x0F:
        return p.color(QPalette::Button); // button face
    case 0x10:
        return p.color(QPalette::Dark); // button shadow
    case 0x11:
        return p.color(QPalette::PlaceholderText); // grey text
    case 0x12:
        return p.color(QPalette::ButtonText);
    case 0x14:
        return p.color(QPalette::Light); // button highlight
    case 0x15:
        return p.color(QPalette::Shadow); // 3-D dark shadow
    case 0x16:
        return p.color(QPalette::Midlight); // 3-D light
    case 0x17:
        return p.color(QPalette::ToolTipText);
    case 0x18:
        return p.color(QPalette::ToolTipBase);
    default:
        return p.color(QPalette::Window);
    }
}

} // namespace

QColor ColourRef::toQColor(const QPalette &palette) const
{
    if (isSystem())
        return systemColour(systemIndex(), palette);
    return QColor(int(m_value & 0xff), int((m_value >> 8) & 0xff), int((m_value >> 16) & 0xff));
}

QColor ColourRef::toQColor() const
{
    return toQColor(QApplication::palette());
}

QDebug operator<<(QDebug dbg, ColourRef c)
{
    QDebugStateSaver saver(dbg);
    dbg.nospace() << "ColourRef(0x" << Qt::hex << qSetFieldWidth(8) << qSetPadChar(u'0') << c.value()
                  << qSetFieldWidth(0) << ")";
    return dbg;
}

} // namespace corvane
