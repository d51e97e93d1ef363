#pragma once

#include <QPushButton>

namespace corvane {

// A push button whose caption wraps onto several lines, as small buttons with long
// captions need ("B End Door Call Active" on a button 975 twips wide, "A End Overhead
// Blower Speeds"). The caption is the button's text(), unchanged; only the painting
// differs.
class WrapButton : public QPushButton
{
    Q_OBJECT
public:
    WrapButton(QWidget *parent, const QString &name, const QString &caption);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace corvane
