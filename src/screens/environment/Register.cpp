#include "EnvironmentForms.h"

#include "core/screen/ScreenRegistry.h"
#include "core/screen/Station.h"
#include "screens/AllScreens.h"

namespace corvane {

void registerEnvironmentScreens(Station &station)
{
    ScreenRegistry &screens = station.screens();
    screens.add(std::make_unique<AlarmSummaryScreen>(station, frmEnvSystem()));
    for (const IoDesign *io : {&frmACUnitIO(), &frmOvrhdBlowIO(), &frmOvrhdHeatIO(), &frmFlrHeatIO()})
        screens.add(std::make_unique<IoScreen>(station, *io));
}

} // namespace corvane
