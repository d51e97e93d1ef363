#pragma once

#include <QString>
#include <functional>
#include <memory>

namespace corvane {

class AlarmLogger;
class DataServerWatch;
class PulseKeeper;
class Scheduler;
class ScreenRegistry;
class TagSource;

// What every screen is given: time, the data server, the other screens, the alarm
// logger and the pulse keeper. Passed in, never reached through a global.
class Station
{
public:
    Station(Scheduler &scheduler, TagSource &tags, const QString &alarmLogPath);
    ~Station();
    Station(const Station &) = delete;
    Station &operator=(const Station &) = delete;

    Scheduler &scheduler() const { return m_scheduler; }
    TagSource &tags() const { return m_tags; }
    ScreenRegistry &screens() const { return *m_screens; }
    AlarmLogger &alarms() const { return *m_alarms; }
    PulseKeeper &pulses() const { return *m_pulses; }
    DataServerWatch &dataServerWatch() const { return *m_dataServerWatch; }

    // Opens the trend of one item; the description titles it (the control's row text,
    // or empty). Unset, a right-click on a value offers nothing: core knows no history.
    using TrendOpener = std::function<void(const QString &item, const QString &description)>;
    void setTrendOpener(TrendOpener opener) { m_trendOpener = std::move(opener); }
    const TrendOpener &trendOpener() const { return m_trendOpener; }

    // Unloads every screen, then writes the "0" of every pulse still running.
    void shutDown();

    static QString defaultAlarmLogPath();

private:
    Scheduler &m_scheduler;
    TagSource &m_tags;
    std::unique_ptr<ScreenRegistry> m_screens;
    std::unique_ptr<PulseKeeper> m_pulses;
    std::unique_ptr<AlarmLogger> m_alarms;
    std::unique_ptr<DataServerWatch> m_dataServerWatch;
    TrendOpener m_trendOpener;
};

} // namespace corvane
