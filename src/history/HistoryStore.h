#pragma once

#include "core/link/TagSource.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
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

struct HistoryConfig
{
    QString path;
    int retentionDays = 90;
    // Where faults are reported, once each; stderr unless set.
    std::function<void(const QString &)> warn;
    // Rows deleted per retention step: small, so a batch never waits long behind it.
    int purgeStep = 2000;
};

// The station's value history in SQLite. The UI thread only enqueues (add, addGap);
// a writer thread of its own commits the queue at most a second apart (WAL), runs
// the retention in small steps, answers queries and recovers from faults. Its faults
// are reported through HistoryConfig::warn and never stop the station.
class HistoryStore
{
public:
    explicit HistoryStore(HistoryConfig config);
    ~HistoryStore(); // commits what is queued, then stops the writer
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;

    // UI thread. A small number for an address, so a value queues without its strings.
    int channel(const TagAddress &address);
    void add(int channel, qint64 utcMs, const QString &value)
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(Sample{utcMs, channel, value, false});
    }
    // Nothing is known of the channel from this time until its next value.
    void addGap(int channel, qint64 utcMs)
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(Sample{utcMs, channel, QString(), true});
    }

    // At most four points per bucket (first, min, max, last) plus the value holding at
    // fromMs. `done` runs on the writer thread; hand it on with a queued invocation.
    void query(const BucketRequest &request, std::function<void(std::vector<TrendPoint>)> done);
    // Writes every row of the items between the times as CSV (item,time_utc,value);
    // `done` gets an error message or an empty string, on the writer thread.
    void exportCsv(const QStringList &items, qint64 fromMs, qint64 toMs, const QString &file,
                   std::function<void(QString)> done);

    // Waits until the writer has handled everything queued so far (written, or kept
    // for a retry) and retried a faulted database. For tests, benchmarks and exit.
    void flush();
    bool isOpen() const;
    QString path() const { return m_config.path; }

    // The bucket query on an open connection, for the writer thread and the benchmark.
    static std::vector<TrendPoint> bucketQuery(sqlite3 *db, const BucketRequest &request);
    static QString defaultPath();

    struct Sample
    {
        qint64 tMs;
        int channel;
        QString value;
        bool gap;
    };

private:
    class Writer;

    HistoryConfig m_config;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<Sample> m_queue;
    std::deque<std::function<void(sqlite3 *)>> m_jobs;
    quint64 m_flushTicket = 0;
    quint64 m_flushDone = 0;
    std::atomic<bool> m_open{false};
    std::condition_variable m_flushed;
    bool m_stop = false;
    std::vector<TagAddress> m_channels; // guarded by m_mutex: the writer reads it
    QHash<TagAddress, int> m_channelOf; // UI thread only
    std::unique_ptr<Writer> m_writer;
    std::thread m_thread;
};

} // namespace corvane::history
