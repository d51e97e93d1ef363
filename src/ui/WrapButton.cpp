#include "ui/WrapButton.h"

#include <QHash>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace corvane {

namespace {

// The style caches a button's bevel under a key holding its palette's cacheKey(), and
// every setPalette() makes a new one, even for colours seen before: a button that
// changes colour with the car would fill the cache with keys that are never met again
// (Qt keeps each key's text after the pixmap itself is dropped). Painting with one
// palette object per set of colours keeps those keys few.
QPalette sharedPalette(const QPalette &palette)
{
    static QHash<quint64, QPalette> shared;
    // Bounded in case something sets colours without end; clearing only costs repaints.
    constexpr qsizetype kMaxPalettes = 256;
    const quint64 key = quint64(palette.color(QPalette::Active, QPalette::Button).rgba()) << 32
                        | palette.color(QPalette::Active, QPalette::ButtonText).rgba();
    auto it = shared.find(key);
    if (it == shared.end() || !(*it == palette)) {
        if (it == shared.end() && shared.size() >= kMaxPalettes)
            shared.clear();
        it = shared.insert(key, palette);
    }
    // Equal palettes may be read in different groups (a disabled button beside an
    // enabled one); the group is not part of the cache key, so this costs nothing.
    QPalette result = *it;
    result.setCurrentColorGroup(palette.currentColorGroup());
    return result;
}

} // namespace

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
    option.palette = sharedPalette(option.palette);
    const QString text = option.text;
    option.text.clear();
    p.drawControl(QStyle::CE_PushButton, option); // bevel, colour and focus, no text
    const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    p.drawItemText(area, Qt::AlignCenter | Qt::TextWordWrap, option.palette, isEnabled(), text, QPalette::ButtonText);
}

} // namespace corvane
