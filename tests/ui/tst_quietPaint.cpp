// The rules set every status control on every tick, so setting the colour or caption
// a control already has must not ask Qt for any work: no paint, no palette or style
// change. A change must still repaint (or the counter proves nothing).
#include "TestStation.h"

#include "core/link/Link.h"
#include "ui/Controls.h"
#include "ui/LinkView.h"

#include <QEvent>
#include <QHash>
#include <QProxyStyle>
#include <QSet>
#include <QStyleFactory>
#include <QStyleOption>

using namespace corvane;
using namespace corvane::test;

namespace {

// Counts, per widget, the events that mean Qt had work to do for it.
class WorkCounter : public QObject
{
public:
    WorkCounter() { qApp->installEventFilter(this); }
    ~WorkCounter() override { qApp->removeEventFilter(this); }
    void reset() { m_counts.clear(); }
    int count(const QObject *o) const { return m_counts.value(o); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Paint:
        case QEvent::PaletteChange:
        case QEvent::StyleChange:
        case QEvent::FontChange:
        case QEvent::Polish:
        case QEvent::PolishRequest:
        case QEvent::LayoutRequest:
            ++m_counts[watched];
            break;
        default:
            break;
        }
        return false;
    }

private:
    QHash<const QObject *, int> m_counts;
};

enum Kind { StatusLabel, Button, Frame, Shape, VisibleLink };

QWidget *make(Kind kind, QWidget *parent, TagSource &tags)
{
    switch (kind) {
    case StatusLabel:
        return makeStatusLabel(parent, QStringLiteral("lblStatus"), QStringLiteral("OK"), Colours::green);
    case Button:
        return makeButton(parent, QStringLiteral("cmdCall"), QStringLiteral("OK"));
    case Frame:
        return makeFrame(parent, QStringLiteral("fraLevels"), QStringLiteral("OK"));
    case Shape:
        return makeShape(parent, QStringLiteral("Shape19"), Colours::green);
    case VisibleLink:
        return new LinkLabel(*new Link(tags, QStringLiteral("lblV1415"), QStringLiteral("v1415:b"),
                                       QStringLiteral("OK"), LinkMode::Automatic, parent),
                             parent);
    }
    return nullptr;
}

// Records the palettes button bevels are drawn with: the style caches each bevel
// under its palette's key, so new keys for old colours pile up in that cache.
class BevelPalettes : public QProxyStyle
{
public:
    BevelPalettes()
        : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
    {
    }
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        if (element == PE_PanelButtonCommand) {
            keys.insert(option->palette.cacheKey());
            groups[widget] = option->palette.currentColorGroup();
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
    mutable QSet<qint64> keys;
    mutable QHash<const QWidget *, QPalette::ColorGroup> groups;
};

} // namespace

class TestQuietPaint : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void settingWhatIsAlreadyShownCostsNothing_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<quint32>("colour");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("work");
        const quint32 green = Colours::green.value(), red = Colours::red.value();
        const struct
        {
            const char *name;
            Kind kind;
        } kinds[] = {{"status label", StatusLabel},
                     {"button", Button},
                     {"frame", Frame},
                     {"shape", Shape},
                     {"visible link label", VisibleLink}};
        for (const auto &k : kinds) {
            QTest::addRow("%s: same colour, same caption", k.name) << int(k.kind) << green << "OK" << false;
            QTest::addRow("%s: new colour", k.name) << int(k.kind) << red << "OK" << true;
            // A shape's caption is a window title nobody sees.
            if (k.kind != Shape)
                QTest::addRow("%s: new caption", k.name) << int(k.kind) << green << "FAULT" << true;
        }
    }
    void settingWhatIsAlreadyShownCostsNothing()
    {
        QFETCH(int, kind);
        QFETCH(quint32, colour);
        QFETCH(QString, caption);
        QFETCH(bool, work);

        TestStation t(false);
        QWidget window;
        window.resize(400, 200);
        QWidget *control = make(Kind(kind), &window, t.server);
        control->setGeometry(20, 20, 200, 60);
        paintStatus(control, Colours::green, QStringLiteral("OK"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();

        WorkCounter counter;
        for (int tick = 0; tick < 3; ++tick) {
            paintStatus(control, ColourRef(colour), caption);
            QCoreApplication::processEvents();
        }
        if (work) {
            QVERIFY2(counter.count(control) > 0, "the counter saw no repaint of a change");
        } else {
            QCOMPARE(counter.count(control), 0);
            QCOMPARE(counter.count(&window), 0);
        }
        QCOMPARE(backColour(control), ColourRef(colour));
        QCOMPARE(corvane::caption(control), caption);
    }

    void aButtonFlashingForHoursKeepsTheStyleCacheSmall()
    {
        QWidget window;
        QPushButton *button = makeButton(&window, QStringLiteral("cmdCall"), QStringLiteral("Call"));
        button->setGeometry(10, 10, 120, 40);
        BevelPalettes style;
        button->setStyle(&style);
        const ColourRef colours[] = {Colours::red, Colours::buttonFace, Colours::yellow};
        for (int tick = 0; tick < 60; ++tick) {
            setBackColour(button, colours[tick % 3]);
            setForeColour(button, tick % 2 ? Colours::buttonText : Colours::red);
            button->grab();
        }
        // One palette per pair of colours met, not one per change.
        QVERIFY2(style.keys.size() <= 6, qPrintable(QString::number(style.keys.size())));
        button->setStyle(nullptr);
    }

    void aDisabledButtonPaintsDisabledBesideAnEnabledOneOfTheSameColours()
    {
        QWidget window;
        BevelPalettes style;
        QPushButton *buttons[2];
        for (QPushButton *&b : buttons) {
            b = makeButton(&window, QStringLiteral("cmdCV"), QStringLiteral("Corvane"));
            b->setStyle(&style);
            setBackColour(b, Colours::red);
            setForeColour(b, Colours::yellow);
        }
        buttons[1]->setEnabled(false);
        for (QPushButton *b : buttons)
            b->grab();
        QCOMPARE(style.groups.value(buttons[0]), QPalette::Active);
        QCOMPARE(style.groups.value(buttons[1]), QPalette::Disabled);
        for (QPushButton *b : buttons)
            b->setStyle(nullptr);
    }
};

CORVANE_TEST_MAIN(TestQuietPaint)
#include "tst_quietPaint.moc"
