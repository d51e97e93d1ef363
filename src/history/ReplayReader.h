#pragma once

#include "HistoryReader.h"
#include "ReadThread.h"
#include "ReplayTagSource.h"

#include <QSet>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

struct sqlite3;

namespace corvane::history {

struct RecordedRange
{
    qint64 firstMs = 0;
    qint64 lastMs = 0;
};

// Reads a history file for a replay on a ReadThread, so a station recording into the
// same file is never held up. Every call is queued and answered in order; `done` runs
// on the reader's thread (hand it on with HandOff).
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
    QString error() const { return m_reads.error(); }

private:
    struct Item
    {
        qint64 id;
        TagAddress address;
    };
    void loadItems(sqlite3 *db);
    std::optional<RecordedRange> recordedRange(sqlite3 *db);
    ReplayState stateAt(sqlite3 *db, qint64 tMs);
    std::vector<ReplayEvent> changes(sqlite3 *db, qint64 fromMs, qint64 toMs);

    // The reader thread's own.
    std::vector<Item> m_items;
    qint64 m_positionMs = 0;
    QSet<qint64> m_held; // items holding a value at the read position
    bool m_linkUp = true;

    ReadThread m_reads; // last: it ends before what its jobs use
};

} // namespace corvane::history
