// The overhead blowers' inputs (starter, drive, drive bypass switch of each) and the
// way to their speed setpoint screens.
#include "EnvironmentForms.h"

namespace corvane {

namespace {
using namespace io;

// clang-format off
constexpr LinkDesign kLinks[] = {
    {u"lblX202", u"x202"}, {u"lblX403", u"x403"}, {u"lblX406", u"x406"},
    {u"lblX206", u"x206"}, {u"lblX230", u"x230"}, {u"lblX231", u"x231"},
    {u"lblX203", u"x203"}, {u"lblX373", u"x373"}, {u"lblX376", u"x376"},
};
// clang-format on

// clang-format off
constexpr IoIndicator kIndicators[] = {
    {u"lblX202Status", u"OFF", offOn(u"lblX202")}, {u"lblX403Status", u"OFF", offOn(u"lblX403")},
    {u"lblX406Status", u"OFF", offOn(u"lblX406")}, {u"lblX206Status", u"OFF", offOn(u"lblX206")},
    {u"lblX230Status", u"OFF", offOn(u"lblX230")}, {u"lblX231Status", u"OFF", offOn(u"lblX231")},
    {u"lblX203Status", u"OFF", offOn(u"lblX203")}, {u"lblX373Status", u"OFF", offOn(u"lblX373")},
    {u"lblX376Status", u"OFF", offOn(u"lblX376")},
};
// clang-format on

// clang-format off
constexpr PanelRow kRows[] = {
    {u"lblOHABlowStrt", u"OH A Blower Starter", u"lblX202Status"},
    {u"lblOHABlowDrv", u"OH A Blower Drive", u"lblX403Status"},
    {u"lblOHABlowByps", u"OH A Blower Drive Bypass Switch", u"lblX406Status"},
    {u"lblOHBBlowStrt", u"OH B Blower Starter", u"lblX206Status"},
    {u"lblOHBBlowDrv", u"OH B Blower Drive", u"lblX230Status"},
    {u"lblOHBBlowByps", u"OH B Blower Drive Bypass Switch", u"lblX231Status"},
    {u"lblOHDmBlowStrt", u"OH Dome Blower Starter", u"lblX203Status"},
    {u"lblOHDmBlowDrv", u"OH Dome Blower Drive", u"lblX373Status"},
    {u"lblOHDmBlowByps", u"OH Dome Blower Drive Bypass Switch", u"lblX376Status"},
};
// clang-format on

constexpr FrameDesign kFrames[] = {
        {u"fraOHBlowIO", u"Overhead Blower Inputs", 120, 120, 3780, 4035, 600, kRows},
};

// clang-format off
constexpr ButtonDesign kButtons[] = {
    {u"cmdAOHBloSpds", u"A End Overhead Blower Speeds", 4020, 240, 1695, 720, ButtonDesign::Show, u"frmBlowASpeeds"},
    {u"cmdBOHBloSpds", u"B End Overhead Blower Speeds", 4020, 1200, 1695, 720, ButtonDesign::Show, u"frmBlowBSpeeds"},
    {u"cmdDmOHBloSpds", u"Dome Overhead Blower Speeds", 4020, 2160, 1695, 720, ButtonDesign::Show, u"frmBlowDmSpeeds"},
};
// clang-format on

constexpr IoDesign kDesign{
        u"frmOvrhdBlowIO",
        u"Overhead Blower I/O",
        5835,
        4275,
        Screen::SelfUnload::OnDeactivate,
        kLinks,
        kIndicators,
        {},
        kFrames,
        kButtons,
};
} // namespace

const IoDesign &frmOvrhdBlowIO()
{
    return kDesign;
}

} // namespace corvane
