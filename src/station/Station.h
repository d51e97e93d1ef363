#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace corvane {

class AlarmLogger;
class DataServerWatch;
class PulseKeeper;
class Scheduler;
class ScreenRegistry;
class TagSource;

// What the screens say about an item, for its trend: the words beside the control,
// the message of the alarm it raises, and the form the screen shows it in.
struct ItemWords
{
    QString caption;    // "Brake Pipe"; empty where no screen has words for it
    QString alarm;      // "Handbrake ON, Car Moving"
    QString unit;       // "PSI", "%"
    double divisor = 1; // the screen shows the value divided by this

    // Fills what this leaves empty from `more`.
    void complete(const ItemWords &more);
};

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

    // Opens the trend of one item with the words of the control it was asked from.
    // Unset, a right-click on a value offers nothing: core knows no history.
    using TrendOpener = std::function<void(const QString &item, const ItemWords &words)>;
    void setTrendOpener(TrendOpener opener) { m_trendOpener = std::move(opener); }
    const TrendOpener &trendOpener() const { return m_trendOpener; }

    // What the screens built so far say about an item; the first words noted stay.
    void noteWords(const QString &item, const ItemWords &words) { m_words[item].complete(words); }
    ItemWords words(const QString &item) const { return m_words.value(item); }

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
    QHash<QString, ItemWords> m_words;
};

} // namespace corvane
