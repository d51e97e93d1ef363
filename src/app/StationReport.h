#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace corvane {

class AlarmLogger;
class Station;

// The longest the UI thread went without running a 10 ms timer: what the operator
// feels as a frozen window. Printed on stdout for each second and for the whole run.
class UiGapProbe : public QObject
{
    Q_OBJECT
public:
    static constexpr int kProbeMs = 10;
    static constexpr int kReportMs = 1000;

    UiGapProbe();
    qint64 largestMs() const { return m_runLargest; }
    void printRun() const;

private:
    void tick();

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_windowStart = 0;
    qint64 m_windowLargest = 0;
    qint64 m_runLargest = 0;
};

// Prints each alarm line on stdout once the file and the list have it.
void echoAlarmLines(AlarmLogger &logger);

// Prints the alarm list's line count and the SHA-1 of its lines, each with its CR LF
// (the SHA-1 of a fresh log file holding the same lines), and the log's disk syncs.
void printAlarmReport(const Station &station);

} // namespace corvane
