#include "frmPorter.h"

#include "core/ScreenRegistry.h"
#include "core/Station.h"
#include "screens/AllScreens.h"

namespace corvane {

void registerPorterScreens(Station &station)
{
    station.screens().add(std::make_unique<FrmPorter>(station));
}

} // namespace corvane
