#include "SimModule.h"

#include <memory>

namespace corvane::sim {

std::unique_ptr<SimModule> makeCarMainSim(SimContext &)
{
    return nullptr; // this part of the car is not simulated yet
}

} // namespace corvane::sim
