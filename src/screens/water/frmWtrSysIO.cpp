// The water system's discrete points: tank and heater thermostats, level floats,
// heaters, the recirculator pump and the drains.
#include "WaterForms.h"

namespace corvane {

namespace {
using namespace io;
constexpr ColourRef kFace = Colours::buttonFace;
constexpr ColourRef kGreen = Colours::green;
constexpr ColourRef kRed = Colours::red;

// clang-format off
constexpr LinkDesign kLinks[] = {
    {u"lblX425", u"x425"}, {u"lblX422", u"x422"}, {u"lblX460", u"x460"}, {u"lblX464", u"x464"},
    {u"lblX461", u"x461"}, {u"lblX465", u"x465"}, {u"lblY203", u"y203"}, {u"lblY207", u"y207"},
    {u"lblY263", u"y263"}, {u"lblY260", u"y260"}, {u"lblY264", u"y264"},
};
// clang-format on

// A low float or a stopped pump is the alarming "off"; an open drain the odd "on".
// clang-format off
constexpr IoIndicator kIndicators[] = {
    {u"lblX425Status", u"OFF", offOn(u"lblX425")},
    {u"lblX422Status", u"OFF", offOn(u"lblX422")},
    {u"lblX460Status", u"OFF", offOn(u"lblX460")},
    {u"lblX464Status", u"OFF", offOn(u"lblX464")},
    {u"lblX461Status", u"OFF", offOn(u"lblX461")},
    {u"lblX465Status", u"OFF", offOn(u"lblX465", kRed, kGreen)},
    {u"lblY203Status", u"OFF", offOn(u"lblY203")},
    {u"lblY207Status", u"OFF", offOn(u"lblY207")},
    {u"lblY263Status", u"OFF", offOn(u"lblY263", kRed, kGreen)},
    {u"lblY260Status", u"OFF", offOn(u"lblY260", kGreen, kFace)},
    {u"lblY264Status", u"OFF", offOn(u"lblY264", kGreen, kFace)},
};
// clang-format on

// clang-format off
constexpr PanelRow kInputs[] = {
    {u"lblWtrTnkAThermo", u"Water Tank A Thermostat", u"lblX425Status"},
    {u"lblWtrTnkBThermo", u"Water Tank B Thermostat", u"lblX422Status"},
    {u"lblHeatABrkr", u"Water Heater 1st Stage Thermostat", u"lblX460Status"},
    {u"Label8", u"Water Heater 2nd Stage Thermostat", u"lblX464Status"},
    {u"lblSwgHeatBrkr", u"Water Tank High Level Float", u"lblX461Status"},
    {u"lblWtrTempLow", u"Water Tank Low Level Float", u"lblX465Status"},
};
// clang-format on

// clang-format off
constexpr PanelRow kOutputs[] = {
    {u"lblWtrHtr1", u"Water Heater 1", nullptr, u"lblY203Status"},
    {u"lblWtrHtr2", u"Water Heater 2", nullptr, u"lblY207Status"},
    {u"lblHotWtrPump", u"Hot Water Recirculator Pump", nullptr, u"lblY263Status"},
    {u"lblWtrTnkDrain", u"Water Tank Drain", nullptr, u"lblY260Status"},
    {u"lblCarWtrDrain", u"Car Water Drain", nullptr, u"lblY264Status"},
};
// clang-format on

// clang-format off
constexpr FrameDesign kFrames[] = {
    {u"fraWtrSysIn", u"Water System Inputs", 120, 120, 4200, 2550, 700, kInputs},
    {u"fraWtrSysOut", u"Water System Outputs", 120, 2790, 4200, 2190, 700, kOutputs},
};
// clang-format on

constexpr IoDesign kDesign{
        u"frmWtrSysIO", u"Water System I/O", 4440, 5100,    Screen::SelfUnload::OnDeactivate,
        kLinks,         kIndicators,         {},   kFrames,
};
} // namespace

const IoDesign &frmWtrSysIO()
{
    return kDesign;
}

} // namespace corvane
