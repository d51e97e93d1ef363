#include "frmSelect.h"

#include "core/ScreenRegistry.h"
#include "core/Station.h"
#include "screens/AllScreens.h"

namespace corvane {

void registerStartScreens(Station &station)
{
    station.screens().add(std::make_unique<FrmSelect>(station));
}

} // namespace corvane
