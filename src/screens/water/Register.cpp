#include "screens/AllScreens.h"

namespace corvane {

void registerWaterScreens(Station &)
{
}

} // namespace corvane
