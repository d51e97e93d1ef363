#pragma once

#include "station/AlarmSummaryScreen.h"
#include "station/IoScreen.h"

namespace corvane {

// The water system's screens, as data on the shared screen patterns.
const SummaryDesign &frmWtrSystem();
const IoDesign &frmWtrSysIO();
const IoDesign &frmAntiFreezeIO();
const IoDesign &frmAirVacIO();

} // namespace corvane
