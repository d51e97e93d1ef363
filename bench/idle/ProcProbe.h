#pragma once

// What the kernel says about another process: CPU time and memory, read from /proc.

#include <QDir>
#include <QFile>
#include <QList>
#include <QString>

#include <unistd.h>

namespace corvane::bench {

// utime + stime of the process, in seconds; negative when it is gone.
inline double cpuSeconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    // Fields after the command name (which may hold blanks) start at field 3.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const double ticks = fields.at(14 - 3).toDouble() + fields.at(15 - 3).toDouble();
    return ticks / double(sysconf(_SC_CLK_TCK));
}

// Time on a CPU of all the process's threads, in seconds, to the nanosecond (the
// clock ticks of /proc/PID/stat are 10 ms, too coarse for an idle program).
inline double runSeconds(qint64 pid)
{
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    double total = 0;
    for (const QString &tid : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(tasks + u'/' + tid + QStringLiteral("/schedstat"));
        if (f.open(QIODevice::ReadOnly))
            total += f.readAll().split(' ').value(0).toDouble() / 1e9;
    }
    return total;
}

// A "Vm...:   1234 kB" line of /proc/PID/status, in kB; negative when missing.
inline qint64 statusKb(qint64 pid, const char *field)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace corvane::bench
