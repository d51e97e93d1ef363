#include "frmPorter.h"

#include "core/screen/ScreenRegistry.h"
#include "core/screen/Station.h"
#include "screens/AllScreens.h"

namespace corvane {

void registerPorterScreens(Station &station)
{
    station.screens().add(std::make_unique<FrmPorter>(station));
}

} // namespace corvane
