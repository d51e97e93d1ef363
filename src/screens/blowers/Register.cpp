#include "screens/AllScreens.h"

namespace corvane {

void registerBlowerScreens(Station &)
{
}

} // namespace corvane
