#include "frmPorter.h"

#include "screens/AllScreens.h"
#include "station/ScreenRegistry.h"
#include "station/Station.h"

namespace corvane {

void registerPorterScreens(Station &station)
{
    station.screens().add(std::make_unique<FrmPorter>(station));
}

} // namespace corvane
