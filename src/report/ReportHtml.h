#pragma once

#include "report/ReportText.h"

namespace corvane::report {

// One self-contained page: the figures beside their targets, three charts as inline
// SVG, and the tables behind them. No script, nothing fetched from elsewhere. Needs a
// QApplication for the charts.
QString htmlReport(const Report &report);

} // namespace corvane::report
