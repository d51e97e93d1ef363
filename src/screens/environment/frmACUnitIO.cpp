// The AC units' raw PLC points: the undercar unit, the overhead thermostat stages and
// the solenoid outputs.
#include "EnvironmentForms.h"

namespace corvane {

namespace {
using namespace io;

// clang-format off
constexpr LinkDesign kLinks[] = {
    {u"lblX220", u"x220"}, {u"lblX224", u"x224"}, {u"lblX266", u"x266"}, {u"lblX221", u"x221"},
    {u"lblX225", u"x225"}, {u"lblX263", u"x263"}, {u"lblX400", u"x400"}, {u"lblX404", u"x404"},
    {u"lblX233", u"x233"}, {u"lblX237", u"x237"}, {u"lblX401", u"x401"}, {u"lblX405", u"x405"},
    {u"lblY204", u"y204"}, {u"lblY200", u"y200"}, {u"lblY205", u"y205"}, {u"lblY201", u"y201"},
    {u"lblY206", u"y206"}, {u"lblY202", u"y202"},
};
// clang-format on

// Repaint order.
// clang-format off
constexpr IoIndicator kIndicators[] = {
    {u"lblX220Status", u"OFF", offOn(u"lblX220")},
    {u"lblX224Status", u"OFF", offOn(u"lblX224")},
    {u"lblX266Status", u"OFF", offOn(u"lblX266")},
    {u"lblX221Status", u"OFF", offOn(u"lblX221")},
    {u"lblX225Status", u"OFF", offOn(u"lblX225")},
    {u"lblX263Status", u"OFF", offOn(u"lblX263")},
    {u"lblX400Status", u"0", acStages(u"lblX404", u"lblX400")},
    {u"lblX233Status", u"0", acStages(u"lblX237", u"lblX233")},
    {u"lblX401Status", u"0", acStages(u"lblX405", u"lblX401")},
    {u"lblY204Status", u"0", solenoid(u"lblY204", u"A")},
    {u"lblY200Status", u"0", solenoid(u"lblY200", u"B")},
    {u"lblY205Status", u"0", solenoid(u"lblY205", u"A")},
    {u"lblY201Status", u"0", solenoid(u"lblY201", u"B")},
    {u"lblY206Status", u"0", solenoid(u"lblY206", u"A")},
    {u"lblY202Status", u"0", solenoid(u"lblY202", u"B")},
};
// clang-format on

// clang-format off
constexpr PanelRow kUndercar[] = {
    {u"lblACCompA", u"AC Compressor A", u"lblX220Status"},
    {u"lblACCondA", u"AC Condensor A", u"lblX224Status"},
    {u"lblACCompABlkHet", u"AC Compressor A Block Heater", u"lblX266Status"},
    {u"lblACCompB", u"AC Compressor B", u"lblX221Status"},
    {u"lblACCondB", u"AC Condensor B", u"lblX225Status"},
    {u"lblACCompBBlkHet", u"AC Compressor B Block Heater", u"lblX263Status"},
};
// clang-format on

// clang-format off
constexpr PanelRow kOverhead[] = {
    {u"lblAEndACThermo", u"A End AC Thermostat Stages", u"lblX400Status"},
    {u"lblAEndACSolnd", u"A End AC Solenoid Stages", nullptr, u"lblY204Status", u"lblY200Status"},
    {u"lblBEndACThermo", u"B End AC Thermostat Stages", u"lblX233Status"},
    {u"lblBEndACSolnd", u"B End AC Solenoid Stages", nullptr, u"lblY205Status", u"lblY201Status"},
    {u"lblDmACThermo", u"Dome AC Thermostat Stages", u"lblX401Status"},
    {u"lblDmACSolnd", u"Dome AC Solenoid Stages", nullptr, u"lblY206Status", u"lblY202Status"},
};
// clang-format on

// clang-format off
constexpr FrameDesign kFrames[] = {
    {u"fraACUndrcrUnitIO", u"AC Undercar Unit IO", 120, 120, 4245, 2580, 700, kUndercar},
    {u"fraOvrhdACIO", u"AC Overhead Unit IO", 120, 2820, 4245, 3465, 600, kOverhead},
};
// clang-format on

constexpr IoDesign kDesign{
        u"frmACUnitIO", u"AC Unit I/O", 4485, 6405, Screen::SelfUnload::OnDeactivate, kLinks, kIndicators, {}, kFrames,
};
} // namespace

const IoDesign &frmACUnitIO()
{
    return kDesign;
}

} // namespace corvane
