#include "core/alarm/DiskSyncer.h"

#include "core/Logging.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace corvane {

namespace {
#ifndef Q_OS_WIN
int dataSync(int fd)
{
#if defined(_POSIX_SYNCHRONIZED_IO) && _POSIX_SYNCHRONIZED_IO > 0
    return ::fdatasync(fd);
#else
    return ::fsync(fd);
#endif
}

int openRetrying(const char *path, int flags)
{
    int fd;
    do
        fd = ::open(path, flags | O_CLOEXEC | O_NONBLOCK);
    while (fd < 0 && errno == EINTR);
    return fd;
}

bool syncFolderOf(const QByteArray &path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(QFile::decodeName(path)).absolutePath());
    const int fd = openRetrying(folder.constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}
#endif

struct FileId
{
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FileId &) const = default;
};

bool syncFile(const QByteArray &path, FileId *folderSyncedFor)
{
#ifdef Q_OS_WIN
    Q_UNUSED(folderSyncedFor);
    QFile f(QFile::decodeName(path));
    if (!f.open(QIODevice::ReadWrite | QIODevice::Append))
        return !QFileInfo(f).exists() ? false : !QFileInfo(f).isFile();
    return ::_commit(f.handle()) == 0;
#else
    struct stat st
    {
    };
    if (::stat(path.constData(), &st) != 0)
        return false;
    if (!S_ISREG(st.st_mode))
        return true;
    // Read-only is enough for the sync and works on a file we may no longer write.
    int fd = openRetrying(path.constData(), O_RDONLY);
    if (fd < 0)
        fd = openRetrying(path.constData(), O_WRONLY | O_APPEND);
    if (fd < 0)
        return false;
    bool ok = ::fstat(fd, &st) == 0 && dataSync(fd) == 0;
    ::close(fd);
    const FileId id{quint64(st.st_dev), quint64(st.st_ino)};
    if (ok && !(id == *folderSyncedFor)) {
        ok = syncFolderOf(path);
        if (ok)
            *folderSyncedFor = id;
    }
    return ok;
#endif
}
} // namespace

DiskSyncer::SyncFunction DiskSyncer::fileSync()
{
    return [folderSyncedFor = FileId{}](const QByteArray &path) mutable { return syncFile(path, &folderSyncedFor); };
}

DiskSyncer::DiskSyncer(const QString &path, SyncFunction sync, std::chrono::milliseconds interval)
    : m_path(QFile::encodeName(path))
    , m_sync(std::move(sync))
    , m_interval(interval)
    , m_thread([this] { run(); })
{
}

DiskSyncer::~DiskSyncer()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void DiskSyncer::markDirty()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_dirty)
            return; // the thread knows already
        m_dirty = true;
        m_dirtySince = Clock::now();
    }
    m_wake.notify_one();
}

DiskSyncer::Stats DiskSyncer::stats() const
{
    std::lock_guard lock(m_mutex);
    return m_stats;
}

void DiskSyncer::run()
{
    std::unique_lock lock(m_mutex);
    bool failing = false;
    for (;;) {
        m_stats.idle = true;
        m_wake.wait(lock, [this] { return m_dirty || m_stopping; });
        m_stats.idle = false;
        if (!m_dirty)
            return;
        // What is appended until the interval is up goes into the same sync; at exit
        // the last one goes at once.
        if (m_lastStart)
            m_wake.wait_until(lock, *m_lastStart + m_interval, [this] { return m_stopping; });
        m_dirty = false;
        const Clock::time_point since = m_dirtySince;
        const Clock::time_point start = Clock::now();
        m_lastStart = start;
        lock.unlock();
        const bool ok = m_sync(m_path);
        const Clock::time_point end = Clock::now();
        // A failure waits for the next line to try again: a file that is gone or
        // replaced never makes this spin.
        if (ok == failing) {
            failing = !ok;
            if (failing)
                qCWarning(lcAlarm, "alarm log %s: cannot sync it to disk", m_path.constData());
            else
                qCInfo(lcAlarm, "alarm log %s: synced to disk again", m_path.constData());
        }
        lock.lock();
        ++m_stats.syncs;
        if (!ok)
            ++m_stats.failures;
        m_stats.longestSync = std::max(m_stats.longestSync, end - start);
        m_stats.longestWait = std::max(m_stats.longestWait, end - since);
    }
}

} // namespace corvane
