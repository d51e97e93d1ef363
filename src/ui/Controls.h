#pragma once

#include "ui/ColourRef.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRect>

namespace corvane {

// Twips (1/1440 inch) to pixels at the screen's logical DPI.
int twips(int t);
QRect twipsRect(int left, int top, int width, int height);
void placeTwips(QWidget *w, int left, int top, int width, int height);

// Painting. The ColourRef is kept for the control (readable with backColour()), and
// nothing is touched when the colour or caption is already what the rule says, so a
// repaint tick that changes nothing costs Qt no repaint.
void setBackColour(QWidget *w, ColourRef colour);
ColourRef backColour(const QWidget *w);
void setForeColour(QWidget *w, ColourRef colour);
ColourRef foreColour(const QWidget *w);
void setCaption(QWidget *w, QStringView caption); // labels, buttons, frames, windows
QString caption(const QWidget *w);
// The usual status paint: back colour first, then caption.
inline void paintStatus(QWidget *w, ColourRef back, QStringView text)
{
    setBackColour(w, back);
    setCaption(w, text);
}

// Controls as the screens declare them: named, plain text, design caption.
QLabel *makeLabel(QWidget *parent, const QString &name, const QString &caption);
// A status label: a framed label whose back colour and caption a rule sets.
QLabel *makeStatusLabel(QWidget *parent, const QString &name, const QString &caption,
                        ColourRef back = Colours::buttonFace);
QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption);
QGroupBox *makeFrame(QWidget *parent, const QString &name, const QString &caption);
// A filled shape (lamp).
QFrame *makeShape(QWidget *parent, const QString &name, ColourRef fill = Colours::buttonFace);

} // namespace corvane
