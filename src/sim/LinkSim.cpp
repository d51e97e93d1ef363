#include "SimModule.h"

#include <memory>

namespace corvane::sim {

namespace {

// The data server's own items about its link to the car's PLC.
class LinkSim final : public SimModule
{
public:
    using SimModule::SimModule;
    void start() override
    {
        ctx().set(QStringLiteral("Status"), QStringLiteral("1"));
        ctx().set(QStringLiteral("Enable"), QStringLiteral("0"));
    }
    void step() override { }
};

} // namespace

std::unique_ptr<SimModule> makeLinkSim(SimContext &ctx)
{
    return std::make_unique<LinkSim>(ctx);
}

} // namespace corvane::sim
