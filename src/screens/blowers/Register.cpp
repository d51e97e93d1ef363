#include "frmBlowSpeeds.h"

#include "screens/AllScreens.h"
#include "station/ScreenRegistry.h"
#include "station/Station.h"

namespace corvane {

void registerBlowerScreens(Station &station)
{
    for (const FrmBlowSpeeds::Unit &unit : FrmBlowSpeeds::units())
        station.screens().add(std::make_unique<FrmBlowSpeeds>(station, unit));
}

} // namespace corvane
