#include "core/alarm/AlarmLogger.h"

#include "core/Logging.h"
#include "core/time/Scheduler.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

namespace corvane {

namespace {
// One write call takes at most this much, so a partial write is accounted per line.
constexpr qsizetype kWriteBytes = 64 * 1024;

// What the file needs before a new line when an earlier run ended in the middle of
// one (killed, or the power cut): without it the new line would be glued to the torn
// one. Empty when the file ends with a line end, is empty, or cannot be read.
QByteArray missingLineEnd(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() == 0 || !f.seek(f.size() - 1))
        return {};
    char last = 0;
    if (!f.getChar(&last) || last == '\n')
        return {};
    return last == '\r' ? QByteArray("\n") : QByteArray("\r\n");
}
} // namespace

AlarmLogger::AlarmLogger(Scheduler &scheduler, const QString &path)
    : m_scheduler(scheduler)
    , m_path(path)
    , m_retry(scheduler.createTimer([this] { flush(); }))
    , m_syncer(path.isEmpty() ? nullptr : std::make_unique<DiskSyncer>(path))
{
}

AlarmLogger::~AlarmLogger()
{
    m_retry->stop();
    // A last try for what still waits; nothing else can be done with it.
    while (!m_pending.empty()) {
        const qsizetype before = pendingCount();
        const qsizetype headBefore = m_headWritten;
        flush();
        if (pendingCount() == before && m_headWritten == headBefore)
            break;
    }
    m_syncer.reset(); // the last sync, before the thread ends
}

void AlarmLogger::setSyncToDisk(bool on)
{
    if (on && !m_syncer && !m_path.isEmpty())
        m_syncer = std::make_unique<DiskSyncer>(m_path);
    else if (!on)
        m_syncer.reset();
}

DiskSyncer::Stats AlarmLogger::syncStats() const
{
    return m_syncer ? m_syncer->stats() : DiskSyncer::Stats{};
}

QString AlarmLogger::timeStamp(const QDateTime &when)
{
    return QLocale::c().toString(when, QStringLiteral("HH:mm:ss MM/dd/yyyy"));
}

QString AlarmLogger::droppedLine(qint64 count, const QDateTime &when)
{
    return QStringLiteral("DROPPED %1 alarm lines, log file not writable  ").arg(count) + timeStamp(when);
}

void AlarmLogger::raise(const QString &message)
{
    m_lastLine = message + timeStamp(m_scheduler.now());
    log();
}

void AlarmLogger::log()
{
    const QString line = m_lastLine;
    enqueue(line.toUtf8() + "\r\n", 1);
    flush();
    Q_EMIT lineRaised(line);
}

void AlarmLogger::enqueue(QByteArray bytes, qint64 stands)
{
    m_pending.push_back({std::move(bytes), stands});
    while (pendingCount() > kMaxPending) {
        // A line already partly in the file is finished first, whatever it costs.
        const auto victim = m_pending.begin() + (m_headWritten > 0 ? 1 : 0);
        m_dropped += victim->stands;
        m_pending.erase(victim);
    }
}

void AlarmLogger::flush()
{
    if (m_path.isEmpty()) // no file: the lines go to the list only (a replay)
        m_pending.clear();
    if (m_pending.empty())
        return;
    const QFileInfo info(m_path);
    if (!info.exists()) // the folder too, on every try: it may be made or removed while we wait
        QDir().mkpath(info.absolutePath());
    QFile file(m_path);
    // Appending means seeking to the end, which a device (a pipe, /dev/null) has not.
    const auto append = info.exists() && !info.isFile() ? QIODevice::NotOpen : QIODevice::Append;
    bool ok = file.open(QIODevice::WriteOnly | append | QIODevice::Unbuffered);
    size_t done = 0;                  // waiting lines now wholly in the file
    qsizetype offset = m_headWritten; // bytes of the line at `done` already in the file
    if (ok) {
        if (m_dropped > 0) {
            // The gap stands right before the oldest whole waiting line.
            const QByteArray note = droppedLine(m_dropped, m_scheduler.now()).toUtf8() + "\r\n";
            m_pending.insert(m_pending.begin() + (m_headWritten > 0 ? 1 : 0), Pending{note, m_dropped});
            m_dropped = 0;
        }
        if (!m_tailChecked) {
            const QByteArray end = missingLineEnd(m_path);
            ok = end.isEmpty() || file.write(end) == end.size();
            m_tailChecked = ok;
        }
        qsizetype spent = 0;
        while (ok && done < m_pending.size() && spent < kFlushChunkBytes) {
            QByteArray chunk = m_pending[done].bytes.mid(offset);
            for (size_t i = done + 1; i < m_pending.size() && chunk.size() < kWriteBytes; ++i)
                chunk += m_pending[i].bytes;
            const qint64 written = qMax<qint64>(0, file.write(chunk));
            ok = written == chunk.size();
            spent += written;
            for (qint64 left = written; left > 0;) {
                const qsizetype rest = m_pending[done].bytes.size() - offset;
                if (left < rest) {
                    offset += left;
                    break;
                }
                left -= rest;
                offset = 0;
                ++done;
            }
        }
        file.close();
        // A close that fails may have lost what the writes took: those lines stay
        // waiting and are written again (a line twice beats a line missing).
        if (file.error() != QFileDevice::NoError) {
            ok = false;
            done = 0;
            offset = m_headWritten;
        }
        if (spent > 0 && m_syncer)
            m_syncer->markDirty();
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + qsizetype(done));
    m_headWritten = offset;

    if (m_pending.empty()) {
        m_retry->stop();
        setFileWritable(true);
    } else if (ok) {
        scheduleFlush(); // a long backlog: the rest after the screens had their turn
    } else {
        if (!m_retry->isActive())
            m_retry->start(kRetryMs, kRetryMs);
        setFileWritable(false);
    }
}

void AlarmLogger::scheduleFlush()
{
    if (m_flushPosted)
        return;
    m_flushPosted = true;
    m_scheduler.post(this, [this] {
        m_flushPosted = false;
        flush();
    });
}

void AlarmLogger::setFileWritable(bool writable)
{
    if (writable == m_fileWritable)
        return;
    m_fileWritable = writable;
    if (writable)
        qCInfo(lcAlarm, "alarm log %s: writable again, every waiting line written", qPrintable(m_path));
    else
        qCWarning(lcAlarm, "alarm log %s: cannot write, lines wait in memory", qPrintable(m_path));
    Q_EMIT fileWritableChanged(writable);
}

} // namespace corvane
