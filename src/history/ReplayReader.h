#pragma once

#include "HistoryReader.h"
#include "ReplayTagSource.h"

#include <QSet>
#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

struct sqlite3;

namespace corvane::history {

struct RecordedRange
{
    qint64 firstMs = 0;
    qint64 lastMs = 0;
};

// Reads a history file for a replay: its own read-only connection on its own thread,
// so a station recording into the same file is never held up. Every call is queued
// and answered in order; `done` runs on the reader's thread (hand it on with HandOff).
//
// A replay reads forward from a seek: seek() gives the state at a time and puts the
// read position there; each next() gives the changes of the following span. Values
// are read item by item through the (item, time) key, so a span costs one index seek
// per item whatever the length of the history.
class ReplayReader
{
public:
    explicit ReplayReader(const QString &path);
    ~ReplayReader();
    ReplayReader(const ReplayReader &) = delete;
    ReplayReader &operator=(const ReplayReader &) = delete;

    void range(std::function<void(std::optional<RecordedRange>)> done);
    // A time before the recording begins is its first moment (the state's tMs).
    void seek(qint64 tMs, std::function<void(ReplayState)> done);
    // The changes after the read position up to spanMs later; the position moves there.
    void next(qint64 spanMs, std::function<void(std::vector<ReplayEvent>, qint64 throughMs)> done);
    // Alarm lines with fromMs <= t_ms <= toMs, oldest first (none when the file keeps none).
    void alarmLines(qint64 fromMs, qint64 toMs, std::function<void(std::vector<AlarmRecord>)> done);

    // Why the file could not be read; empty while it can. Any thread.
    QString error() const;

private:
    struct Item
    {
        qint64 id;
        TagAddress address;
    };
    void run();
    bool ensureOpen();
    void loadItems();
    std::optional<RecordedRange> recordedRange();
    ReplayState stateAt(qint64 tMs);
    std::vector<ReplayEvent> changes(qint64 fromMs, qint64 toMs);

    const QString m_path;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stop = false;
    QString m_error;

    // The reader thread's own.
    sqlite3 *m_db = nullptr;
    std::vector<Item> m_items;
    qint64 m_positionMs = 0;
    QSet<qint64> m_held; // items holding a value at the read position
    bool m_linkUp = true;

    std::thread m_thread;
};

} // namespace corvane::history
