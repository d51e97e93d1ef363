#pragma once

#include "core/alarm/DiskSyncer.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <deque>
#include <memory>

namespace corvane {

class Scheduler;
class TimerBackend;

// The alarm logger (mdlAlarms): every FAULT, WARN and CLEAR transition becomes a line
// "message" + "hh:mm:ss mm/dd/yyyy", appended to the log file and handed on as
// lineRaised (the application connects the alarm list to it).
//
// The file is the crew's record, so a line is never lost to a file that cannot be
// written (folder missing, disk full, file locked): it waits in memory, in order, and
// goes to the file before any newer line as soon as the file takes writes again,
// tried with each new line and every few seconds. lineRaised (the list and its text
// box) gets every line at once either way. At most kMaxPending lines wait; past that the oldest go,
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

    // An empty path keeps no file: lineRaised only.
    AlarmLogger(Scheduler &scheduler, const QString &path);
    ~AlarmLogger() override;

    static QString timeStamp(const QDateTime &when);
    // The line that stands in the file for lines that were dropped unwritten.
    static QString droppedLine(qint64 count, const QDateTime &when);

    // Composes message + time stamp (now), keeps it as the last alarm line, logs it.
    void raise(const QString &message);
    // The last alarm line, shared by every screen.
    const QString &lastLine() const { return m_lastLine; }
    // The file first, then lineRaised.
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
        QByteArray bytes;  // the line with its CR LF
        qint64 stands = 1; // lines it accounts for (a dropped-lines note: that many)
    };
    void enqueue(QByteArray bytes, qint64 stands);
    // Writes waiting lines, oldest first, until the file refuses or a chunk is done.
    void flush();
    void scheduleFlush();
    void setFileWritable(bool writable);

    Scheduler &m_scheduler;
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
