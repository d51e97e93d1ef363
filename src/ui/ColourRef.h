#pragma once

#include <QColor>
#include <QtGlobal>

class QDebug;
class QPalette;

namespace corvane {

// A colour as the screens name it: 0x00BBGGRR, or 0x800000nn for system colour nn.
// Controls keep the ColourRef they were painted with, so tests and screenshots read
// back exactly what a rule chose, not a palette-dependent QColor.
class ColourRef
{
public:
    constexpr ColourRef() = default;
    constexpr explicit ColourRef(quint32 value)
        : m_value(value)
    {
    }

    constexpr quint32 value() const { return m_value; }
    constexpr bool isSystem() const { return (m_value & 0xff000000u) == 0x80000000u; }
    constexpr int systemIndex() const { return int(m_value & 0xffu); }

    // System colours resolve through the palette; plain ones are taken as they are.
    QColor toQColor(const QPalette &palette) const;
    QColor toQColor() const; // against the application palette

    friend constexpr bool operator==(ColourRef a, ColourRef b) { return a.m_value == b.m_value; }
    friend constexpr bool operator!=(ColourRef a, ColourRef b) { return a.m_value != b.m_value; }

private:
    quint32 m_value = 0;
};

namespace Colours {
inline constexpr ColourRef black{0x000000};
inline constexpr ColourRef white{0xFFFFFF};
inline constexpr ColourRef red{0x0000FF};
inline constexpr ColourRef yellow{0x00FFFF};
inline constexpr ColourRef green{0x00FF00};
inline constexpr ColourRef cyan{0xFFFF00};
inline constexpr ColourRef lightCyan{0xFFFFC0};
inline constexpr ColourRef orange{0x0080FF};
inline constexpr ColourRef lightOrange{0x80C0FF};
inline constexpr ColourRef buttonFace{0x8000000F};
inline constexpr ColourRef buttonText{0x80000012};
inline constexpr ColourRef menuText{0x80000007};
inline constexpr ColourRef windowText{0x80000008};
} // namespace Colours

QDebug operator<<(QDebug dbg, ColourRef c);

} // namespace corvane
