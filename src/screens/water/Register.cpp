#include "WaterForms.h"

#include "core/screen/ScreenRegistry.h"
#include "core/screen/Station.h"
#include "screens/AllScreens.h"

namespace corvane {

void registerWaterScreens(Station &station)
{
    ScreenRegistry &screens = station.screens();
    screens.add(std::make_unique<AlarmSummaryScreen>(station, frmWtrSystem()));
    for (const IoDesign *io : {&frmWtrSysIO(), &frmAntiFreezeIO(), &frmAirVacIO()})
        screens.add(std::make_unique<IoScreen>(station, *io));
}

} // namespace corvane
