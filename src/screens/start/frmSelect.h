#pragma once

#include "station/Screen.h"

class QLabel;
class QPushButton;

namespace corvane {

// The first window: offers the cars and shows whether the data server's link to the
// Corvane's PLC is active.
class FrmSelect : public Screen
{
    Q_OBJECT
public:
    static constexpr char kFormName[] = "frmSelect";
    explicit FrmSelect(Station &station);

protected:
    void build(QWidget *form) override;

private:
    void cmdCV_Click();
    void cmdCVReActvLink_Click();
    void tmrFlash_Timer();
};

} // namespace corvane
