#pragma once

#include "core/link/LinkSet.h"
#include "station/Panel.h"
#include "ui/Indicator.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QWidget>
#include <functional>
#include <span>
#include <vector>

namespace corvane {

class FlashGenerators;
class Form;
class Station;
class Timer;
struct AlarmRule;
struct ItemWords;

// One screen of the station (a form). The object lives for the whole run; its window,
// with the controls, links and timers on it, exists only while the screen is loaded.
// State that must outlive a reload (the flash generators) belongs to the object.
//
// A screen declares its window in build(): controls, timers, its links in table order
// (addLinks, addLink) and its status labels with their rules (addIndicator). The base runs the
// rest: it opens the links at load, closes them in order at unload, repaints the
// indicators when the screen's tick asks, and forgets all of it with the window, so a
// screen holds no pointer into a window that is gone.
class Screen : public QObject
{
    Q_OBJECT
public:
    enum class SelfUnload {
        Never,
        OnDeactivate, // another window of this program became active
        OnLostFocus,  // the window itself lost the focus to another window of this program
    };

    Screen(Station &station, const QString &formName, const QString &caption);
    ~Screen() override;

    const QString &formName() const { return m_formName; }
    bool isLoaded() const { return m_window != nullptr; }
    bool isVisible() const;
    QWidget *window() const;
    QString caption() const { return m_caption; }

    // Creates the window hidden, builds its controls, opens its links, runs Form_Load,
    // starts the timers enabled at design. Nothing when already loaded.
    void load();
    // Loads if needed, then shows modeless and activates.
    void show();
    // Loads if needed and shows, but leaves a window that is already visible alone.
    void makeVisible();
    void hide();
    // Runs Form_Unload, closes the links, stops the timers and destroys the window.
    void unload();
    // While holder is loaded, closing this window from the window manager only hides
    // it, as its Hide button does: its links and alarm lines must go on.
    void setHeldBy(const Screen *holder) { m_holder = holder; }

    // The items a right-click on a control of the window offers trends of, in menu
    // order: a visible link label's item, the items a status label's rule reads, or
    // what a screen declared. Empty for every other control.
    QStringList trendItems(const QWidget *control) const { return m_trendTargets.value(control); }
    // The words a trend of `item` opened from the control is titled by: the control's,
    // completed by what the station's screens say about the item.
    ItemWords trendWords(const QWidget *control, const QString &item) const;

    // The links of the loaded window, in the order the data server sees them.
    const LinkSet &links() const { return m_links; }
    // The link of that name on the loaded window, or nullptr.
    Link *link(QStringView name) const { return m_links.find(name); }

    template<typename T>
    T *control(const QString &name) const
    {
        QWidget *w = window();
        return w ? w->findChild<T *>(name) : nullptr;
    }

protected:
    Station &station() const { return m_station; }

    // Builds the controls on the new window in their design state.
    virtual void build(QWidget *form) = 0;
    virtual void formLoad() { }
    virtual void formUnload() { }
    // The window is gone (the base has forgotten its links and indicators).
    virtual void released() { }

    void setClientSizeTwips(int width, int height);
    void setCentred(bool centred) { m_centred = centred; }
    void setSelfUnload(SelfUnload rule) { m_selfUnload = rule; }
    void setCaption(const QString &caption);
    // A timer control on the window; the load starts it if enabledAtStart.
    Timer *addTimer(const QString &name, int intervalMs, bool enabledAtStart);

    // The window's links in their open and close order: the load sets every mode, then
    // every time-out, before Form_Load; the unload closes them in this order after
    // Form_Unload. A name used twice is a mistake of the tables: it fails the load.
    Link *addLink(const LinkDesign &design);
    Link *addLink(const QString &name, const QString &item, const QString &design, LinkMode mode);
    void addLinks(std::span<const LinkDesign> links);
    LinkSet &linkSet() { return m_links; }
    // The link of that name, which the screen's own tables declared: a missing one is a
    // mistake of the tables and stops the program at start, in every build.
    Link &declaredLink(QStringView name) const;
    // The first link of that item, which the tables declared; likewise checked.
    Link &declaredItem(QStringView item) const;
    // The change handler of a monitored item: the rule's alarm lines, nothing else.
    void addAlarmRule(Link &link, const AlarmRule &rule);
    // A status label and its rule. A test without a link name reads `own`; `before`
    // runs just before this label is repainted.
    void addIndicator(QWidget *status, const Indicator &rule, const Link *own = nullptr,
                      std::function<void()> before = {});
    // Every status label from the current link values, in the order they were added.
    void repaintIndicators(const FlashGenerators *flash) const;

    // A control that shows what `link` delivers in a form of its own (a scaled reading).
    // Visible link labels and status labels need no declaration.
    void addTrendTarget(QWidget *control, const Link &link);
    // The words beside a control (its row's text), the title of its trend, and the
    // unit and divisor of a value the control shows scaled.
    void describe(QWidget *control, const QString &caption, const QString &unit = {}, double divisor = 1);
    // The item's alarm message names it in its trends.
    void describeAlarm(const AlarmRule &rule);
    // Every control of a frame's row is described by the row's text.
    void describeFrames(std::span<const FrameDesign> frames);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class Form;
    void collectTrendTargets();
    void offerTrends(QWidget *control, const QPoint &globalPos);
    void windowActivationChanged(bool active);
    void windowLostFocus();
    void windowCloseRequested();
    void updateTitle();

    Station &m_station;
    QString m_formName;
    QString m_caption;
    QSize m_clientTwips;
    bool m_centred = false;
    bool m_placed = false;
    bool m_unloading = false;
    SelfUnload m_selfUnload = SelfUnload::Never;
    const Screen *m_holder = nullptr;
    // The window went inactive for a trend window: it unloads when another screen
    // of the station becomes active instead.
    bool m_leftForObserver = false;
    QPointer<Form> m_window;

    struct BoundIndicator
    {
        LiveIndicator indicator;
        std::function<void()> before;
    };
    LinkSet m_links;
    std::vector<BoundIndicator> m_indicators;
    QHash<const QObject *, QStringList> m_trendTargets;
    QHash<const QWidget *, ItemWords> m_descriptions;
};

// The window of a loaded screen.
class Form : public QWidget
{
    Q_OBJECT
public:
    explicit Form(Screen *screen);
    void detach() { m_screen = nullptr; }
    Screen *screen() const { return m_screen; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    Screen *m_screen;
};

} // namespace corvane
