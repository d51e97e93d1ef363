#pragma once

#include "core/AlarmSummaryScreen.h"

namespace corvane {

// The environmental system's screens, as data on the shared screen patterns.
const SummaryDesign &frmEnvSystem();

} // namespace corvane
