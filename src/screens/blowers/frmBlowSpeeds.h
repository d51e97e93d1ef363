#pragma once

#include "core/screen/Screen.h"

#include <span>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;

namespace corvane {

class LinkControl;
class LinkLabel;
class LinkTextBox;

// The speed setpoints of one overhead blower unit: its measured speed, and for each
// operating mode the PLC's setpoint with an entry box and a "Write To PLC" button.
// One class for the A end, B end and dome units. It unloads itself when another
// window of the program becomes active.
class FrmBlowSpeeds : public Screen
{
    Q_OBJECT
public:
    // A row: its item, the caption of its row label, and its controls by name. The
    // "Actual" row has no entry box, button or write link.
    struct Row
    {
        const char *item;
        const char *caption;
        const char *label;
        const char *link;
        const char *status;
        const char *entry = nullptr;
        const char *button = nullptr;
        const char *write = nullptr;
    };
    struct Unit
    {
        const char *form;
        const char *caption;
        const char *frameCaption;
        Row actual;
        std::span<const Row> setpoints;
    };
    static std::span<const Unit> units();

    FrmBlowSpeeds(Station &station, const Unit &unit);

    // What a status label shows for a link value that is no number.
    static QString noNumberText();

protected:
    void build(QWidget *form) override;
    void formLoad() override;
    void formUnload() override;
    void released() override;

private:
    struct RowControls
    {
        LinkLabel *link;
        QLabel *status;
        QLineEdit *entry = nullptr; // none on the "Actual" row
        QPushButton *button = nullptr;
        LinkTextBox *write = nullptr;
    };

    void addRow(QWidget *frame, const Row &row);
    void speedLink_Change(std::size_t row);
    void txtEntry_Change(std::size_t row);
    void cmdWrt_Click(std::size_t row);

    const Unit &m_unit;
    std::vector<RowControls> m_rows; // "Actual" first, then the setpoints top to bottom
    QList<LinkControl *> m_links;
};

} // namespace corvane
