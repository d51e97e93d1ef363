#include "frmBlowSpeeds.h"

#include "core/ScreenRegistry.h"
#include "core/Station.h"
#include "screens/AllScreens.h"

namespace corvane {

void registerBlowerScreens(Station &station)
{
    for (const FrmBlowSpeeds::Unit &unit : FrmBlowSpeeds::units())
        station.screens().add(std::make_unique<FrmBlowSpeeds>(station, unit));
}

} // namespace corvane
