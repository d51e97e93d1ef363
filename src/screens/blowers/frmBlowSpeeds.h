#pragma once

#include "station/Screen.h"

#include <QList>
#include <span>

class QLabel;
class QLineEdit;
class QPushButton;

namespace corvane {

class Link;

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

private:
    // Makes one row's controls at `top`, on its links.
    void addRow(QWidget *frame, const Row &row, int top);
    static void speedLink_Change(const Link &link, QLabel *status);
    static void txtEntry_Change(const QLineEdit &entry, QPushButton *button);
    static void cmdWrt_Click(const QLineEdit &entry, Link *write);

    const Unit &m_unit;
};

} // namespace corvane
