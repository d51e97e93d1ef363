#include "frmBlowSpeeds.h"

#include "core/screen/ScreenRegistry.h"
#include "core/screen/Station.h"
#include "screens/AllScreens.h"

namespace corvane {

void registerBlowerScreens(Station &station)
{
    for (const FrmBlowSpeeds::Unit &unit : FrmBlowSpeeds::units())
        station.screens().add(std::make_unique<FrmBlowSpeeds>(station, unit));
}

} // namespace corvane
