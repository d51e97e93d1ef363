#pragma once

#include "PlcLink.h"

#include <QJsonObject>
#include <QMap>
#include <deque>

namespace corvane::gateway {

// What the gateway knows of each row and of its scans: whether the data is live,
// which rows cannot be read and why, and the figures a technician reads on
// $diagnostics. Times are milliseconds of a monotonic clock, given by the caller.
//
// The data is live while every readable row has been read within the live window:
// three scan cycles, at least one second, where a cycle is the period or the longest
// scan of the last minute, whichever is longer (a slow but healthy PLC never flaps).
// A row the PLC refuses (its address does not exist) is not readable and does not
// count; a row whose request failed (busy, ...) counts, so a single busy answer
// delays it by one scan and one that keeps failing takes the data offline.
class Health
{
public:
    Health(const ItemMap &map, int periodMs);

    void scanned(const ScanResult &result, qint64 nowMs);
    // A row read outside a scan (a write's read-back).
    void read(const Reading &reading, qint64 nowMs);
    void transportError();
    void writeDone() { ++m_writesDone; }
    void writeRefused() { ++m_writesRefused; }
    void writeFailed() { ++m_writesFailed; }

    int liveWindowMs(qint64 nowMs) const;
    // Empty while live; otherwise which row is out of date, since when and why.
    QString staleReason(qint64 nowMs) const;
    // The time when staleReason(now) next turns non-empty unless a scan comes first.
    qint64 staleAt(qint64 nowMs) const;

    struct RowProblem
    {
        QString item;
        QString reason;
        bool operator==(const RowProblem &) const = default;
    };
    // The rows whose last read failed or gave no value, in map order.
    QList<RowProblem> failingRows() const;

    QJsonObject json(qint64 nowMs) const;

private:
    struct RowState
    {
        qint64 lastReadMs = -1; // -1: never
        QString problem;        // empty: its last read was good
        bool refused = false;   // the PLC refuses its addresses
    };
    void take(const Reading &reading, qint64 nowMs);
    void forget(qint64 nowMs);

    QStringList m_items;
    QList<RowState> m_rows;
    int m_periodMs;
    std::deque<std::pair<qint64, qint64>> m_scanMicros; // (end ms, micros), last minute
    qint64 m_scans = 0;
    int m_lastRequests = 0;
    QMap<QString, qint64> m_errors;
    qint64 m_writesDone = 0;
    qint64 m_writesRefused = 0;
    qint64 m_writesFailed = 0;
};

} // namespace corvane::gateway
