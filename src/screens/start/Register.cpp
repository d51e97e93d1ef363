#include "frmSelect.h"

#include "core/screen/ScreenRegistry.h"
#include "core/screen/Station.h"
#include "screens/AllScreens.h"

namespace corvane {

void registerStartScreens(Station &station)
{
    station.screens().add(std::make_unique<FrmSelect>(station));
}

} // namespace corvane
