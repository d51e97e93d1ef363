#include "AllScreens.h"

namespace corvane {

void registerAllScreens(Station &station)
{
    registerStartScreens(station);
    registerCarMainScreens(station);
    registerEnvironmentScreens(station);
    registerWaterScreens(station);
    registerPorterScreens(station);
    registerBlowerScreens(station);
}

} // namespace corvane
