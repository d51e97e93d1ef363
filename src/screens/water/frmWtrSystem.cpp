// The water system screen: heater and heat tape breakers, tank temperature, the air
// compressor and the water levels, with their alarm lines and the c502 reset.
#include "WaterForms.h"

namespace corvane {

namespace {
using namespace summary;
namespace P = Paints;

constexpr Indicator fault(const char16_t *caption)
{
    return flashWhen(1, caption, P::redFlash);
}
constexpr Indicator warning()
{
    return flashWhen(1, u"LOW", P::yellowFlash);
}

// Each frame's items in link order; the frames follow one another in it. The rows
// and the repaint follow the same order.
// clang-format off
constexpr SummaryItem kFaults[] = {
    {u"lblT340", u"1",
     {u"t340", 1, 0, u"FAULT T340 Heat Tape A Breaker Tripped  ", u"CLEAR T340 Heat Tape A Breaker Tripped  "},
     u"lblT340Status", u"TRIPPED", u"lblHeatTapeABrkr", u"Heat Tape A breaker", fault(u"TRIPPED")},
    {u"lblT341", u"1",
     {u"t341", 1, 0, u"FAULT T341 Heat Tape B Breaker Tripped  ", u"CLEAR T341 Heat Tape B Breaker Tripped  "},
     u"lblT341Status", u"TRIPPED", u"lblHeatTapeBBrkr", u"Heat Tape B breaker", fault(u"TRIPPED")},
    {u"lblT342", u"1", {u"t342", 1, 0, u"FAULT T342 Heat A Breaker Tripped  ", u"CLEAR T342 Heat A Breaker Tripped  "},
     u"lblT342Status", u"TRIPPED", u"lblHeatABrkr", u"Heat A breaker", fault(u"TRIPPED")},
    {u"lblT343", u"1", {u"t343", 1, 0, u"FAULT T343 Heat B Breaker Tripped  ", u"CLEAR T343 Heat B Breaker Tripped  "},
     u"lblT343Status", u"TRIPPED", u"Label8", u"Heat B breaker", fault(u"TRIPPED")},
    {u"lblT344", u"1",
     {u"t344", 1, 0, u"FAULT T344 Sewage Heat Breaker Tripped  ", u"CLEAR T344 Sewage Heat Breaker Tripped  "},
     u"lblT344Status", u"TRIPPED", u"lblSwgHeatBrkr", u"Sewage Heat  breaker", fault(u"TRIPPED")},
    {u"lblC301", u"1", {u"c301", 1, 0, u"FAULT C301 Water Tank Temp Low  ", u"CLEAR C301 Water Tank Temp Low  "},
     u"lblC301Status", u"LOW", u"lblWtrTempLow", u"Water Tank Temp", fault(u"LOW")},
    {u"lblC354", u"1",
     {u"c354", 1, 0, u"FAULT C354 Air Compressor Switching Fault ", u"CLEAR C354 Air Compressor Switching Fault  "},
     u"lblC354Status", u"FAULT", u"lblAirComp", u"Air Compressor", fault(u"Fault")},
};
// clang-format on

// clang-format off
constexpr SummaryItem kWarnings[] = {
    {u"lblC300", u"1", {u"c300", 1, 0, u"WARN C300 Water Level Low  ", u"CLEAR C300 Water Level Low  "},
     u"lblC300Status", u"LOW", u"lblWaterLevel", u"Water Level", warning()},
    {u"lblC366", u"1",
     {u"c366", 1, 0, u"WARN C366 Water Heater 1 Level Low  ", u"CLEAR C366 Water Heater 1 Level Low  "},
     u"lblC366Status", u"LOW", u"lblWaterHeater1Level", u"Water Heater 1 Level", warning()},
    {u"lblC363", u"1",
     {u"c363", 1, 0, u"WARN C363 Water Heater 2 Level Low  ", u"CLEAR C363 Water Heater 2 Level Low  "},
     u"lblC363Status", u"LOW", u"lblWaterHeater2Level", u"Water Heater 2 Level", warning()},
};
// clang-format on

// clang-format off
constexpr SummaryFrame kFrames[] = {
    {{u"fraWtrSysFaults", u"Water System Faults", 120, 120, 4200, 2940}, kFaults},
    {{u"fraWtrSysWarn", u"Water System Warnings", 120, 3180, 4200, 1440}, kWarnings},
};
// clang-format on

// clang-format off
constexpr ButtonDesign kButtons[] = {
    {u"cmdHidefrmWtrSystem", u"Hide", 4440, 120, 1920, 420, ButtonDesign::Hide},
    {u"cmdWtrSysIO", u"Water System I/O", 4440, 840, 1920, 540, ButtonDesign::Show, u"frmWtrSysIO"},
    {u"cmdAntiFrezIO", u"Anti Freeze  I/O", 4440, 1560, 1920, 540, ButtonDesign::Show, u"frmAntiFreezeIO"},
    {u"cmdAirVacIO", u"Air/Vacuum I/O", 4440, 2280, 1920, 540, ButtonDesign::Show, u"frmAirVacIO"},
    {u"cmdWtrSysRst", u"Alarm Warning Reset", 4440, 3480, 1920, 720, ButtonDesign::Reset},
};
// clang-format on

constexpr SummaryDesign kDesign{
        u"frmWtrSystem",
        u"Corvane Water System Interface",
        6480,
        4740,
        // Its buttons hold the focus while it is active, so in use it stays loaded.
        Screen::SelfUnload::OnLostFocus,
        LinkDesign{u"lblWtrSysRstC502", u"c502", u"0", LinkMode::Manual},
        kFrames,
        kButtons,
};
} // namespace

const SummaryDesign &frmWtrSystem()
{
    return kDesign;
}

} // namespace corvane
