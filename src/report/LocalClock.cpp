#include "report/LocalClock.h"

#include <QDateTime>
#include <QRegularExpression>

namespace corvane::report {

namespace {
constexpr qint64 kQuarterMs = 15 * 60 * 1000;
constexpr qint64 kDayMs = 24 * 3600 * 1000LL;
// Far enough either side of a wall time to see both offsets of a change near it.
constexpr qint64 kReachMs = 14 * 3600 * 1000LL;

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// Days since 1970-01-01 of a proleptic Gregorian date.
qint64 daysFromCivil(int y, int m, int d)
{
    y -= m <= 2 ? 1 : 0;
    const qint64 era = floorDiv(y, 400);
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}
} // namespace

LocalClock::LocalClock(const QTimeZone &zone)
    : m_zone(zone.isValid() ? zone : QTimeZone::utc())
{
}

int LocalClock::offsetAt(qint64 utcMs) const
{
    const qint64 key = floorDiv(utcMs, kQuarterMs);
    const auto it = m_offsetByQuarter.constFind(key);
    if (it != m_offsetByQuarter.constEnd())
        return *it;
    const int offset = m_zone.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(key * kQuarterMs, QTimeZone::utc()));
    m_offsetByQuarter.insert(key, offset);
    return offset;
}

LocalClock::Instants LocalClock::instants(qint64 wallMs) const
{
    const qint64 key = floorDiv(wallMs, kQuarterMs);
    const auto it = m_instantsByQuarter.constFind(key);
    if (it != m_instantsByQuarter.constEnd())
        return *it;
    const qint64 wall = key * kQuarterMs;
    const int before = offsetAt(wall - kReachMs);
    const int after = offsetAt(wall + kReachMs);
    Instants found;
    std::optional<qint64> a, b;
    if (offsetAt(wall - before * 1000LL) == before)
        a = wall - before * 1000LL;
    if (after != before && offsetAt(wall - after * 1000LL) == after)
        b = wall - after * 1000LL;
    if (a && b) {
        found.first = std::min(*a, *b) - wall;
        found.second = std::max(*a, *b) - wall;
    } else if (a || b) {
        found.first = found.second = (a ? *a : *b) - wall;
    } else {
        found.first = found.second = -before * 1000LL;
        found.skipped = true;
    }
    m_instantsByQuarter.insert(key, found);
    return found;
}

qint64 LocalClock::resolve(qint64 wallMs, std::optional<qint64> previousUtcMs) const
{
    const Instants i = instants(wallMs);
    const qint64 first = wallMs + i.first;
    if (i.first == i.second || !previousUtcMs || first >= *previousUtcMs)
        return first;
    return wallMs + i.second;
}

qint64 LocalClock::wallMs(int year, int month, int day, int hour, int minute, int second)
{
    return daysFromCivil(year, month, day) * kDayMs + ((hour * 60LL + minute) * 60 + second) * 1000;
}

QString LocalClock::text(qint64 utcMs) const
{
    return QDateTime::fromMSecsSinceEpoch(toWallMs(utcMs), QTimeZone::utc())
            .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString LocalClock::dateText(qint64 utcMs) const
{
    return QDateTime::fromMSecsSinceEpoch(toWallMs(utcMs), QTimeZone::utc()).toString(QStringLiteral("yyyy-MM-dd"));
}

std::optional<qint64> parseTimeOption(const QString &text, const LocalClock &clock, bool dateMeansEnd)
{
    static const QRegularExpression iso(QStringLiteral(
            R"(^(\d{4})-(\d{2})-(\d{2})(?:[T ](\d{2}):(\d{2})(?::(\d{2})(?:\.\d+)?)?(Z|[+-]\d{2}:?\d{2})?)?$)"));
    static const QRegularExpression logStyle(
            QStringLiteral(R"(^(?:(\d{2}):(\d{2}):(\d{2}) )?(\d{2})/(\d{2})/(\d{4})$)"));
    const QString t = text.trimmed();
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    bool hasTime = false;
    QString zone;
    if (const auto m = iso.match(t); m.hasMatch()) {
        y = m.captured(1).toInt();
        mo = m.captured(2).toInt();
        d = m.captured(3).toInt();
        hasTime = m.hasCaptured(4);
        h = m.captured(4).toInt();
        mi = m.captured(5).toInt();
        s = m.captured(6).toInt();
        zone = m.captured(7);
    } else if (const auto m = logStyle.match(t); m.hasMatch()) {
        hasTime = m.hasCaptured(1);
        h = m.captured(1).toInt();
        mi = m.captured(2).toInt();
        s = m.captured(3).toInt();
        mo = m.captured(4).toInt();
        d = m.captured(5).toInt();
        y = m.captured(6).toInt();
    } else {
        return std::nullopt;
    }
    if (!QDate::isValid(y, mo, d) || !QTime::isValid(h, mi, s))
        return std::nullopt;
    qint64 wall = LocalClock::wallMs(y, mo, d, h, mi, s);
    if (!hasTime && dateMeansEnd)
        wall += kDayMs;
    if (zone.isEmpty())
        return clock.resolve(wall, std::nullopt);
    if (zone == u"Z")
        return wall;
    const QString digits = QString(zone).remove(u':');
    const int sign = digits.startsWith(u'-') ? -1 : 1;
    const int minutes = digits.mid(1, 2).toInt() * 60 + digits.mid(3, 2).toInt();
    return wall - sign * minutes * 60'000LL;
}

} // namespace corvane::report
