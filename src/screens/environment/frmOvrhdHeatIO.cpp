// The overhead heat: each unit's thermostat and heat relays, the dome defrost outputs.
#include "EnvironmentForms.h"

namespace corvane {

namespace {
using namespace io;

// clang-format off
constexpr LinkDesign kLinks[] = {
    {u"lblX410", u"x410"}, {u"lblY310", u"y310"}, {u"lblX214", u"x214"}, {u"lblX211", u"x211"},
    {u"lblY314", u"y314"}, {u"lblY311", u"y311"}, {u"lblX414", u"x414"}, {u"lblX411", u"x411"},
    {u"lblY315", u"y315"}, {u"lblY312", u"y312"}, {u"lblY240", u"y240"}, {u"lblY244", u"y244"},
};
// clang-format on

// Repaint order: the thermostats, then the outputs.
// clang-format off
constexpr IoIndicator kIndicators[] = {
    {u"lblX410Status", u"0", heatOn(u"lblX410")},
    {u"lblX214Status", u"0", heatStages(u"lblX211", u"lblX214")},
    {u"lblX414Status", u"0", heatStages(u"lblX411", u"lblX414")},
    {u"lblY310Status", u"0", heatOn(u"lblY310")},
    {u"lblY314Status", u"0", heatOn(u"lblY314")},
    {u"lblY311Status", u"0", heatOn(u"lblY311")},
    {u"lblY315Status", u"0", heatOn(u"lblY315")},
    {u"lblY312Status", u"0", heatOn(u"lblY312")},
    {u"lblY240Status", u"0", heatOn(u"lblY240")},
    {u"lblY244Status", u"0", heatOn(u"lblY244")},
};
// clang-format on

// clang-format off
constexpr PanelRow kRows[] = {
    {u"lblAEndOHHtThermo", u"A End OH Heat Thermostat", u"lblX410Status"},
    {u"lblAEndOHHtRly", u"A End OH Heat Relay", nullptr, u"lblY310Status"},
    {u"lblBEndOHHtThermo", u"B End OH Heat Thermostat", u"lblX214Status"},
    {u"lblBEndOHHtRly", u"B End OH Heat Relays", nullptr, u"lblY314Status", u"lblY311Status"},
    {u"lblDmOHHtThermo", u"Dome OH Heat Thermostat", u"lblX414Status"},
    {u"lblDmOHHtRly", u"Dome OH Heat Relays", nullptr, u"lblY315Status", u"lblY312Status"},
    {u"lblDmDfrstFns", u"Dome Defrost Fans", nullptr, u"lblY240Status"},
    {u"lblDmDfrstHtrs", u"Dome Defrost Heaters", nullptr, u"lblY244Status"},
};
// clang-format on

constexpr FrameDesign kFrames[] = {
        {u"fraOvrhdHeatIO", u"Overhead Heat IO", 120, 120, 4245, 4320, 600, kRows},
};

constexpr IoDesign kDesign{
        u"frmOvrhdHeatIO", u"Overhead Heat I/O", 4485, 4560, Screen::SelfUnload::OnDeactivate, kLinks, kIndicators, {},
        kFrames,
};
} // namespace

const IoDesign &frmOvrhdHeatIO()
{
    return kDesign;
}

} // namespace corvane
