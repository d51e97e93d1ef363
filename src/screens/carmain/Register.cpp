#include "frmCVCarmain.h"

#include "screens/AllScreens.h"
#include "station/ScreenRegistry.h"
#include "station/Station.h"

namespace corvane {

void registerCarMainScreens(Station &station)
{
    station.screens().add(std::make_unique<FrmCVCarmain>(station));
}

} // namespace corvane
