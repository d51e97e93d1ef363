#include "station/Panel.h"

#include "station/ScreenRegistry.h"
#include "ui/Controls.h"
#include "ui/LinkView.h"
#include "ui/WrapButton.h"

#include <QGroupBox>
#include <QPushButton>
#include <algorithm>

namespace corvane {

namespace {
constexpr int kTitle = 270; // the frame's caption line
constexpr int kBottom = 120;
constexpr int kMargin = 120;
constexpr int kGap = 90; // between a status label and its text
constexpr int kMaxLabelHeight = 285;

QString text(const char16_t *s)
{
    return s ? QString::fromUtf16(s) : QString();
}

void headings(QWidget *w, int left, int top, int width, int height, Qt::Alignment side)
{
    if (!w)
        return;
    placeTwips(w, left, top, width, height);
    if (auto *l = qobject_cast<QLabel *>(w))
        l->setAlignment(side | Qt::AlignVCenter);
}
} // namespace

void buildPanel(QWidget *form, std::span<const FrameDesign> frames, const SlotFactory &make)
{
    for (const FrameDesign &design : frames) {
        QGroupBox *frame = makeFrame(form, text(design.name), text(design.caption));
        placeTwips(frame, design.left, design.top, design.width, design.height);

        int lines = 0;
        bool anyLeft = false, anyRight = false;
        for (const PanelRow &r : design.rows) {
            lines += r.below ? 2 : 1;
            anyLeft |= r.left != nullptr;
            anyRight |= r.right != nullptr;
        }
        if (lines == 0)
            continue;
        const int pitch = (design.height - kTitle - kBottom) / lines;
        const int height = std::min(pitch * 4 / 5, kMaxLabelHeight);
        const int textLeft = kMargin + (anyLeft ? design.slotWidth + kGap : 0);
        const int rightLeft = design.width - kMargin - design.slotWidth;
        const int textRight = anyRight ? rightLeft - kGap : design.width - kMargin;

        auto place = [&](const char16_t *name, int left, int top) {
            if (!name)
                return;
            if (QWidget *w = make(frame, text(name)))
                placeTwips(w, left, top, design.slotWidth, height);
        };
        int line = 0;
        for (const PanelRow &r : design.rows) {
            const int top = kTitle + line * pitch + (pitch - height) / 2;
            if (!r.textName) {
                // Column headings: each takes its half of the row, flush with its column.
                const int mid = design.width / 2;
                headings(make(frame, text(r.left)), kMargin, top, mid - kMargin, height, Qt::AlignLeft);
                headings(make(frame, text(r.right)), mid, top, design.width - kMargin - mid, height, Qt::AlignRight);
                ++line;
                continue;
            }
            QLabel *label = makeLabel(frame, text(r.textName), text(r.text));
            label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            placeTwips(label, textLeft, top, textRight - textLeft, height);
            place(r.left, kMargin, top);
            place(r.right, rightLeft, top);
            place(r.below, rightLeft, top + pitch);
            line += r.below ? 2 : 1;
        }
    }
}

QWidget *makePanelLabel(QWidget *parent, const PanelLabel &design)
{
    switch (design.kind) {
    case PanelLabel::Heading: {
        QLabel *l = makeLabel(parent, text(design.name), text(design.caption));
        l->setAlignment(Qt::AlignCenter);
        return l;
    }
    case PanelLabel::Value:
    case PanelLabel::Undriven:
        return makeStatusLabel(parent, text(design.name), text(design.caption));
    }
    return nullptr;
}

QList<QPushButton *> buildButtons(QWidget *form, std::span<const ButtonDesign> buttons, ScreenRegistry &screens)
{
    QList<QPushButton *> out;
    for (const ButtonDesign &b : buttons) {
        QPushButton *button = new WrapButton(form, text(b.name), text(b.caption));
        placeTwips(button, b.left, b.top, b.width, b.height);
        if (b.action == ButtonDesign::Show) {
            const QString target = text(b.shows);
            QObject::connect(button, &QPushButton::clicked, &screens, [&screens, target] { screens.show(target); });
        }
        out << button;
    }
    return out;
}

QWidget *makeValueView(QWidget *parent, Link &link)
{
    auto *l = new LinkLabel(link, parent);
    l->setAlignment(Qt::AlignCenter);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    return l;
}

} // namespace corvane
