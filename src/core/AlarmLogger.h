#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace corvane {

class Scheduler;
class ScreenRegistry;
class TimerBackend;

// Brings what was appended to a file onto the disk, from a thread of its own: a line
// in the page cache alone is lost when the car's power goes. At most one sync per
// interval, covering every line appended since the last, so a flood costs ten syncs
// a second and the UI thread never waits for the disk (it only raises a flag).
class DiskSyncer
{
public:
    using Clock = std::chrono::steady_clock;
    // Makes the file's appended data durable; false when it could not.
    using SyncFunction = std::function<bool(const QByteArray &path)>;
    static constexpr std::chrono::milliseconds kInterval{100};

    struct Stats
    {
        quint64 syncs = 0;
        quint64 failures = 0;
        Clock::duration longestSync{};
        // From the first line not yet synced to the end of the sync that took it.
        Clock::duration longestWait{};
        // Nothing to sync: the thread sleeps until the next line.
        bool idle = false;
    };

    // The sync of a regular file by its path: the file's data, and its folder's entry
    // the first time a file is seen (a file made in this run would vanish without it).
    // Devices and pipes keep nothing to sync: true. A missing file: false.
    static SyncFunction fileSync();

    explicit DiskSyncer(const QString &path, SyncFunction sync = fileSync(), std::chrono::milliseconds interval = kInterval);
    // Syncs what is still unsynced, then ends the thread.
    ~DiskSyncer();
    DiskSyncer(const DiskSyncer &) = delete;
    DiskSyncer &operator=(const DiskSyncer &) = delete;

    // Data was appended: cheap, from any thread, never waits for the disk.
    void markDirty();
    Stats stats() const;

private:
    void run();

    const QByteArray m_path;
    const SyncFunction m_sync;
    const std::chrono::milliseconds m_interval;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_dirty = false;
    bool m_stopping = false;
    Clock::time_point m_dirtySince;
    // None before the first sync, which is due at once: the steady clock starts at
    // boot, so its epoch plus an interval may still lie ahead.
    std::optional<Clock::time_point> m_lastStart;
    Stats m_stats;
    std::thread m_thread; // last: starts once the rest is there
};

// The alarm logger (mdlAlarms): every FAULT, WARN and CLEAR transition becomes a line
// "message" + "hh:mm:ss mm/dd/yyyy", appended to the log file and to the alarm list.
//
// The file is the crew's record, so a line is never lost to a file that cannot be
// written (folder missing, disk full, file locked): it waits in memory, in order, and
// goes to the file before any newer line as soon as the file takes writes again,
// tried with each new line and every few seconds. The list and its text box get every
// line at once either way. At most kMaxPending lines wait; past that the oldest go,
// and the file gets one line that says how many, where they would have stood.
// Written lines reach the disk within DiskSyncer::kInterval (plus the sync itself).
class AlarmLogger : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype kMaxPending = 100'000;
    static constexpr int kRetryMs = 5000;
    // Written at most this much per go, so a long backlog never stalls the screens.
    static constexpr qsizetype kFlushChunkBytes = 256 * 1024;

    AlarmLogger(Scheduler &scheduler, ScreenRegistry &screens, const QString &path);
    ~AlarmLogger() override;

    static QString timeStamp(const QDateTime &when);
    // The line that stands in the file for lines that were dropped unwritten.
    static QString droppedLine(qint64 count, const QDateTime &when);

    // Composes message + time stamp (now), keeps it as the last alarm line, logs it.
    void raise(const QString &message);
    // The last alarm line, shared by every screen.
    const QString &lastLine() const { return m_lastLine; }
    // File first, then the list (created hidden when needed), then its text box.
    void log();

    const QString &path() const { return m_path; }
    // Lines (and dropped-lines notes) still waiting for the file.
    qsizetype pendingCount() const { return qsizetype(m_pending.size()); }
    // Lines dropped from the wait and not yet reported in the file.
    qint64 droppedCount() const { return m_dropped; }
    bool fileWritable() const { return m_fileWritable; }

    // Off: lines stay in the page cache until the system writes them (measurements).
    void setSyncToDisk(bool on);
    DiskSyncer::Stats syncStats() const;

Q_SIGNALS:
    void lineRaised(const QString &line);
    // The file stopped taking lines, or took every waiting line again.
    void fileWritableChanged(bool writable);

private:
    struct Pending
    {
        QByteArray bytes;    // the line with its CR LF
        qint64 stands = 1;   // lines it accounts for (a dropped-lines note: that many)
    };
    void enqueue(QByteArray bytes, qint64 stands);
    // Writes waiting lines, oldest first, until the file refuses or a chunk is done.
    void flush();
    void scheduleFlush();
    void setFileWritable(bool writable);

    Scheduler &m_scheduler;
    ScreenRegistry &m_screens;
    QString m_path;
    QString m_lastLine;

    std::deque<Pending> m_pending;
    qsizetype m_headWritten = 0; // bytes of the oldest waiting line already in the file
    qint64 m_dropped = 0;
    bool m_fileWritable = true;
    bool m_flushPosted = false;
    bool m_tailChecked = false;
    std::unique_ptr<TimerBackend> m_retry;
    std::unique_ptr<DiskSyncer> m_syncer;
};

} // namespace corvane
