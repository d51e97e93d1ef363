#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvane::report {

class LocalClock;

enum class AlarmKind : quint8 { Fault, Warn, Clear };

struct AlarmEvent
{
    qint64 tMs = 0;  // UTC
    qint32 item = 0; // index into AlarmJournal::items
    AlarmKind kind = AlarmKind::Fault;

    bool isActivation() const { return kind != AlarmKind::Clear; }
};

// A line that was not an alarm line, kept to name it in the report.
struct UnreadLine
{
    QString source; // file and line number, or the history's time
    QString text;
};

// The alarm lines of a log file or of the history, in the order they were written.
// Only what the figures need is kept (about 16 bytes a line), so a year of lines fits.
struct AlarmJournal
{
    static constexpr int kNamedUnread = 20;

    std::vector<AlarmEvent> events;
    QStringList items;
    QStringList sources;
    qint64 unreadCount = 0;
    std::vector<UnreadLine> unread; // the first kNamedUnread of them
    qint64 droppedByStation = 0;    // lines the station said it could not write
    qint64 repeatedHourLines = 0;   // placed in the second pass of a repeated hour

    qint32 itemId(std::string_view name);
    void addUnread(QString source, QString text);

private:
    struct Hash
    {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, qint32, Hash, std::equal_to<>> m_ids;
};

// Reads alarm logs as the station writes them: "FAULT|WARN|CLEAR item text" followed
// by "hh:mm:ss mm/dd/yyyy" in local time and CR LF. Several files are read as one log,
// in the order given. Lines that are no alarm line are counted, never fatal.
class AlarmLogReader
{
public:
    AlarmLogReader(const LocalClock &clock, AlarmJournal &journal);
    // False with a message when the file cannot be read at all.
    bool read(const QString &path, QString *error);
    // One line without its line end, the lineNo-th of the file being read.
    void readLine(std::string_view line, qint64 lineNo);

private:
    const LocalClock &m_clock;
    AlarmJournal &m_journal;
    std::optional<qint64> m_previousMs;
    QString m_path;
};

// The `alarms` view of the station's history (opened read-only), lines before toMs
// (all of them without it).
bool readAlarmHistory(const QString &path, std::optional<qint64> toMs, AlarmJournal &journal, QString *error);

} // namespace corvane::report
