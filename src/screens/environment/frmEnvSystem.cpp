// The environmental system screen: the air-conditioning units, the overhead and dome
// blowers and the overhead heat, with their alarm lines and the c512 reset.
#include "EnvironmentForms.h"

namespace corvane {

namespace {
using namespace summary;
namespace P = Paints;

// An AC unit control switch: OFF (item at 0) wins over HAND (the HAND item at 1).
constexpr Indicator controlSwitch(const char16_t *hand)
{
    return whenEither(nullptr, 0, Outcome{u"OFF", P::redFlash}, hand, 1, Outcome{u"HAND", P::yellowFlash},
                      Outcome{u"Auto", P::steady(Colours::green)});
}

// Each frame's items in link order; the frames follow one another in it. The rows
// and the repaint follow the same order.
// clang-format off
constexpr SummaryItem kAcAlarms[] = {
    {u"lblC204", u"1",
     {u"c204", 1, 0, u"FAULT C204 AC Compressor A High Motor Temp  ", u"CLEAR C204 AC Compressor A High Motor Temp  "},
     u"lblC204Status", u"HIGH", u"lblACCmpAMtrTmp", u"AC Compressor A Motor Temp",
     flashWhen(1, u"HIGH", P::redFlash)},
    {u"lblC203", u"1",
     {u"c203", 1, 0, u"FAULT C203 AC Compressor A High Head Pressure  ",
      u"CLEAR C203 AC Compressor A High Head Pressure  "},
     u"lblC203Status", u"HIGH", u"lblACCmpAHdPres", u"AC Compressor A Head Press",
     flashWhen(1, u"HIGH", P::redFlash)},
    {u"lblC200", u"1",
     {u"c200", 1, 0, u"FAULT C200 AC Compressor A Low Freon Pressure  ",
      u"CLEAR C200 AC Compressor A Low Freon Pressure  "},
     u"lblC200Status", u"LOW", u"lblACCmpAFrnPres", u"AC Compressor A Freon Press",
     flashWhen(1, u"LOW", P::redFlash)},
    {u"lblC214", u"1",
     {u"c214", 1, 0, u"FAULT C214 AC Compressor B High Motor Temp  ", u"CLEAR C214 AC Compressor B High Motor Temp  "},
     u"lblC214Status", u"HIGH", u"lblACCmpBMtrTmp", u"AC Compressor B Motor Temp",
     flashWhen(1, u"HIGH", P::redFlash)},
    {u"lblC213", u"1",
     {u"c213", 1, 0, u"FAULT C213 AC Compressor B High Head Pressure  ",
      u"CLEAR C213 AC Compressor B High Head Pressure  "},
     u"lblC213Status", u"HIGH", u"lblACCmpBHdPres", u"AC Compressor B Head Press",
     flashWhen(1, u"HIGH", P::redFlash)},
    {u"lblC210", u"1",
     {u"c210", 1, 0, u"FAULT C210 AC Compressor B Low Freon Pressure  ",
      u"CLEAR C210 AC Compressor B Low Freon Pressure  "},
     u"lblC210Status", u"LOW", u"lblACCmpBFrnPres", u"AC Compressor B Freon Press",
     flashWhen(1, u"LOW", P::redFlash)},
};
// clang-format on

// clang-format off
constexpr SummaryItem kAcWarnings[] = {
    {u"lblC133", u"1",
     {u"c133", 1, 0, u"WARN C133 AC Compressor A Block Heat Breaker Tripped  ",
      u"CLEAR C133 AC Compressor A Block Heat Breaker Tripped  "},
     u"lblC133Status", u"TRIPPED", u"lblCompABlkHetBrkr", u"Comp A Block Heat Breaker",
     flashWhen(1, u"TRIPPED", P::yellowFlash)},
    {u"lblX364", u"0",
     {u"x364", 0, 1, u"WARN X364 AC Compressor A Control Switch in OFF  ",
      u"CLEAR X364 AC Compressor A Control Switch in OFF  "},
     u"lblX364Status", u"OFF", u"lblACAContrlSwtch", u"AC Unit A Control Switch", controlSwitch(u"lblX360")},
    {u"lblX360", u"1",
     {u"x360", 1, 0, u"WARN X360 AC Compressor A Control Switch in HAND  ",
      u"CLEAR X360 AC Compressor A Control Switch in HAND  "}},
    {u"lblC143", u"1",
     {u"c143", 1, 0, u"WARN C143 AC Compressor B Block Heat Breaker Tripped  ",
      u"CLEAR C143 AC Compressor B Block Heat Breaker Tripped  "},
     u"lblC143Status", u"TRIPPED", u"lblCompBBlkHetBrkr", u"Comp B Block Heat Breaker",
     flashWhen(1, u"TRIPPED", P::yellowFlash)},
    {u"lblX374", u"0",
     {u"x374", 0, 1, u"WARN X374 AC Compressor B Control Switch in OFF  ",
      u"CLEAR X374 AC Compressor B Control Switch in OFF  "},
     u"lblX374Status", u"OFF", u"lblACBContrlSwtch", u"AC Unit B Control Switch", controlSwitch(u"lblX370")},
    {u"lblX370", u"1",
     {u"x370", 1, 0, u"WARN X370 AC Compressor B Control Switch in HAND  ",
      u"CLEAR X370 AC Compressor B Control Switch in HAND  "}},
};
// clang-format on

// clang-format off
constexpr SummaryItem kOhAlarms[] = {
    {u"lblC355", u"1",
     {u"c355", 1, 0, u"FAULT C355 Overhead Blower A Switching Fault ", u"CLEAR C355 Overhead Blower A Switching Fault  "},
     u"lblC355Status", u"FAULT", u"lblABlowSwtchFlt", u"A End Blower Switching Fault",
     flashWhen(1, u"FAULT", P::redFlash)},
    {u"lblC356", u"1",
     {u"c356", 1, 0, u"FAULT C356 Overhead Blower B Switching Fault ", u"CLEAR C356 Overhead Blower B Switching Fault  "},
     u"lblC356Status", u"FAULT", u"lblBBlowSwtchFlt", u"B End Blower Switching Fault",
     flashWhen(1, u"FAULT", P::redFlash)},
    {u"lblC357", u"1",
     {u"c357", 1, 0, u"FAULT C357 Dome Overhead Blower Switching Fault ",
      u"CLEAR C357 Dome Overhead Blower Switching Fault  "},
     u"lblC357Status", u"FAULT", u"lblDmBlowSwtchFlt", u"Dome Blower Switching Fault",
     flashWhen(1, u"FAULT", P::redFlash)},
    {u"lblX407", u"0",
     {u"x407", 0, 1, u"FAULT X407 Overhead Blower A Drive Fault ", u"CLEAR X407 Overhead Blower A Drive Fault  "},
     u"lblX407Status", u"FAULT", u"lblABlowDrvFlt", u"A End Blower Drive Fault",
     flashWhen(0, u"FAULT", P::redFlash)},
    {u"lblX234", u"0",
     {u"x234", 0, 1, u"FAULT X234 Overhead Blower B Drive Fault ", u"CLEAR X234 Overhead Blower B Drive Fault  "},
     u"lblX234Status", u"FAULT", u"lblBBlowDrvFlt", u"B End Blower Drive Fault",
     flashWhen(0, u"FAULT", P::redFlash)},
    {u"lblX377", u"0",
     {u"x377", 0, 1, u"FAULT X377 Dome Overhead Blower Drive Fault ", u"CLEAR X377 Dome Overhead Blower Drive Fault  "},
     u"lblX377Status", u"FAULT", u"lblDmBlowDrvFlt", u"Dome Blower Drive Fault",
     flashWhen(0, u"FAULT", P::redFlash)},
};
// clang-format on

// clang-format off
constexpr SummaryItem kOhWarnings[] = {
    {u"lblC442", u"1",
     {u"C442", 1, 0, u"WARN C442 Overhead Heat A End Overtemp 1 Tripped ",
      u"CLEAR C442 Overhead Heat A End Overtemp 1 Tripped  "},
     u"lblC442Status", u"TRIPPED", u"lblAOHHeatOvrtmp1", u"A End OH Heat Overtemp 1",
     flashWhen(1, u"TRIPPED", P::yellowFlash)},
    {u"lblC446", u"1",
     {u"C446", 1, 0, u"WARN C446 Overhead Heat A End Overtemp 2 Tripped ",
      u"CLEAR C446 Overhead Heat A End Overtemp 2 Tripped  "},
     u"lblC446Status", u"TRIPPED", u"lblAOHHeatOvrtmp2", u"A End OH Heat Overtemp 2",
     flashWhen(1, u"TRIPPED", P::yellowFlash)},
    {u"lblC447", u"1",
     {u"C447", 1, 0, u"WARN C447 Overhead Heat B End Overtemp 1 Tripped ",
      u"CLEAR C447 Overhead Heat B End Overtemp 1 Tripped  "},
     u"lblC447Status", u"TRIPPED", u"lblBOHHeatOvrtmp1", u"B End OH Heat Overtemp 1",
     flashWhen(1, u"TRIPPED", P::yellowFlash)},
    {u"lblC451", u"0",
     {u"C451", 1, 0, u"WARN C451 Overhead Heat B End Overtemp 2 Tripped ",
      u"CLEAR C451 Overhead Heat B End Overtemp 2 Tripped  "},
     u"lblC451Status", u"TRIPPED", u"lblBOHHeatOvrtmp2", u"B End OH Heat Overtemp 2",
     flashWhen(1, u"TRIPPED", P::yellowFlash)},
    {u"lblC440", u"0",
     {u"C440", 1, 0, u"WARN C440 Dome Overhead Heat Overtemp 1 Tripped ",
      u"CLEAR C440 Dome Overhead Heat Overtemp 1 Tripped  "},
     u"lblC440Status", u"TRIPPED", u"lblDmOHHeatOvrtmp1", u"Dome OH Heat Overtemp 1",
     flashWhen(1, u"TRIPPED", P::yellowFlash)},
    {u"lblC444", u"0",
     {u"C444", 1, 0, u"WARN C444 Dome Overhead Heat Overtemp 2 Tripped ",
      u"CLEAR C444 Dome Overhead Heat Overtemp 2 Tripped  "},
     u"lblC444Status", u"TRIPPED", u"lblDmOHHeatOvrtmp2", u"Dome OH Heat Overtemp 2",
     flashWhen(1, u"TRIPPED", P::yellowFlash)},
    {u"lblC441", u"0",
     {u"C441", 1, 0, u"WARN C441 Dome 2nd Stage Overhead Heat Overtemp 2 Tripped ",
      u"CLEAR C441 Dome 2nd Stage Overhead Heat Overtemp 2 Tripped  "},
     u"lblC441Status", u"TRIPPED", u"lblDmOHHeatOvrtmp3", u"Dome OH Heat Overtemp 3",
     flashWhen(1, u"TRIPPED", P::yellowFlash)},
    {u"lblC12", u"0",
     {u"C12", 1, 0, u"WARN C12 Overhead Blower Control in Stop ", u"CLEAR C12 Overhead Blower Control in Stop  "},
     u"lblC12Status", u"STOPPED", u"lblOHBlowCntrl", u"Overhead Blower Control",
     flashWhen(1, u"STOPPED", P::yellowFlash, Outcome{u"RUN", P::steady(Colours::green)})},
};
// clang-format on

// clang-format off
constexpr SummaryFrame kFrames[] = {
    {{u"fraACUntAlrms", u"AC Unit Alarms", 120, 120, 3480, 2700}, kAcAlarms},
    {{u"fraACUntWarn", u"AC Unit Warnings", 120, 2940, 3480, 1950}, kAcWarnings},
    {{u"fraOHUntAlrm", u"Overhead Unit Alarms", 120, 5010, 3480, 2700}, kOhAlarms},
    {{u"fraOHUntWrn", u"Overhead Unit Warnings", 3840, 4020, 3540, 3690}, kOhWarnings},
};
// clang-format on

// clang-format off
constexpr ButtonDesign kButtons[] = {
    {u"cmdACUnitIO", u"AC Unit I/O", 3840, 120, 2280, 540, ButtonDesign::Show, u"frmACUnitIO"},
    {u"cmdOHBlowIO", u"Overhead Blower  I/O", 3840, 780, 2280, 540, ButtonDesign::Show, u"frmOvrhdBlowIO"},
    {u"cmdOHHeatIO", u"Overhead  Heat I/O", 3840, 1440, 2280, 540, ButtonDesign::Show, u"frmOvrhdHeatIO"},
    {u"cmdFlrHeatIO", u"Floor Heat I/O", 3840, 2100, 2280, 540, ButtonDesign::Show, u"frmFlrHeatIO"},
    {u"cmdEnvIntRst", u"Alarm Warning Reset", 3840, 3000, 2280, 720, ButtonDesign::Reset},
    {u"cmdHidefrmEnvSystem", u"Hide", 6480, 120, 900, 420, ButtonDesign::Hide},
};
// clang-format on

constexpr SummaryDesign kDesign{
        u"frmEnvSystem",
        u"Corvane Environmental Interface",
        7500,
        7845,
        Screen::SelfUnload::Never, // deactivation does nothing: it stays loaded with the main screen
        LinkDesign{u"lblEnvSysRstC512", u"c512", u"0", LinkMode::Manual},
        kFrames,
        kButtons,
};
} // namespace

const SummaryDesign &frmEnvSystem()
{
    return kDesign;
}

} // namespace corvane
