#pragma once

#include "RecordClock.h"

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

struct HistoryConfig
{
    QString path;
    int retentionDays = 90;
    // Where faults are reported, once each; stderr unless set.
    std::function<void(const QString &)> warn;
    // Rows deleted per retention step: small, so a batch never waits long behind it.
    int purgeStep = 2000;
    // The clocks recorded times come from (RecordClock); the system's unless set.
    std::function<qint64()> wallClock = {};
    std::function<qint64()> monotonicClock = {};
};

// The station's value and alarm history in SQLite. The UI thread only enqueues; a
// writer thread of its own commits the queue at most a second apart (WAL), marks
// itself alive at every commit, runs the retention in small steps and recovers from
// faults. Its faults are reported through HistoryConfig::warn and never stop the
// station. Reads go through a HistoryReader on the same file.
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

    // An alarm line exactly as the logger wrote it (without its line end).
    void addAlarmLine(qint64 utcMs, const QString &line);
    // The data server link went down or came up.
    void addLinkState(qint64 utcMs, bool up);
    // Reported as the store's own faults are.
    void warn(const QString &message);
    // The time to record now: never earlier than one recorded before (RecordClock).
    qint64 now() { return m_clock.now(); }

    // Waits until the writer has handled everything queued so far (written, or kept
    // for a retry) and retried a faulted database. For tests, benchmarks and exit.
    void flush();
    bool isOpen() const;
    QString path() const { return m_config.path; }

    // history.sqlite in the alarm log's folder.
    static QString defaultPath(const QString &alarmLogPath);

    struct Sample
    {
        qint64 tMs;
        int channel;
        QString value;
        bool gap;
    };
    // What is recorded beside the values.
    struct Event
    {
        enum Kind { AlarmLine, LinkState, ClockStep };
        Kind kind;
        qint64 tMs;
        qint64 number; // LinkState: up; ClockStep: the step in ms
        QString text;  // AlarmLine
    };

private:
    class Writer;

    HistoryConfig m_config;
    RecordClock m_clock;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<Sample> m_queue;
    std::vector<Event> m_events;
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
