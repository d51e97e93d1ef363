#pragma once

#include "core/AlarmSummaryScreen.h"

namespace corvane {

// The water system's screens, as data on the shared screen patterns.
const SummaryDesign &frmWtrSystem();

} // namespace corvane
