#pragma once

#include "ReadThread.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

struct sqlite3;

namespace corvane::history {

// One point of a trend, in time order. A gap point ends the line: nothing is known
// from its time until the next point.
struct TrendPoint
{
    qint64 tMs = 0;
    double value = 0;
    bool gap = false;

    friend bool operator==(const TrendPoint &, const TrendPoint &) = default;
};

struct BucketRequest
{
    QString item; // as the station links it (application DSData, topic CVPlc)
    qint64 fromMs = 0;
    qint64 toMs = 0;
    int buckets = 500;
};

// One alarm line as the logger raised it: kind FAULT, WARN or CLEAR, the item word
// as written (C27, DSDATA) and the whole line, time stamp included.
struct AlarmRecord
{
    qint64 tMs = 0;
    QString kind, item, text;

    friend bool operator==(const AlarmRecord &, const AlarmRecord &) = default;
};

// The wall clock was found stepped by stepMs (positive: forward) at recorded time tMs.
struct ClockStep
{
    qint64 tMs = 0;
    qint64 stepMs = 0;

    friend bool operator==(const ClockStep &, const ClockStep &) = default;
};

struct TimeSpan
{
    qint64 fromMs = 0;
    qint64 toMs = 0;

    friend bool operator==(const TimeSpan &, const TimeSpan &) = default;
};

// Cancels the export it came from; the export then reports "cancelled" and removes
// its partial file.
class ExportTicket
{
public:
    ExportTicket()
        : m_cancelled(std::make_shared<std::atomic<bool>>(false))
    {
    }
    void cancel() const { m_cancelled->store(true); }
    bool cancelled() const { return m_cancelled->load(); }

private:
    std::shared_ptr<std::atomic<bool>> m_cancelled;
};

// Answers a trend window's questions about a history file on a ReadThread. Every call
// returns at once; `done` and `progress` run on the reader's thread: hand them on to
// the UI thread with HandOff. A file that does not exist (yet) answers empty.
class HistoryReader
{
public:
    explicit HistoryReader(QString path);
    ~HistoryReader(); // answers what is asked already, then stops
    HistoryReader(const HistoryReader &) = delete;
    HistoryReader &operator=(const HistoryReader &) = delete;

    // At most four points per bucket (first, min, max, last) plus the value holding at
    // fromMs.
    void buckets(const BucketRequest &request, std::function<void(std::vector<TrendPoint>)> done);
    // Lines raised in [fromMs, toMs), oldest first; items as written in the line
    // ("C27"); empty: all.
    void alarmLines(qint64 fromMs, qint64 toMs, const QStringList &items,
                    std::function<void(std::vector<AlarmRecord>)> done);
    void clockSteps(qint64 fromMs, qint64 toMs, std::function<void(std::vector<ClockStep>)> done);
    // Stretches in which the data server link was down, clipped to [fromMs, toMs).
    void linkDown(qint64 fromMs, qint64 toMs, std::function<void(std::vector<TimeSpan>)> done);
    // Every item with a recorded value, sorted.
    void recordedItems(std::function<void(QStringList)> done);
    // Every row of the items in [fromMs, toMs) as CSV (item,time_utc,value), on a thread
    // and connection of its own, read in slices so that it keeps no snapshot of the file
    // for long. `progress` gets 0..1 now and then; `done` an error message, "cancelled",
    // or an empty string. Call from one thread (the one that calls wait).
    ExportTicket exportCsv(const QStringList &items, qint64 fromMs, qint64 toMs, const QString &file,
                           std::function<void(double)> progress, std::function<void(QString)> done);

    // Waits until every question asked so far is answered and every export has ended.
    // For window teardown and tests.
    void wait();
    QString path() const { return m_reads.path(); }

    // The bucket query on an open connection, for the benchmark.
    static std::vector<TrendPoint> bucketQuery(sqlite3 *db, const BucketRequest &request);

private:
    void post(std::function<void(sqlite3 *)> job) { m_reads.post(std::move(job)); }

    std::vector<std::thread> m_exports; // joined before the questions' thread ends
    ReadThread m_reads;
};

} // namespace corvane::history
