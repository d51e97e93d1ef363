#pragma once

#include "report/AlarmFigures.h"

#include <QString>
#include <vector>

namespace corvane::report {

class LocalClock;

// What the report shows, shared by the terminal, HTML and CSV writers.
struct Report
{
    const AlarmJournal &journal;
    const AlarmFigures &figures;
    const LocalClock &clock;
    QString itemName(qint32 item) const { return journal.items.value(item); }
};

// One line of the summary: a figure next to its usual target.
struct SummaryRow
{
    QString figure;
    QString value;
    QString target; // empty: no usual target
    bool met = true;
};

std::vector<SummaryRow> summaryRows(const Report &report);

// A table behind the figures, as text cells.
struct DetailTable
{
    QString title;
    QStringList header;
    QList<QStringList> rows;
};
DetailTable mostFrequentTable(const Report &report);
DetailTable floodTable(const Report &report); // in time order
DetailTable chatterTable(const Report &report);
DetailTable standingTable(const Report &report);
DetailTable dayTable(const Report &report);
DetailTable unreadTable(const Report &report);

// "3 d 04:05:06", "02:03:04", "45 s".
QString durationText(qint64 ms);
QString percentText(double share);

// The report as a table for the terminal.
QString terminalReport(const Report &report);

} // namespace corvane::report
