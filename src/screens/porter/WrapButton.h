#pragma once

#include <QPushButton>

namespace corvane {

// A push button whose caption wraps onto several lines, as the porter's small call
// buttons need ("B End Door Call Active" on a button 975 twips wide). The caption is
// the button's text(), unchanged; only the painting differs.
class WrapButton : public QPushButton
{
    Q_OBJECT
public:
    WrapButton(QWidget *parent, const QString &name, const QString &caption);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace corvane
