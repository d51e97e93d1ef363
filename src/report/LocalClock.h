#pragma once

#include <QHash>
#include <QString>
#include <QTimeZone>
#include <optional>

namespace corvane::report {

// The local wall clock of the alarm log and the UTC instants it stands for.
//
// A wall time is given as "wall milliseconds": the date and time read as if they were
// UTC. In the hour a clock change repeats, a wall time stands for two instants; the log
// is written in order, so the earlier one is taken unless the line before it already
// lies beyond it (then the line is in the second pass of that hour). A wall time in the
// hour a change skips (which the station never writes) is read with the offset before
// the change.
class LocalClock
{
public:
    explicit LocalClock(const QTimeZone &zone = QTimeZone::systemTimeZone());

    // Seconds east of UTC at the instant.
    int offsetAt(qint64 utcMs) const;
    qint64 toWallMs(qint64 utcMs) const { return utcMs + offsetAt(utcMs) * 1000LL; }
    // The instant of a wall time, given the instant of the line before it (or none).
    qint64 resolve(qint64 wallMs, std::optional<qint64> previousUtcMs) const;

    // Wall milliseconds of a calendar date and time; no check of the fields.
    static qint64 wallMs(int year, int month, int day, int hour, int minute, int second);
    // "yyyy-MM-dd HH:mm:ss" in local time.
    QString text(qint64 utcMs) const;
    QString dateText(qint64 utcMs) const;
    QString zoneName() const { return QString::fromLatin1(m_zone.id()); }

private:
    struct Instants
    {
        qint64 first = 0;  // wall time minus the offset, earliest first
        qint64 second = 0; // == first unless the hour is repeated
        bool skipped = false;
    };
    Instants instants(qint64 wallMs) const;

    QTimeZone m_zone;
    // Offsets change at quarter hours of UTC or local time in every zone in use.
    mutable QHash<qint64, int> m_offsetByQuarter;
    mutable QHash<qint64, Instants> m_instantsByQuarter;
};

// A --from or --to option: ISO 8601 (with Z or an offset it is exact, without it local
// time), "yyyy-MM-dd HH:mm[:ss]", a date alone, or the log's own "HH:mm:ss MM/dd/yyyy".
// A date alone means its first instant, or with `dateMeansEnd` the first of the next day.
std::optional<qint64> parseTimeOption(const QString &text, const LocalClock &clock, bool dateMeansEnd);

} // namespace corvane::report
