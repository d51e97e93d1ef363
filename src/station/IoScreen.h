#pragma once

#include "station/Panel.h"
#include "station/Screen.h"
#include "ui/Indicator.h"

#include <span>

namespace corvane {

// One status label of an I/O screen: its design caption and its repaint rule.
struct IoIndicator
{
    const char16_t *name; // the status label
    const char16_t *design;
    Indicator rule;
};

// A number field derived from a link at every tick: source / divisor.
struct ScaledReading
{
    const char16_t *target;
    const char16_t *source;
    double divisor;
};

// An I/O screen as data: caption and size, links in their open order, status labels
// in their repaint order, the layout, and the buttons that open other screens.
struct IoDesign
{
    const char16_t *form;
    const char16_t *caption;
    int width, height;
    Screen::SelfUnload closeOn;
    std::span<const LinkDesign> links;
    std::span<const IoIndicator> indicators;
    std::span<const PanelLabel> labels;
    std::span<const FrameDesign> frames;
    std::span<const ButtonDesign> buttons = {};
    const ScaledReading *reading = nullptr;
};

// The rule kinds of the I/O screens. Each is decided here once for all seven screens.
namespace io {
inline constexpr Outcome kIdleFace{u"0", Paints::steady(Colours::buttonFace)};

// Exactly 0 is off; every other value (1, 2, a fraction, a word) is on.
constexpr Indicator zeroOrOther(const char16_t *link, Outcome zero, Outcome other)
{
    return whenValue(link, 0, zero, other);
}
// "OFF" for exactly 0, "ON" otherwise, in the point's colours.
constexpr Indicator offOn(const char16_t *link, ColourRef off = Colours::buttonFace, ColourRef on = Colours::green)
{
    return zeroOrOther(link, Outcome{u"OFF", Paints::steady(off)}, Outcome{u"ON", Paints::steady(on)});
}
// The summer/winter switch: 0 is winter.
constexpr Indicator summerWinter(const char16_t *link)
{
    return zeroOrOther(link, Outcome{u"WINTER", Paints::steady(Colours::yellow)},
                       Outcome{u"SUMMER", Paints::steady(Colours::green)});
}

// Active only for exactly 1; every other value shows the idle text on button face.
constexpr Indicator activeForOne(const char16_t *link, Outcome active, const char16_t *idle)
{
    return whenValue(link, 1, active, Outcome{idle, Paints::steady(Colours::buttonFace)});
}
// An AC solenoid: "A" or "B" on cyan, else "0".
constexpr Indicator solenoid(const char16_t *link, const char16_t *stage)
{
    return activeForOne(link, Outcome{stage, Paints::steady(Colours::cyan)}, u"0");
}
// A heat thermostat, relay or output: "ON" on orange, else "OFF".
constexpr Indicator heatOn(const char16_t *link)
{
    return activeForOne(link, Outcome{u"ON", Paints::steady(Colours::orange)}, u"OFF");
}

// A two-stage thermostat: "2nd" when stage 2 reads 1, else "1st" when stage 1 reads 1,
// else "0". Stage 1 is read only when stage 2 is not 1.
constexpr Indicator stages(const char16_t *stage2, const char16_t *stage1, ColourRef second, ColourRef first)
{
    return whenEither(stage2, 1, Outcome{u"2nd", Paints::steady(second)}, stage1, 1,
                      Outcome{u"1st", Paints::steady(first)}, kIdleFace);
}
constexpr Indicator acStages(const char16_t *stage2, const char16_t *stage1)
{
    return stages(stage2, stage1, Colours::cyan, Colours::lightCyan);
}
constexpr Indicator heatStages(const char16_t *stage2, const char16_t *stage1)
{
    return stages(stage2, stage1, Colours::orange, Colours::lightOrange);
}
} // namespace io

// An I/O screen: links opened at load and closed at unload, every status label
// repainted from the links by tmrFlash every 200 ms. Nothing flashes, nothing is
// written, no alarm line is raised.
class IoScreen : public Screen
{
    Q_OBJECT
public:
    IoScreen(Station &station, const IoDesign &design);

protected:
    void build(QWidget *form) override;

private:
    void tmrFlash_Timer();

    const IoDesign &m_design;
};

} // namespace corvane
