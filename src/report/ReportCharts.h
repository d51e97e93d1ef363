#pragma once

#include "report/ReportText.h"

#include <QByteArray>

namespace corvane::report {

// The report's charts as SVG documents, drawn with Qt Charts. They need a QApplication.
// Activations per 10 minutes over time, with the floods as a band and the targets as lines.
QByteArray periodChartSvg(const Report &report);
// The ten most frequent items and their cumulative share.
QByteArray paretoChartSvg(const Report &report);
// When the standing alarms (and those active at the end) were active.
QByteArray standingChartSvg(const Report &report);

} // namespace corvane::report
