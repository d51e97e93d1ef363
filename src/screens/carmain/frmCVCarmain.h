#pragma once

#include "core/FlashGenerator.h"
#include "core/Screen.h"

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

    // One state of an indicator: a steady colour or the current colour of one of the
    // flash generators, and the caption (none: the caption never changes).
    enum class Shade : quint8 { Steady, RedFlash, YellowFlash };
    struct Look
    {
        Shade shade;
        quint32 colour; // for Steady
        const char16_t *caption;
    };
    struct Condition
    {
        const char16_t *link; // control name of the link label; nullptr: no condition
        double value;
        Look look;
    };
    // An indicator repainted on every red tick: the first condition that holds
    // decides, else `otherwise`.
    struct IndicatorRule
    {
        const char16_t *control;
        Condition first;
        Condition second;
        Look otherwise;
    };

protected:
    void build(QWidget *form) override;
    void formLoad() override;
    void formUnload() override;
    void released() override;

private:
    struct Indicator
    {
        QWidget *control;
        const LinkLabel *first;
        const LinkLabel *second;
        const IndicatorRule *rule;
    };

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
    void paint(const Indicator &indicator);
    void paintIndicators(qsizetype from, qsizetype to);
    void porterPopUp();

    FlashGenerators m_flash;

    QList<LinkControl *> m_links; // in the order they open and close
    std::vector<LinkLabel *> m_linkLabels;
    std::vector<Indicator> m_indicators;
    LinkLabel *lblC750 = nullptr;
    Pulse *m_bkfdStop = nullptr;
    QLabel *lblTime = nullptr;
    QFrame *Shape19 = nullptr;
    QFrame *Shape20 = nullptr;
    QComboBox *Combo1 = nullptr;
};

} // namespace corvane
