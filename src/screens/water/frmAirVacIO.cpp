// The compressed air and vacuum toilet system: compressor inputs, the vacuum reading
// and the outputs.
#include "WaterForms.h"

namespace corvane {

namespace {
using namespace io;

// clang-format off
constexpr LinkDesign kLinks[] = {
    {u"lblX222", u"x222"}, {u"lblX402", u"x402"}, {u"lblY213", u"y213"}, {u"lblY217", u"y217"},
    {u"lblY221", u"y221"}, {u"lblY267", u"y267"}, {u"lblY317", u"y317"},
    {u"lblVacuumV1426", u"v1426:b"},
    // The drain timers' output: part of the design, never opened, nothing drives its row.
    {u"lblY303", u"y303", u"0", LinkMode::None},
};
// clang-format on

// clang-format off
constexpr IoIndicator kIndicators[] = {
    {u"lblX222Status", u"OFF", offOn(u"lblX222")},
    {u"lblX402Status", u"OFF", offOn(u"lblX402")},
    {u"lblY213Status", u"OFF", offOn(u"lblY213")},
    {u"lblY217Status", u"OFF", offOn(u"lblY217")},
    {u"lblY221Status", u"OFF", offOn(u"lblY221")},
    {u"lblY267Status", u"OFF", offOn(u"lblY267")},
    {u"lblY317Status", u"OFF", offOn(u"lblY317")},
};
// clang-format on

// clang-format off
constexpr PanelLabel kLabels[] = {
    {u"lblVacuum", u"0", PanelLabel::Value},
    {u"lblY303Status", u"OFF", PanelLabel::Undriven},
};
// clang-format on

constexpr ScaledReading kVacuum{u"lblVacuum", u"lblVacuumV1426", 10};

// clang-format off
constexpr PanelRow kInputs[] = {
    {u"lblWtrTnkAThermo", u"Air Compressor Running", u"lblX222Status"},
    {u"lblWtrTnkBThermo", u"Air Compressor Pressure Switch", u"lblX402Status"},
    {u"lblWaterTemp", u"Vacuum Transducer", u"lblVacuum"},
};
// clang-format on

// clang-format off
constexpr PanelRow kOutputs[] = {
    {u"lblWtrHtr1", u"Air Compressor", nullptr, u"lblY213Status"},
    {u"lblWtrHtr2", u"Air Compressor Drain", nullptr, u"lblY217Status"},
    {u"lblHotWtrPump", u"Sewage Tank Vacuum Solenoid", nullptr, u"lblY221Status"},
    {u"lblWtrTnkDrain", u"Vacuum System Power Supply", nullptr, u"lblY267Status"},
    {u"lblCarWtrDrain", u"Vacuum System Venturi Heater", nullptr, u"lblY317Status"},
    {u"Label9", u"Air Compressor Drain Timers", nullptr, u"lblY303Status"},
};
// clang-format on

// clang-format off
constexpr FrameDesign kFrames[] = {
    {u"fraAirVacuumIn", u"Air/Vacuum System Inputs", 120, 120, 4200, 1470, 700, kInputs},
    {u"fraAirVacuumOut", u"Air/Vacuum System Outputs", 120, 1710, 4200, 2550, 700, kOutputs},
};
// clang-format on

constexpr IoDesign kDesign{
        u"frmAirVacIO",
        u"Air/Vacuum Systems I/O",
        4440,
        4380,
        Screen::SelfUnload::OnDeactivate,
        kLinks,
        kIndicators,
        kLabels,
        kFrames,
        {},
        &kVacuum,
};
} // namespace

const IoDesign &frmAirVacIO()
{
    return kDesign;
}

} // namespace corvane
