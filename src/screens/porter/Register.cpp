#include "screens/AllScreens.h"

namespace corvane {

void registerPorterScreens(Station &)
{
}

} // namespace corvane
