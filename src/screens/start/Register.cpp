#include "frmSelect.h"

#include "screens/AllScreens.h"
#include "station/ScreenRegistry.h"
#include "station/Station.h"

namespace corvane {

void registerStartScreens(Station &station)
{
    station.screens().add(std::make_unique<FrmSelect>(station));
}

} // namespace corvane
