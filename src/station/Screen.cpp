#include "station/Screen.h"

#include "core/alarm/AlarmRule.h"
#include "core/link/TagSource.h"
#include "core/time/Pulse.h"
#include "core/time/Timer.h"
#include "station/ScreenRegistry.h"
#include "station/Station.h"
#include "ui/Controls.h"
#include "ui/LinkView.h"
#include "ui/ObserverWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QMenu>
#include <QScreen>

#include <algorithm>

namespace corvane {

namespace {
const QString kNoData = QStringLiteral(" [NO DATA]");

QString pulseKey(const QString &form, const Pulse *p)
{
    return form + u'/' + p->timer()->objectName();
}
} // namespace

Screen::Screen(Station &station, const QString &formName, const QString &caption)
    : m_station(station)
    , m_formName(formName)
    , m_caption(caption)
{
    setObjectName(formName);
    connect(&station.tags(), &TagSource::linkStateChanged, this, &Screen::updateTitle);
}

Screen::~Screen()
{
    if (m_window) {
        m_window->detach();
        delete m_window.data();
    }
}

bool Screen::isVisible() const
{
    return m_window && m_window->isVisible();
}

QWidget *Screen::window() const
{
    return m_window.data();
}

void Screen::setClientSizeTwips(int width, int height)
{
    m_clientTwips = QSize(width, height);
}

void Screen::setCaption(const QString &caption)
{
    m_caption = caption;
    updateTitle();
}

void Screen::updateTitle()
{
    if (m_window)
        m_window->setWindowTitle(m_station.tags().isLinkUp() ? m_caption : m_caption + kNoData);
}

Timer *Screen::addTimer(const QString &name, int intervalMs, bool enabledAtStart)
{
    Q_ASSERT(m_window);
    return new Timer(m_station.scheduler(), name, intervalMs, enabledAtStart, m_window);
}

Link *Screen::addLink(const QString &name, const QString &item, const QString &design, LinkMode mode)
{
    Link *link = m_links.add(std::make_unique<Link>(m_station.tags(), name, item, design, mode));
    if (!link)
        qFatal("%s: the link %s is declared twice", qPrintable(m_formName), qPrintable(name));
    return link;
}

Link *Screen::addLink(const LinkDesign &d)
{
    return addLink(QString::fromUtf16(d.name), QString::fromUtf16(d.item), QString::fromUtf16(d.design), d.mode);
}

void Screen::addLinks(std::span<const LinkDesign> links)
{
    for (const LinkDesign &d : links)
        addLink(d);
}

Link &Screen::declaredLink(QStringView name) const
{
    Link *link = m_links.find(name);
    if (!link)
        qFatal("%s: no link %s in its tables", qPrintable(m_formName), qPrintable(name.toString()));
    return *link;
}

Link &Screen::declaredItem(QStringView item) const
{
    Link *link = m_links.forItem(item);
    if (!link)
        qFatal("%s: no link for the item %s in its tables", qPrintable(m_formName), qPrintable(item.toString()));
    return *link;
}

void Screen::addAlarmRule(Link &link, const AlarmRule &rule)
{
    describeAlarm(rule);
    connect(&link, &Link::changed, this,
            [this, &link, &rule] { raiseAlarmTransition(m_station.alarms(), link, rule); });
}

void Screen::addIndicator(QWidget *status, const Indicator &rule, const Link *own, std::function<void()> before)
{
    if (!status)
        qFatal("%s: a status label of its tables stands in no row", qPrintable(m_formName));
    auto find = [this, own](const char16_t *name) -> const Link * {
        return name ? &declaredLink(QStringView(name)) : own;
    };
    m_indicators.push_back({LiveIndicator(status, rule, find), std::move(before)});
}

void Screen::repaintIndicators(const FlashGenerators *flash) const
{
    for (const BoundIndicator &i : m_indicators) {
        if (i.before)
            i.before();
        i.indicator.repaint(flash);
    }
}

void Screen::addTrendTarget(QWidget *control, const Link &link)
{
    if (control)
        m_trendTargets.insert(control, {link.item()});
}

void Screen::describe(QWidget *control, const QString &caption, const QString &unit, double divisor)
{
    if (control)
        m_descriptions.insert(control, ItemWords{caption, {}, unit, divisor});
}

void Screen::describeAlarm(const AlarmRule &rule)
{
    m_station.noteWords(QString::fromUtf16(rule.item), ItemWords{{}, alarmWords(rule), {}, 1});
}

ItemWords Screen::trendWords(const QWidget *control, const QString &item) const
{
    ItemWords words = m_descriptions.value(control);
    words.complete(m_station.words(item));
    return words;
}

void Screen::describeFrames(std::span<const FrameDesign> frames)
{
    for (const FrameDesign &frame : frames) {
        for (const PanelRow &row : frame.rows) {
            if (!row.text)
                continue;
            for (const char16_t *name : {row.left, row.right, row.below}) {
                if (name)
                    describe(control<QWidget>(QString::fromUtf16(name)), QString::fromUtf16(row.text));
            }
        }
    }
}

void Screen::collectTrendTargets()
{
    for (LinkLabel *view : m_window->findChildren<LinkLabel *>()) {
        if (view->isVisibleTo(m_window) && view->link())
            m_trendTargets.insert(view, {view->link()->item()});
    }
    for (const BoundIndicator &i : m_indicators) {
        QStringList items;
        for (const Link *link : i.indicator.links()) {
            if (link && !items.contains(link->item()))
                items << link->item();
        }
        if (!items.isEmpty())
            m_trendTargets.insert(i.indicator.status(), items);
        // A control without words of its own (a lamp button) names each item by the
        // caption it shows for it.
        if (!m_descriptions.contains(i.indicator.status())) {
            for (size_t k = 0; k < i.indicator.links().size(); ++k) {
                const char16_t *caption = i.indicator.rule().tests[k].outcome.caption;
                if (const Link *link = i.indicator.links()[k]; link && caption)
                    m_station.noteWords(link->item(), ItemWords{QString::fromUtf16(caption), {}, {}, 1});
            }
        }
    }
    for (auto it = m_trendTargets.cbegin(); it != m_trendTargets.cend(); ++it) {
        const_cast<QObject *>(it.key())->installEventFilter(this);
        // Also for trends asked for by item, not from this control.
        for (const QString &item : it.value())
            m_station.noteWords(item, m_descriptions.value(static_cast<const QWidget *>(it.key())));
    }
}

bool Screen::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ContextMenu && m_station.trendOpener() && m_trendTargets.contains(watched)) {
        offerTrends(static_cast<QWidget *>(watched), static_cast<QContextMenuEvent *>(event)->globalPos());
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void Screen::offerTrends(QWidget *control, const QPoint &globalPos)
{
    const QStringList items = m_trendTargets.value(control);
    // popup(), not exec(): the station's ticks and deliveries go on while it is open.
    auto *menu = new QMenu(control);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // The station, not the screen: the screen may unload before an entry is chosen.
    Station *station = &m_station;
    for (const QString &item : items) {
        const QString text = items.size() == 1 ? QStringLiteral("Trend") : QStringLiteral("Trend ") + item;
        QAction *entry = menu->addAction(text);
        connect(entry, &QAction::triggered, menu, [station, item, words = trendWords(control, item)] {
            if (const Station::TrendOpener &open = station->trendOpener())
                open(item, words);
        });
    }
    menu->popup(globalPos);
}

void Screen::load()
{
    if (m_window)
        return;
    m_window = new Form(this);
    m_window->setObjectName(m_formName);
    m_placed = false;
    updateTitle();
    if (m_clientTwips.isValid())
        m_window->resize(twips(m_clientTwips.width()), twips(m_clientTwips.height()));
    m_leftForObserver = false;
    build(m_window);
    collectTrendTargets();
    if (m_selfUnload == SelfUnload::OnLostFocus) {
        // The window itself holds the focus only when none of its controls can take
        // it; otherwise a click on a label or a Tab would hand it the focus, and the
        // next click elsewhere would unload a screen that must keep running.
        const QList<QWidget *> children = m_window->findChildren<QWidget *>();
        const bool controlTakesFocus = std::any_of(children.begin(), children.end(), [](const QWidget *w) {
            return w->focusPolicy() != Qt::NoFocus && !w->isHidden() && w->isEnabled();
        });
        m_window->setFocusPolicy(controlTakesFocus ? Qt::NoFocus : Qt::StrongFocus);
    }
    m_station.screens().noteLoaded(this);

    m_links.open();
    formLoad();
    if (!m_window)
        return; // Form_Load unloaded it again
    for (Timer *t : m_window->findChildren<Timer *>()) {
        if (t->enabledAtStart())
            t->setEnabled(true);
    }
    for (Pulse *p : m_window->findChildren<Pulse *>()) {
        p->setKeeper(&m_station.pulses());
        m_station.pulses().handBack(pulseKey(m_formName, p), *p);
    }
}

void Screen::show()
{
    load();
    if (!m_window)
        return;
    m_window->show();
    if (m_centred && !m_placed) {
        // After show, so the frame the window system adds is part of the centring.
        if (const QScreen *s = QGuiApplication::primaryScreen()) {
            QRect r = m_window->frameGeometry();
            r.moveCenter(s->availableGeometry().center());
            m_window->move(r.topLeft());
        }
    }
    m_placed = true;
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) // it cannot, and says so
        m_window->raise();
    m_window->activateWindow();
}

