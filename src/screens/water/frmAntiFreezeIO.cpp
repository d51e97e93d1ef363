// The anti-freeze points: tank thermostats, summer/winter operation and the water
// temperature; heat tapes, tank and sewage heat, the drain anti-freeze heaters.
#include "WaterForms.h"

namespace corvane {

namespace {
using namespace io;

// clang-format off
constexpr LinkDesign kLinks[] = {
    {u"lblX425", u"x425"}, {u"lblX422", u"x422"}, {u"lblC10", u"c10"}, {u"lblY262", u"y262"},
    {u"lblY266", u"y266"}, {u"lblY261", u"y261"}, {u"lblY265", u"y265"}, {u"lblY220", u"y220"},
    {u"lblY303", u"y303"}, {u"lblY306", u"y306"}, {u"lblY307", u"y307"},
    // Shown as the server delivers it; the timer never touches it.
    {u"lblWaterTempv1415", u"v1415:b", u"0", LinkMode::Automatic, true},
};
// clang-format on

// clang-format off
constexpr IoIndicator kIndicators[] = {
    {u"lblX425Status", u"OFF", offOn(u"lblX425")},
    {u"lblX422Status", u"OFF", offOn(u"lblX422")},
    {u"lblC10Status", u"WINTER", summerWinter(u"lblC10")},
    {u"lblY262Status", u"OFF", offOn(u"lblY262")},
    {u"lblY266Status", u"OFF", offOn(u"lblY266")},
    {u"lblY261Status", u"OFF", offOn(u"lblY261")},
    {u"lblY265Status", u"OFF", offOn(u"lblY265")},
    {u"lblY220Status", u"OFF", offOn(u"lblY220")},
    {u"lblY303Status", u"OFF", offOn(u"lblY303")},
    {u"lblY306Status", u"OFF", offOn(u"lblY306")},
    {u"lblY307Status", u"OFF", offOn(u"lblY307")},
};
// clang-format on

// clang-format off
constexpr PanelRow kInputs[] = {
    {u"lblWtrTnkAThermo", u"Water Tank A Thermostat", u"lblX425Status"},
    {u"lblWtrTnkBThermo", u"Water Tank B Thermostat", u"lblX422Status"},
    {u"lblSummrWinter", u"Summer/Winter Operation", u"lblC10Status"},
    {u"lblWaterTemp", u"water temp", u"lblWaterTempv1415"},
};
// clang-format on

// clang-format off
constexpr PanelRow kOutputs[] = {
    {u"lblWtrHtr1", u"Water Tank Heat Tape A", nullptr, u"lblY262Status"},
    {u"lblWtrHtr2", u"Water Tank Heat Tape B", nullptr, u"lblY266Status"},
    {u"lblHotWtrPump", u"Water Tank Heat A", nullptr, u"lblY261Status"},
    {u"lblWtrTnkDrain", u"Water Tank Heat B", nullptr, u"lblY265Status"},
    {u"lblCarWtrDrain", u"Sewage Tank Heat", nullptr, u"lblY220Status"},
    {u"Label9", u"B end Drain Anti Freeze", nullptr, u"lblY303Status"},
    {u"Label8", u"A end Drain Anti Freeze", nullptr, u"lblY306Status"},
    {u"Label7", u"Mid Car Drain Anti Freeze", nullptr, u"lblY307Status"},
};
// clang-format on

// clang-format off
constexpr FrameDesign kFrames[] = {
    {u"fraAntiFreezeIn", u"Anti Freeze System Inputs", 120, 120, 4200, 1830, 800, kInputs},
    {u"fraAntiFreezeOut", u"Anti Freeze System Outputs", 120, 2070, 4200, 3270, 800, kOutputs},
};
// clang-format on

constexpr IoDesign kDesign{
        u"frmAntiFreezeIO",
        u"Anti Freeze I/O",
        4440,
        5460,
        // It has no control that takes the focus, so its window holds it while active.
        Screen::SelfUnload::OnLostFocus,
        kLinks,
        kIndicators,
        {},
        kFrames,
};
} // namespace

const IoDesign &frmAntiFreezeIO()
{
    return kDesign;
}

} // namespace corvane
