#include "EnvironmentForms.h"

#include "screens/AllScreens.h"
#include "station/ScreenRegistry.h"
#include "station/Station.h"

namespace corvane {

void registerEnvironmentScreens(Station &station)
{
    ScreenRegistry &screens = station.screens();
    screens.add(std::make_unique<AlarmSummaryScreen>(station, frmEnvSystem()));
    for (const IoDesign *io : {&frmACUnitIO(), &frmOvrhdBlowIO(), &frmOvrhdHeatIO(), &frmFlrHeatIO()})
        screens.add(std::make_unique<IoScreen>(station, *io));
}

} // namespace corvane
