#pragma once

#include "report/AlarmJournal.h"

#include <QString>
#include <vector>

namespace corvane::report {

class LocalClock;

// The measures of alarm-management practice and the limits they are judged by.
namespace measure {
constexpr qint64 kPeriodMs = 10 * 60 * 1000;
constexpr int kPeriodBusy = 10;          // a period with more activations than this is over
constexpr int kFloodStartAbove = 10;     // more than this within kPeriodMs starts a flood
constexpr int kFloodEndBelow = 5;        // fewer than this within kPeriodMs ends it
constexpr int kChatterCount = 3;         // this many activations of one item...
constexpr qint64 kChatterMs = 60 * 1000; // ...within this long (inclusive) is chattering
constexpr qint64 kFleetingMs = 10 * 1000;
constexpr qint64 kStandingMs = 24 * 3600 * 1000LL;
constexpr int kTopCount = 10;
constexpr int kFloodContributors = 3;
// The usual targets.
constexpr double kAcceptablePerPeriod = 1;
constexpr double kManageablePerPeriod = 2;
constexpr double kBusyShareTarget = 0.01;  // of the periods over kPeriodBusy
constexpr double kFloodShareTarget = 0.01; // of the time in flood
constexpr int kStandingTarget = 5;         // fewer than this
} // namespace measure

// The time the report covers, [fromMs, toMs) in UTC.
struct ReportRange
{
    qint64 fromMs = 0;
    qint64 toMs = 0;
    qint64 lengthMs() const { return toMs - fromMs; }
};

struct Flood
{
    qint64 startMs = 0; // the activation that made it more than kFloodStartAbove
    qint64 endMs = 0;   // when fewer than kFloodEndBelow remained (or the report's end)
    bool ongoing = false;
    int count = 0;                           // activations from the first in the window at its start to its end
    std::vector<std::pair<qint32, int>> top; // item, activations; largest first
};

// An item's stretch of being active, within the report's range.
struct ActiveSpan
{
    qint32 item = 0;
    qint64 fromMs = 0;
    qint64 toMs = 0;
    bool open = false; // still active at the report's end
};

struct ItemFigures
{
    qint32 item = 0;
    int activations = 0;
    int chatterEpisodes = 0; // runs of activations each completing kChatterCount in kChatterMs
    int fleeting = 0;        // activations that returned within kFleetingMs
    qint64 longestActiveMs = 0;
    qint64 activeAtEndMs = -1; // -1: not active at the report's end
    bool standing() const { return longestActiveMs > measure::kStandingMs; }
};

struct DayCount
{
    qint64 startMs = 0; // local midnight, as UTC
    int activations = 0;
};

struct LinkFigures
{
    int losses = 0;
    qint64 downMs = 0;
    qint64 longestMs = 0;
    bool downAtEnd = false;
};

struct AlarmFigures
{
    ReportRange range;
    qint64 activations = 0;

    qint64 firstPeriodMs = 0; // periods are aligned to whole 10 minutes
    std::vector<int> perPeriod;
    double averagePerPeriod = 0;
    int busiestPeriodCount = 0;
    qint64 busiestPeriodMs = 0;
    int periodsOverBusy = 0;
    double busyShare = 0;

    std::vector<DayCount> perDay;
    double averagePerDay = 0;

    std::vector<Flood> floods;
    qint64 floodMs = 0;
    double floodShare = 0;

    std::vector<ItemFigures> items;        // most activations first, then by name
    std::vector<ActiveSpan> standingSpans; // longer than kStandingMs, or open at the end
    int standingItems = 0;
    int activeAtEnd = 0;
    int chatteringItems = 0;
    int chatterEpisodes = 0;
    int fleeting = 0;

    LinkFigures link;
};

// The item whose FAULT and CLEAR lines are the losses of the data server's link.
inline constexpr char kLinkItem[] = "DSDATA";

AlarmFigures computeFigures(const AlarmJournal &journal, ReportRange range, const LocalClock &clock);

// The range of the whole journal: its first line to just after its last.
ReportRange wholeRange(const AlarmJournal &journal);

} // namespace corvane::report
