#pragma once

#include "core/alarm/AlarmRule.h"
#include "station/Panel.h"
#include "station/Screen.h"
#include "ui/FlashGenerator.h"
#include "ui/Indicator.h"

#include <span>

namespace corvane {

class Pulse;

// One monitored item of an alarm summary screen (the environmental and water system
// screens): its link label, its alarm lines, and its status label with the rule the
// red flash tick paints it by.
struct SummaryItem
{
    const char16_t *link;
    const char16_t *design;           // the link label's design caption
    AlarmRule alarm;                  // item, active and inactive value, both messages
    const char16_t *status = nullptr; // nullptr: it only feeds another item's status label
    const char16_t *statusDesign = nullptr;
    const char16_t *textName = nullptr;
    const char16_t *text = nullptr;
    Indicator rule{}; // a test without a link name reads this item
};

// A frame of a summary screen and its items; an item with a status label is a row.
struct SummaryFrame
{
    FrameDesign frame;
    std::span<const SummaryItem> items;
};

struct SummaryDesign
{
    const char16_t *form;
    const char16_t *caption;
    int width, height;
    Screen::SelfUnload closeOn;
    // The manual link the reset pulse writes, opened after the items.
    LinkDesign reset;
    // Their items, frame after frame, are the link order; the repaint follows it.
    std::span<const SummaryFrame> frames;
    std::span<const ButtonDesign> buttons;
};

// Status rule kinds of the summary screens.
namespace summary {
inline constexpr Outcome kOkGreen{u"OK", Paints::steady(Colours::green)};

// The item at `value` flashes `caption`; any other value is "OK" on green.
constexpr Indicator flashWhen(double value, const char16_t *caption, Paint flash, Outcome other = kOkGreen)
{
    return whenValue(nullptr, value, Outcome{caption, flash}, other);
}
} // namespace summary

// A summary screen: its items raise their alarm lines on every change to the active or
// inactive value, the red flash tick repaints every status label from the links, and
// "Alarm Warning Reset" sends a 3 s pulse on the reset item. Its links, timers and
// alarm lines run while it is loaded, shown or hidden.
class AlarmSummaryScreen : public Screen
{
    Q_OBJECT
public:
    static constexpr int kResetPulseMs = 3000;

    AlarmSummaryScreen(Station &station, const SummaryDesign &design);

protected:
    void build(QWidget *form) override;

private:
    template<typename Visit>
    void forEachItem(Visit visit) const;
    void tmrFlashRed_Timer();
    void tmrFlashYellow_Timer();

    const SummaryDesign &m_design;
    FlashGenerators m_flash; // of the screen object: it carries on across unload and reload
};

} // namespace corvane
