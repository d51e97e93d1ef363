#pragma once

#include "station/AlarmSummaryScreen.h"
#include "station/IoScreen.h"

namespace corvane {

// The environmental system's screens, as data on the shared screen patterns.
const SummaryDesign &frmEnvSystem();
const IoDesign &frmACUnitIO();
const IoDesign &frmOvrhdBlowIO();
const IoDesign &frmOvrhdHeatIO();
const IoDesign &frmFlrHeatIO();

} // namespace corvane
