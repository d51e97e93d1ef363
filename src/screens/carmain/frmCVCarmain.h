#pragma once

#include "core/time/FlashGenerator.h"
#include "core/screen/Indicator.h"
#include "core/screen/Screen.h"

#include <QList>
#include <vector>

class QComboBox;
class QFrame;
class QLabel;

namespace corvane {

class LinkControl;
class LinkLabel;
class Pulse;

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
    void released() override;

private:
    void buildTop(QWidget *form);
    void buildLinks(QWidget *form);
    void buildGauges(QWidget *form);
    void buildMiscStatus(QWidget *form);
    void buildBackfeed(QWidget *form);
    void buildSystemPanel(QWidget *form);
    LinkLabel *linkNamed(const char16_t *name) const;

    void tmrFlashYellow_Timer();
    void tmrFlashRed_Timer();
    void tmrTime_Timer();
    void Combo1_Click();
    void paintIndicators(qsizetype from, qsizetype to);
    void porterPopUp();

    FlashGenerators m_flash;

    QList<LinkControl *> m_links; // in the order they open and close
    std::vector<LinkLabel *> m_linkLabels;
    std::vector<LiveIndicator> m_indicators;
    LinkLabel *lblC750 = nullptr;
    Pulse *m_bkfdStop = nullptr;
    QLabel *lblTime = nullptr;
    QFrame *Shape19 = nullptr;
    QFrame *Shape20 = nullptr;
    QComboBox *Combo1 = nullptr;
};

} // namespace corvane
