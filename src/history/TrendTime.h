#pragma once

#include <QString>
#include <vector>

namespace corvane::history {

// The time axis of a trend speaks the station's clock: local time, 24 hours, dates
// mm/dd/yyyy, the zone's abbreviation, ticks at round times. Positions stay in UTC
// milliseconds, so the axis runs on evenly through a clock change.
struct TimeTick
{
    qint64 ms = 0;
    QString label;

    friend bool operator==(const TimeTick &, const TimeTick &) = default;
};

// Ticks at round local times between fromMs and toMs, at most about `most` of them:
// "hh:mm" (":ss" below a minute), the date at midnight or for day ticks, each with the
// zone's abbreviation when the range spans a clock change.
std::vector<TimeTick> timeTicks(qint64 fromMs, qint64 toMs, int most = 8);

// "12/08/2026 04:00 - 04:10 CST": what the axis as a whole shows.
QString rangeText(qint64 fromMs, qint64 toMs);

// One moment for a reader: "12/08/2026 04:03:30 CST", to the millisecond when the
// shown span is ten minutes or less.
QString momentText(qint64 ms, qint64 spanMs);

// The zone's abbreviation at a moment ("CST", "CDT").
QString zoneAt(qint64 ms);

} // namespace corvane::history
