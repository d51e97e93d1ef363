#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QWidget>

namespace corvane {

class Station;
class Timer;
class Form;

// One screen of the station (a form). The object lives for the whole run; its window,
// with the controls, links and timers on it, exists only while the screen is loaded.
// State that must outlive a reload (the flash generators) belongs to the object.
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

    // Creates the window hidden, builds its controls, runs Form_Load, starts the
    // timers enabled at design. Nothing when already loaded.
    void load();
    // Loads if needed, then shows modeless and activates.
    void show();
    // Loads if needed and shows, but leaves a window that is already visible alone.
    void makeVisible();
    void hide();
    // Runs Form_Unload, stops the timers and destroys the window.
    void unload();
    // While holder is loaded, closing this window from the window manager only hides
    // it, as its Hide button does: its links and alarm lines must go on.
    void setHeldBy(const Screen *holder) { m_holder = holder; }

    template <typename T>
    T *control(const QString &name) const
    {
        QWidget *w = window();
        return w ? w->findChild<T *>(name) : nullptr;
    }

protected:
    Station &station() const { return m_station; }

    // Builds the controls on the new window in their design state.
    virtual void build(QWidget *form) = 0;
    virtual void formLoad() {}
    virtual void formUnload() {}
    // The window is gone: drop every pointer into it.
    virtual void released() {}

    void setClientSizeTwips(int width, int height);
    void setCentred(bool centred) { m_centred = centred; }
    void setSelfUnload(SelfUnload rule) { m_selfUnload = rule; }
    void setCaption(const QString &caption);
    // A timer control on the window; the load starts it if enabledAtStart.
    Timer *addTimer(const QString &name, int intervalMs, bool enabledAtStart);

private:
    friend class Form;
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
    QPointer<Form> m_window;
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
