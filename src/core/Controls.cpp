#include "Controls.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QVariant>

namespace corvane {

namespace {
const char kBackProperty[] = "backColour";
const char kForeProperty[] = "foreColour";

QPalette::ColorRole backRole(const QWidget *w)
{
    return qobject_cast<const QAbstractButton *>(w) ? QPalette::Button : QPalette::Window;
}

QPalette::ColorRole foreRole(const QWidget *w)
{
    return qobject_cast<const QAbstractButton *>(w) ? QPalette::ButtonText : QPalette::WindowText;
}

double logicalDpi()
{
    static const double dpi = [] {
        const QScreen *s = QGuiApplication::primaryScreen();
        return s ? s->logicalDotsPerInchX() : 96.0;
    }();
    return dpi;
}
} // namespace

int twips(int t)
{
    return qRound(t * logicalDpi() / 1440.0);
}

QRect twipsRect(int left, int top, int width, int height)
{
    // Edges converted separately so neighbouring controls stay flush.
    const int l = twips(left), t = twips(top);
    return QRect(l, t, twips(left + width) - l, twips(top + height) - t);
}

void placeTwips(QWidget *w, int left, int top, int width, int height)
{
    w->setGeometry(twipsRect(left, top, width, height));
}

void setBackColour(QWidget *w, ColourRef colour)
{
    const QVariant old = w->property(kBackProperty);
    if (old.isValid() && old.toUInt() == colour.value())
        return;
    w->setProperty(kBackProperty, colour.value());
    QPalette p = w->palette();
    p.setColor(backRole(w), colour.toQColor());
    w->setPalette(p);
    if (!qobject_cast<QAbstractButton *>(w))
        w->setAutoFillBackground(true);
}

ColourRef backColour(const QWidget *w)
{
    const QVariant v = w->property(kBackProperty);
    return v.isValid() ? ColourRef(v.toUInt()) : Colours::buttonFace;
}

void setForeColour(QWidget *w, ColourRef colour)
{
    const QVariant old = w->property(kForeProperty);
    if (old.isValid() && old.toUInt() == colour.value())
        return;
    w->setProperty(kForeProperty, colour.value());
    QPalette p = w->palette();
    p.setColor(foreRole(w), colour.toQColor());
    w->setPalette(p);
}

ColourRef foreColour(const QWidget *w)
{
    const QVariant v = w->property(kForeProperty);
    return v.isValid() ? ColourRef(v.toUInt())
                       : (qobject_cast<const QAbstractButton *>(w) ? Colours::buttonText : Colours::windowText);
}

void setCaption(QWidget *w, const QString &text)
{
    if (auto *l = qobject_cast<QLabel *>(w)) {
        if (l->text() != text)
            l->setText(text);
    } else if (auto *b = qobject_cast<QAbstractButton *>(w)) {
        if (b->text() != text)
            b->setText(text);
    } else if (auto *g = qobject_cast<QGroupBox *>(w)) {
        if (g->title() != text)
            g->setTitle(text);
    } else if (w->windowTitle() != text) {
        w->setWindowTitle(text);
    }
}

QString caption(const QWidget *w)
{
    if (auto *l = qobject_cast<const QLabel *>(w))
        return l->text();
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        return b->text();
    if (auto *g = qobject_cast<const QGroupBox *>(w))
        return g->title();
    return w->windowTitle();
}

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &text)
{
    auto *l = new QLabel(parent);
    l->setObjectName(name);
    l->setTextFormat(Qt::PlainText);
    l->setText(text);
    return l;
}

QLabel *makeStatusLabel(QWidget *parent, const QString &name, const QString &text, ColourRef back)
{
    QLabel *l = makeLabel(parent, name, text);
    l->setAlignment(Qt::AlignCenter);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    setBackColour(l, back);
    return l;
}

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

QGroupBox *makeFrame(QWidget *parent, const QString &name, const QString &text)
{
    auto *g = new QGroupBox(text, parent);
    g->setObjectName(name);
    return g;
}

QFrame *makeShape(QWidget *parent, const QString &name, ColourRef fill)
{
    auto *f = new QFrame(parent);
    f->setObjectName(name);
    f->setFrameShape(QFrame::Box);
    setBackColour(f, fill);
    return f;
}

} // namespace corvane
