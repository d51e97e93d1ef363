#pragma once

#include "report/ReportText.h"

namespace corvane::report {

// periods.csv, days.csv, floods.csv and items.csv in `dir` (made when missing), for a
// spreadsheet: comma separated, times in local time, durations in seconds.
bool writeCsv(const Report &report, const QString &dir, QString *error);

// A CSV field: quoted when it must be; a text that a spreadsheet would take for a
// formula gets a leading apostrophe.
QString csvField(const QString &text);

} // namespace corvane::report
