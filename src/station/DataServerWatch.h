#pragma once

#include <QObject>

namespace corvane {

class AlarmLogger;
class Scheduler;
class ScreenRegistry;
class TagSource;

// Turns the loss and the return of the data server's link into alarm lines while the
// watched screen (the application names the main car screen) is loaded: "FAULT DSDATA ..." when it goes, "CLEAR DSDATA ..." when
// it comes back. A CLEAR follows only its own FAULT. The watched screen loading
// during an outage raises the FAULT then, unless the link has not been up yet in
// this run (the station still making its first connection has lost nothing).
class DataServerWatch : public QObject
{
    Q_OBJECT
public:
    static constexpr char16_t kFault[] = u"FAULT DSDATA Data Server Link Lost  ";
    static constexpr char16_t kClear[] = u"CLEAR DSDATA Data Server Link Lost  ";

    DataServerWatch(Scheduler &scheduler, TagSource &tags, ScreenRegistry &screens, AlarmLogger &alarms);

    // The screen whose being loaded makes a link loss an alarm; none until set.
    void watch(const QString &formName) { m_watched = formName; }

private:
    void linkStateChanged(bool up);
    void screenLoaded(const QString &formName);
    void screenUnloaded(const QString &formName);
    bool mainLoaded() const;

    Scheduler &m_scheduler;
    TagSource &m_tags;
    ScreenRegistry &m_screens;
    AlarmLogger &m_alarms;
    QString m_watched;
    bool m_everUp = false;
    bool m_faultRaised = false;
};

} // namespace corvane
