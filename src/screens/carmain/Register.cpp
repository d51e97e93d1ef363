#include "frmCVCarmain.h"

#include "core/screen/ScreenRegistry.h"
#include "core/screen/Station.h"
#include "screens/AllScreens.h"

namespace corvane {

void registerCarMainScreens(Station &station)
{
    station.screens().add(std::make_unique<FrmCVCarmain>(station));
}

} // namespace corvane
