// The thirteen floor heat zones: each zone's thermostat input and heat output.
#include "EnvironmentForms.h"

namespace corvane {

namespace {
using namespace io;

// The thermostats top to bottom, then the outputs top to bottom.
// clang-format off
constexpr LinkDesign kLinks[] = {
    {u"lblX212", u"x212"}, {u"lblX216", u"x216"}, {u"lblX213", u"x213"}, {u"lblX217", u"x217"},
    {u"lblX424", u"x424"}, {u"lblX421", u"x421"}, {u"lblX412", u"x412"}, {u"lblX215", u"x215"},
    {u"lblX416", u"x416"}, {u"lblX415", u"x415"}, {u"lblX413", u"x413"}, {u"lblX210", u"x210"},
    {u"lblX417", u"x417"},
    {u"lblY234", u"y234"}, {u"lblY231", u"y231"}, {u"lblY235", u"y235"}, {u"lblY232", u"y232"},
    {u"lblY233", u"y233"}, {u"lblY236", u"y236"}, {u"lblY226", u"y226"}, {u"lblY223", u"y223"},
    {u"lblY227", u"y227"}, {u"lblY230", u"y230"}, {u"lblY225", u"y225"}, {u"lblY237", u"y237"},
    {u"lblY222", u"y222"},
};
// clang-format on

// clang-format off
constexpr IoIndicator kIndicators[] = {
    {u"lblX212Status", u"OFF", heatOn(u"lblX212")}, {u"lblX216Status", u"OFF", heatOn(u"lblX216")},
    {u"lblX213Status", u"OFF", heatOn(u"lblX213")}, {u"lblX217Status", u"OFF", heatOn(u"lblX217")},
    {u"lblX424Status", u"OFF", heatOn(u"lblX424")}, {u"lblX421Status", u"OFF", heatOn(u"lblX421")},
    {u"lblX412Status", u"OFF", heatOn(u"lblX412")}, {u"lblX215Status", u"OFF", heatOn(u"lblX215")},
    {u"lblX416Status", u"OFF", heatOn(u"lblX416")}, {u"lblX415Status", u"OFF", heatOn(u"lblX415")},
    {u"lblX413Status", u"OFF", heatOn(u"lblX413")}, {u"lblX210Status", u"OFF", heatOn(u"lblX210")},
    {u"lblX417Status", u"OFF", heatOn(u"lblX417")},
    {u"lblY234Status", u"OFF", heatOn(u"lblY234")}, {u"lblY231Status", u"OFF", heatOn(u"lblY231")},
    {u"lblY235Status", u"OFF", heatOn(u"lblY235")}, {u"lblY232Status", u"OFF", heatOn(u"lblY232")},
    {u"lblY233Status", u"OFF", heatOn(u"lblY233")}, {u"lblY236Status", u"OFF", heatOn(u"lblY236")},
    {u"lblY226Status", u"OFF", heatOn(u"lblY226")}, {u"lblY223Status", u"OFF", heatOn(u"lblY223")},
    {u"lblY227Status", u"OFF", heatOn(u"lblY227")}, {u"lblY230Status", u"OFF", heatOn(u"lblY230")},
    {u"lblY225Status", u"OFF", heatOn(u"lblY225")}, {u"lblY237Status", u"OFF", heatOn(u"lblY237")},
    {u"lblY222Status", u"OFF", heatOn(u"lblY222")},
};
// clang-format on

// The column headings; "Outputs" carries a status label's name but is never painted.
// clang-format off
constexpr PanelLabel kLabels[] = {
    {u"Label15", u"Thermostats", PanelLabel::Heading},
    {u"lblY262Status", u"Outputs", PanelLabel::Heading},
};
// clang-format on

// clang-format off
constexpr PanelRow kRows[] = {
    {nullptr, nullptr, u"Label15", u"lblY262Status"},
    {u"lblDrwAFlrHt", u"Drawing Room A Floor Heat", u"lblX212Status", u"lblY234Status"},
    {u"lblDrwABthFlrHt", u"Drawing Room A Bath Floor Heat", u"lblX216Status", u"lblY231Status"},
    {u"lblDrwBFlrHt", u"Drawing Room B Floor Heat", u"lblX213Status", u"lblY235Status"},
    {u"lblDrwBBthFlrHt", u"Drawing Room B Bath Floor Heat", u"lblX217Status", u"lblY232Status"},
    {u"lblCompCFlrHt", u"Compartment C Floor Heat", u"lblX424Status", u"lblY233Status"},
    {u"lblCompDFlrHt", u"Compartment D Floor Heat", u"lblX421Status", u"lblY236Status"},
    {u"lblAEndHlFlrHt", u"A End Hall Floor Heat", u"lblX412Status", u"lblY226Status"},
    {u"lblBEndHlFlrHt", u"B End Hall Floor Heat", u"lblX215Status", u"lblY223Status"},
    {u"Label29", u"Lower Hall Floor Heat", u"lblX416Status", u"lblY227Status"},
    {u"lblDmFlrHt", u"Dome Floor Heat", u"lblX415Status", u"lblY230Status"},
    {u"lblCrewFlrHt", u"Crew Room Floor Heat", u"lblX413Status", u"lblY225Status"},
    {u"lblGTFlrHt", u"General Toilet Floor Heat", u"lblX210Status", u"lblY237Status"},
    {u"lblKtchFlrHt", u"Kitchen Floor Heat", u"lblX417Status", u"lblY222Status"},
};
// clang-format on

constexpr FrameDesign kFrames[] = {
        {u"fraFlrHeatIO", u"Floor Heat IO", 120, 120, 4230, 5535, 600, kRows},
};

constexpr IoDesign kDesign{
        u"frmFlrHeatIO", u"Floor Heat I/O", 4470,    5775,    Screen::SelfUnload::OnDeactivate,
        kLinks,          kIndicators,       kLabels, kFrames,
};
} // namespace

const IoDesign &frmFlrHeatIO()
{
    return kDesign;
}

} // namespace corvane
