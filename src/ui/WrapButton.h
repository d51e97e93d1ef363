#pragma once

#include <QPushButton>

namespace corvane {

// The program's push button (makeButton makes one): its caption wraps onto several
// lines, as small buttons with long captions need ("B End Door Call Active" on a button
// 975 twips wide, "A End Overhead Blower Speeds"), and it paints with one palette per
// set of colours, so a button coloured by a rule for hours keeps the style's cache
// small. The caption is the button's text(), unchanged; only the painting differs.
class WrapButton : public QPushButton
{
    Q_OBJECT
public:
    WrapButton(QWidget *parent, const QString &name, const QString &caption);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace corvane
