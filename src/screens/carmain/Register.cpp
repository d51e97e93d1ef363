#include "frmCVCarmain.h"

#include "core/ScreenRegistry.h"
#include "core/Station.h"
#include "screens/AllScreens.h"

namespace corvane {

void registerCarMainScreens(Station &station)
{
    station.screens().add(std::make_unique<FrmCVCarmain>(station));
}

} // namespace corvane
