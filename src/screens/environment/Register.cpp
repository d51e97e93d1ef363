#include "screens/AllScreens.h"

namespace corvane {

void registerEnvironmentScreens(Station &)
{
}

} // namespace corvane
