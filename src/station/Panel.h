#pragma once

#include "core/link/TagSource.h"

#include <QList>
#include <functional>
#include <span>

class QWidget;
class QPushButton;

namespace corvane {

class Link;
class ScreenRegistry;

// The screens made of frames of rows (the alarm summaries and the I/O screens) are
// declared as data: these tables, one layout routine. Positions are in twips.

// One link label of a screen, in its open and close order.
struct LinkDesign
{
    const char16_t *name;
    const char16_t *item;                // exactly as the server knows it ("C442", "v1415:b")
    const char16_t *design = u"0";       // the caption until the first delivery
    LinkMode mode = LinkMode::Automatic; // None: declared, never opened
    bool visible = false;                // a value shown as delivered; placed by a row
};

// One row of a frame: the text label and the controls beside it, by name. `below`
// stands just under `right` (a second relay or solenoid of the same unit) and makes
// the row two lines high.
struct PanelRow
{
    const char16_t *textName; // nullptr: a row of headings only
    const char16_t *text = nullptr;
    const char16_t *left = nullptr;
    const char16_t *right = nullptr;
    const char16_t *below = nullptr;
};

// A frame and its rows, top down; the rows share the height evenly. slotWidth is the
// width of a status label.
struct FrameDesign
{
    const char16_t *name;
    const char16_t *caption;
    int left, top, width, height;
    int slotWidth = 900;
    std::span<const PanelRow> rows = {};
};

// A label of a frame that no rule paints.
struct PanelLabel
{
    enum Kind : quint8 {
        Heading,  // a column heading
        Value,    // a number field the screen writes itself
        Undriven, // a row shown as designed that the screen never drives
    };
    const char16_t *name;
    const char16_t *caption;
    Kind kind;
};

struct ButtonDesign
{
    enum Action : quint8 { Show, Reset, Hide };
    const char16_t *name;
    const char16_t *caption;
    int left, top, width, height;
    Action action = Show;
    const char16_t *shows = nullptr; // Show: the form it opens
};

// Creates a named control of a row inside its frame; nullptr when the name is unknown.
using SlotFactory = std::function<QWidget *(QWidget *frame, const QString &name)>;

// Builds the frames, places their rows' text labels and has every named control of a
// row made by `make` inside its frame.
void buildPanel(QWidget *form, std::span<const FrameDesign> frames, const SlotFactory &make);

// The unpainted labels of a frame (headings, number fields, idle rows).
QWidget *makePanelLabel(QWidget *parent, const PanelLabel &design);

// The screen's buttons, placed; a Show button opens its form through the registry
// (a form not registered is skipped), the caller connects the other actions.
QList<QPushButton *> buildButtons(QWidget *form, std::span<const ButtonDesign> buttons, ScreenRegistry &screens);

// A view of a link that shows its value as delivered: a sunken number field.
QWidget *makeValueView(QWidget *parent, Link &link);

// The row of the named item of a table, or nullptr.
template<typename Row>
const Row *findRow(std::span<const Row> table, const QString &name)
{
    for (const Row &s : table) {
        if (QStringView(s.name) == name)
            return &s;
    }
    return nullptr;
}

} // namespace corvane