void Screen::makeVisible()
{
    if (isVisible())
        return;
    show();
}

void Screen::hide()
{
    if (m_window)
        m_window->hide();
}

void Screen::unload()
{
    if (!m_window || m_unloading)
        return;
    m_unloading = true;
    QPointer<Form> window = m_window;

    // A pulse that is still running ends on time without its screen.
    for (Pulse *p : window->findChildren<Pulse *>())
        m_station.pulses().takeOver(pulseKey(m_formName, p), *p);

    formUnload();
    m_links.close();

    if (window) {
        for (Timer *t : window->findChildren<Timer *>())
            t->setEnabled(false);
        window->detach();
        window->hide();
        window->deleteLater();
    }
    m_window = nullptr;
    m_unloading = false;
    m_links.clear();
    m_indicators.clear();
    m_trendTargets.clear();
    m_descriptions.clear();
    m_leftForObserver = false;
    released();
    m_station.screens().noteUnloaded(this);
}

void Screen::windowCloseRequested()
{
    if (m_holder && m_holder->isLoaded())
        hide();
    else
        unload(); // the window goes with it
}

void Screen::windowActivationChanged(bool active)
{
    if (active) {
        m_leftForObserver = false;
        // Screens that went inactive for a trend unload now that a screen is active.
        const std::vector<Screen *> loaded = m_station.screens().loadedScreens();
        for (Screen *s : loaded) {
            if (s != this && s->m_leftForObserver)
                s->unload();
        }
        return;
    }
    if (m_selfUnload != SelfUnload::OnDeactivate)
        return;
    // Only another window of this program counts; switching applications does not.
    QWidget *now = QApplication::activeWindow();
    if (isObserverWindow(now))
        m_leftForObserver = true;
    else if (now && now != m_window)
        unload();
}

void Screen::windowLostFocus()
{
    if (m_selfUnload != SelfUnload::OnLostFocus || !m_window)
        return;
    QWidget *now = QApplication::focusWidget();
    QWidget *active = QApplication::activeWindow();
    if (isObserverWindow(now) || isObserverWindow(active)) {
        m_leftForObserver = true;
        return;
    }
    const bool toOurs = (now && !m_window->isAncestorOf(now) && now != m_window) || (active && active != m_window);
    if (toOurs)
        unload();
}

Form::Form(Screen *screen)
    : QWidget(nullptr)
    , m_screen(screen)
{
}

void Form::closeEvent(QCloseEvent *event)
{
    event->ignore();
    if (m_screen)
        m_screen->windowCloseRequested();
}

void Form::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && m_screen)
        m_screen->windowActivationChanged(isActiveWindow());
}

void Form::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    if (m_screen)
        m_screen->windowLostFocus();
}

} // namespace corvane
