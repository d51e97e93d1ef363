#include "TrendTime.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>

namespace corvane::history {

namespace {

constexpr qint64 kSecond = 1000, kMinute = 60 * kSecond, kHour = 60 * kMinute, kDay = 24 * kHour;

// clang-format off
constexpr qint64 kSteps[] = {
    kSecond, 2 * kSecond, 5 * kSecond, 10 * kSecond, 15 * kSecond, 30 * kSecond,
    kMinute, 2 * kMinute, 5 * kMinute, 10 * kMinute, 15 * kMinute, 30 * kMinute,
    kHour, 2 * kHour, 3 * kHour, 6 * kHour, 12 * kHour,
    kDay, 2 * kDay, 7 * kDay,
};
// clang-format on

QDateTime local(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime);
}

qint64 offsetMs(qint64 ms)
{
    return qint64(local(ms).offsetFromUtc()) * kSecond;
}

QString format(const QDateTime &t, const char *pattern)
{
    return QLocale::c().toString(t, QLatin1String(pattern));
}

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - (a % b < 0 ? 1 : 0);
}

// Steps of an hour or less: round in local time. A clock change moves local time by
// whole hours, so a tick stays round on either side of it; the loop realigns anyway
// for zones that step by less.
std::vector<qint64> shortTicks(qint64 fromMs, qint64 toMs, qint64 step)
{
    std::vector<qint64> out;
    const auto align = [step](qint64 t) {
        const qint64 l = t + offsetMs(t);
        return t + (floorDiv(l + step - 1, step) * step - l);
    };
    for (qint64 t = align(fromMs); t <= toMs; t = align(t + step))
        out.push_back(t);
    return out;
}

// Longer steps: by the wall clock (6:00, 12:00, midnight), whatever a day's length.
std::vector<qint64> longTicks(qint64 fromMs, qint64 toMs, qint64 step)
{
    std::vector<qint64> out;
    const QDate first = local(fromMs).date().addDays(-1), last = local(toMs).date();
    const qint64 days = step / kDay;
    for (QDate d = first; d <= last; d = d.addDays(1)) {
        if (days > 0) {
            if (d.toJulianDay() % days != 0)
                continue;
            out.push_back(d.startOfDay(Qt::LocalTime).toMSecsSinceEpoch());
            continue;
        }
        for (qint64 h = 0; h < 24; h += step / kHour)
            out.push_back(QDateTime(d, QTime(int(h), 0), Qt::LocalTime).toMSecsSinceEpoch());
    }
    std::erase_if(out, [&](qint64 t) { return t < fromMs || t > toMs; });
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

} // namespace

QString zoneAt(qint64 ms)
{
    return local(ms).timeZoneAbbreviation();
}

std::vector<TimeTick> timeTicks(qint64 fromMs, qint64 toMs, int most)
{
    std::vector<TimeTick> out;
    if (toMs <= fromMs || most < 1)
        return out;
    const qint64 span = toMs - fromMs;
    const qint64 *step = std::find_if(std::begin(kSteps), std::end(kSteps), [&](qint64 s) { return span / s < most; });
    if (step == std::end(kSteps))
        --step;
    const std::vector<qint64> at = *step <= kHour ? shortTicks(fromMs, toMs, *step) : longTicks(fromMs, toMs, *step);
    const bool zoneChanges = offsetMs(fromMs) != offsetMs(toMs);
    for (qint64 t : at) {
        const QDateTime l = local(t);
        QString label;
        if (*step >= kDay || l.time() == QTime(0, 0))
            label = format(l, "MM/dd/yyyy");
        else
            label = format(l, *step < kMinute ? "HH:mm:ss" : "HH:mm");
        if (zoneChanges && *step < kDay)
            label += u' ' + l.timeZoneAbbreviation();
        out.push_back({t, label});
    }
    return out;
}

QString rangeText(qint64 fromMs, qint64 toMs)
{
    const QDateTime from = local(fromMs), to = local(toMs);
    const char *clock = toMs - fromMs < 10 * kMinute ? "HH:mm:ss" : "HH:mm";
    QString text = format(from, "MM/dd/yyyy ") + format(from, clock);
    if (zoneAt(fromMs) != zoneAt(toMs))
        text += u' ' + zoneAt(fromMs);
    text += QStringLiteral(" - ");
    if (to.date() != from.date())
        text += format(to, "MM/dd/yyyy ");
    return text + format(to, clock) + u' ' + zoneAt(toMs);
}

QString momentText(qint64 ms, qint64 spanMs)
{
    const QDateTime t = local(ms);
    return format(t, spanMs <= 10 * kMinute ? "MM/dd/yyyy HH:mm:ss.zzz" : "MM/dd/yyyy HH:mm:ss") + u' '
           + t.timeZoneAbbreviation();
}

} // namespace corvane::history
