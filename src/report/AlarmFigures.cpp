#include "report/AlarmFigures.h"

#include "report/LocalClock.h"

#include <QHash>
#include <algorithm>
#include <limits>

namespace corvane::report {

using namespace measure;

namespace {
constexpr qint64 kNone = std::numeric_limits<qint64>::min();
constexpr qint64 kDayMs = 24 * 3600 * 1000LL;

qint64 floorTo(qint64 t, qint64 step)
{
    const qint64 q = t / step - ((t % step != 0 && t < 0) ? 1 : 0);
    return q * step;
}

struct Activation
{
    qint64 tMs;
    qint32 item;
};

struct ItemState
{
    qint64 activeSince = kNone;
    qint64 last = kNone; // the two latest activations in the range
    qint64 beforeLast = kNone;
    bool chattering = false;
};

// Flood episodes by a sliding window over the activations in time order: one starts at
// the activation that puts more than kFloodStartAbove in the last kPeriodMs (both ends
// inclusive) and ends when an activation leaving the window leaves fewer than
// kFloodEndBelow.
void findFloods(const std::vector<Activation> &a, qint64 rangeEnd, const QStringList &names, AlarmFigures &f)
{
    std::vector<Flood> &floods = f.floods;
    size_t lo = 0;
    size_t firstOfFlood = 0;
    bool inFlood = false;
    auto finish = [&](qint64 endMs, size_t lastIndex, bool ongoing) {
        Flood &flood = floods.back();
        flood.endMs = endMs;
        flood.ongoing = ongoing;
        flood.count = int(lastIndex - firstOfFlood + 1);
        QHash<qint32, int> byItem;
        for (size_t i = firstOfFlood; i <= lastIndex; ++i)
            ++byItem[a[i].item];
        for (auto it = byItem.cbegin(); it != byItem.cend(); ++it)
            flood.top.emplace_back(it.key(), it.value());
        std::sort(flood.top.begin(), flood.top.end(), [&](const auto &x, const auto &y) {
            return x.second != y.second ? x.second > y.second : names[x.first] < names[y.first];
        });
        if (flood.top.size() > size_t(kFloodContributors))
            flood.top.resize(size_t(kFloodContributors));
        inFlood = false;
    };
    auto leave = [&](size_t upTo, qint64 before) {
        // Activations leave the window once it has moved more than kPeriodMs past them.
        while (lo < upTo && a[lo].tMs + kPeriodMs < before) {
            ++lo;
            if (inFlood && upTo - lo < size_t(kFloodEndBelow))
                finish(a[lo - 1].tMs + kPeriodMs, upTo - 1, false);
        }
    };
    for (size_t i = 0; i < a.size(); ++i) {
        leave(i, a[i].tMs);
        if (!inFlood && i + 1 - lo > size_t(kFloodStartAbove)) {
            inFlood = true;
            firstOfFlood = lo;
            floods.push_back({a[i].tMs, 0, false, 0, {}});
        }
    }
    leave(a.size(), rangeEnd);
    if (inFlood)
        finish(rangeEnd, a.size() - 1, true);
}
} // namespace

ReportRange wholeRange(const AlarmJournal &journal)
{
    if (journal.events.empty())
        return {};
    qint64 lo = journal.events.front().tMs;
    qint64 hi = lo;
    for (const AlarmEvent &e : journal.events) {
        lo = std::min(lo, e.tMs);
        hi = std::max(hi, e.tMs);
    }
    return {lo, hi + 1};
}

AlarmFigures computeFigures(const AlarmJournal &journal, ReportRange range, const LocalClock &clock)
{
    AlarmFigures f;
    f.range = range;
    const qint64 length = std::max(range.lengthMs(), kPeriodMs);

    f.firstPeriodMs = floorTo(range.fromMs, kPeriodMs);
    const qint64 periods = std::max<qint64>(1, (range.toMs - f.firstPeriodMs + kPeriodMs - 1) / kPeriodMs);
    f.perPeriod.assign(size_t(periods), 0);

    const qint64 firstDayWall = floorTo(clock.toWallMs(range.fromMs), kDayMs);
    const qint64 lastDayWall = floorTo(clock.toWallMs(std::max(range.fromMs, range.toMs - 1)), kDayMs);
    std::vector<int> dayCounts(size_t((lastDayWall - firstDayWall) / kDayMs + 1), 0);

    std::vector<ItemState> state(size_t(journal.items.size()));
    std::vector<ItemFigures> items(size_t(journal.items.size()));
    for (qint32 i = 0; i < qint32(items.size()); ++i)
        items[size_t(i)].item = i;
    std::vector<Activation> activations;
    const qint32 linkItem = qint32(journal.items.indexOf(QString::fromLatin1(kLinkItem)));

    auto closeSpan = [&](qint32 item, qint64 since, qint64 until, bool open) {
        const qint64 from = std::max(since, range.fromMs);
        const qint64 to = std::min(until, range.toMs);
        if (to <= from && !(open && to == from))
            return;
        const qint64 active = to - from;
        ItemFigures &it = items[size_t(item)];
        it.longestActiveMs = std::max(it.longestActiveMs, active);
        if (open)
            it.activeAtEndMs = active;
        if (active > kStandingMs || open)
            f.standingSpans.push_back({item, from, to, open});
        if (item == linkItem) {
            f.link.downMs += active;
            f.link.longestMs = std::max(f.link.longestMs, active);
            f.link.downAtEnd = f.link.downAtEnd || open;
        }
    };

    for (const AlarmEvent &e : journal.events) {
        if (e.tMs >= range.toMs)
            continue;
        ItemState &s = state[size_t(e.item)];
        ItemFigures &it = items[size_t(e.item)];
        if (!e.isActivation()) {
            if (s.activeSince != kNone) {
                if (e.tMs - s.activeSince < kFleetingMs && s.activeSince >= range.fromMs)
                    ++it.fleeting;
                closeSpan(e.item, s.activeSince, e.tMs, false);
                s.activeSince = kNone;
            }
            continue;
        }
        if (s.activeSince == kNone)
            s.activeSince = e.tMs;
        if (e.tMs < range.fromMs)
            continue;
        ++f.activations;
        ++it.activations;
        ++f.perPeriod[size_t((e.tMs - f.firstPeriodMs) / kPeriodMs)];
        // Clamped: a clock change at midnight can put a line's day before the first.
        const qint64 day = (floorTo(clock.toWallMs(e.tMs), kDayMs) - firstDayWall) / kDayMs;
        ++dayCounts[size_t(std::clamp<qint64>(day, 0, qint64(dayCounts.size()) - 1))];
        activations.push_back({e.tMs, e.item});
        if (e.item == linkItem)
            ++f.link.losses;
        const bool chatter = s.beforeLast != kNone && e.tMs - s.beforeLast >= 0 && e.tMs - s.beforeLast <= kChatterMs;
        if (chatter && !s.chattering)
            ++it.chatterEpisodes;
        s.chattering = chatter;
        s.beforeLast = s.last;
        s.last = e.tMs;
    }
    for (qint32 i = 0; i < qint32(state.size()); ++i) {
        if (state[size_t(i)].activeSince != kNone)
            closeSpan(i, state[size_t(i)].activeSince, range.toMs, true);
    }

    const double periodsInRange = double(length) / double(kPeriodMs);
    f.averagePerPeriod = double(f.activations) / periodsInRange;
    for (size_t p = 0; p < f.perPeriod.size(); ++p) {
        if (f.perPeriod[p] > f.busiestPeriodCount) {
            f.busiestPeriodCount = f.perPeriod[p];
            f.busiestPeriodMs = f.firstPeriodMs + qint64(p) * kPeriodMs;
        }
        f.periodsOverBusy += f.perPeriod[p] > kPeriodBusy ? 1 : 0;
    }
    f.busyShare = double(f.periodsOverBusy) / double(f.perPeriod.size());

    f.averagePerDay = double(f.activations) / (double(length) / double(kDayMs));
    for (size_t d = 0; d < dayCounts.size(); ++d) {
        const qint64 wall = firstDayWall + qint64(d) * kDayMs;
        f.perDay.push_back({clock.resolve(wall, std::nullopt), dayCounts[d]});
    }

    std::stable_sort(activations.begin(), activations.end(),
                     [](const Activation &x, const Activation &y) { return x.tMs < y.tMs; });
    findFloods(activations, range.toMs, journal.items, f);
    for (const Flood &flood : f.floods)
        f.floodMs += flood.endMs - flood.startMs;
    f.floodShare = double(f.floodMs) / double(length);

    for (const ItemFigures &it : items) {
        if (it.activations == 0 && it.longestActiveMs == 0 && it.activeAtEndMs < 0)
            continue;
        f.items.push_back(it);
        f.standingItems += it.standing() ? 1 : 0;
        f.activeAtEnd += it.activeAtEndMs >= 0 ? 1 : 0;
        f.chatteringItems += it.chatterEpisodes > 0 ? 1 : 0;
        f.chatterEpisodes += it.chatterEpisodes;
        f.fleeting += it.fleeting;
    }
    std::sort(f.items.begin(), f.items.end(), [&](const ItemFigures &x, const ItemFigures &y) {
        if (x.activations != y.activations)
            return x.activations > y.activations;
        return journal.items[x.item] < journal.items[y.item];
    });
    std::sort(f.standingSpans.begin(), f.standingSpans.end(),
              [](const ActiveSpan &x, const ActiveSpan &y) { return x.fromMs < y.fromMs; });
    return f;
}

} // namespace corvane::report
