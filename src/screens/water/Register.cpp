#include "WaterForms.h"

#include "screens/AllScreens.h"
#include "station/ScreenRegistry.h"
#include "station/Station.h"

namespace corvane {

void registerWaterScreens(Station &station)
{
    ScreenRegistry &screens = station.screens();
    screens.add(std::make_unique<AlarmSummaryScreen>(station, frmWtrSystem()));
    for (const IoDesign *io : {&frmWtrSysIO(), &frmAntiFreezeIO(), &frmAirVacIO()})
        screens.add(std::make_unique<IoScreen>(station, *io));
}

} // namespace corvane
