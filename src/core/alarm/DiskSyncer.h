#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace corvane {

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

    explicit DiskSyncer(const QString &path, SyncFunction sync = fileSync(),
                        std::chrono::milliseconds interval = kInterval);
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

} // namespace corvane
