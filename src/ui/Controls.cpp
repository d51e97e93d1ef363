#include "ui/Controls.h"

#include "ui/WrapButton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QHash>
#include <QScreen>

#include <optional>

namespace corvane {

namespace {

// The colours a rule gave each control. Kept beside the widgets rather than as
// dynamic properties: reading a property by name walks every static property of the
// class chain first, and every tick reads the colour of every status control.
struct Colouring
{
    std::optional<quint32> back;
    std::optional<quint32> fore;
};

QHash<const QWidget *, Colouring> &colourings()
{
    // Never destroyed: a widget may outlive the statics of this file at exit.
    static auto *table = new QHash<const QWidget *, Colouring>;
    return *table;
}

const Colouring *colouringOf(const QWidget *w)
{
    const auto &table = colourings();
    const auto it = table.constFind(w);
    return it == table.cend() ? nullptr : &*it;
}

Colouring &colouringFor(QWidget *w)
{
    auto &table = colourings();
    auto it = table.find(w);
    if (it == table.end()) {
        it = table.insert(w, {});
        QObject::connect(w, &QObject::destroyed, [w] { colourings().remove(w); });
    }
    return *it;
}

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
    if (const Colouring *c = colouringOf(w); c && c->back == colour.value())
        return;
    colouringFor(w).back = colour.value();
    QPalette p = w->palette();
    p.setColor(backRole(w), colour.toQColor());
    w->setPalette(p);
    if (!qobject_cast<QAbstractButton *>(w))
        w->setAutoFillBackground(true);
}

ColourRef backColour(const QWidget *w)
{
    const Colouring *c = colouringOf(w);
    return c && c->back ? ColourRef(*c->back) : Colours::buttonFace;
}

void setForeColour(QWidget *w, ColourRef colour)
{
    if (const Colouring *c = colouringOf(w); c && c->fore == colour.value())
        return;
    colouringFor(w).fore = colour.value();
    QPalette p = w->palette();
    p.setColor(foreRole(w), colour.toQColor());
    w->setPalette(p);
}

ColourRef foreColour(const QWidget *w)
{
    const Colouring *c = colouringOf(w);
    if (c && c->fore)
        return ColourRef(*c->fore);
    return qobject_cast<const QAbstractButton *>(w) ? Colours::buttonText : Colours::windowText;
}

// Compared before anything is made of it: a rule's caption usually is the one shown.
void setCaption(QWidget *w, QStringView text)
{
    if (auto *l = qobject_cast<QLabel *>(w)) {
        if (l->text() != text)
            l->setText(text.toString());
    } else if (auto *b = qobject_cast<QAbstractButton *>(w)) {
        if (b->text() != text)
            b->setText(text.toString());
    } else if (auto *g = qobject_cast<QGroupBox *>(w)) {
        if (g->title() != text)
            g->setTitle(text.toString());
    } else if (w->windowTitle() != text) {
        w->setWindowTitle(text.toString());
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
    // One kind of button everywhere: any of them may be coloured by a rule.
    return new WrapButton(parent, name, text);
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
