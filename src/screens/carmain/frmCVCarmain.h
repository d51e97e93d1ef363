#pragma once

#include "station/Screen.h"
#include "ui/FlashGenerator.h"

namespace corvane {

// The main car screen, the hub of the station: gauges, miscellaneous status, the
// backfeed panel, the system alarm lamps, the clock and the navigation. While it is
// loaded it keeps the alarm list and the environmental and water screens loaded.
class FrmCVCarmain : public Screen
{
    Q_OBJECT
public:
    static constexpr char kFormName[] = "frmCVCarmain";
    explicit FrmCVCarmain(Station &station);

    const FlashGenerators &flash() const { return m_flash; }

protected:
    void build(QWidget *form) override;
    void formLoad() override;
    void formUnload() override;

private:
    void buildTop(QWidget *form);
    void buildGauges(QWidget *form);
    void buildMiscStatus(QWidget *form);
    void buildBackfeed(QWidget *form);
    void buildSystemPanel(QWidget *form);

    void tmrFlashYellow_Timer();
    void tmrFlashRed_Timer();
    void tmrTime_Timer();
    void Combo1_Click();
    void porterPopUp();

    FlashGenerators m_flash; // of the screen object: it carries on across unload and reload
};

} // namespace corvane
