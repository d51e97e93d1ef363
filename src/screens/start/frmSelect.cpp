#include "frmSelect.h"

#include "core/link/Link.h"
#include "core/time/Timer.h"
#include "station/ScreenRegistry.h"
#include "station/Station.h"
#include "ui/Controls.h"

#include <QPushButton>

namespace corvane {

namespace {
const QString kCarMain = QStringLiteral("frmCVCarmain");
constexpr int kColumnLeft[] = {240, 3000, 5760};
constexpr int kColumnWidth = 2520;
} // namespace

FrmSelect::FrmSelect(Station &station)
    : Screen(station, QString::fromLatin1(kFormName), QStringLiteral(" Ordovan"))
{
    setClientSizeTwips(8520, 2640);
    setCentred(true);
}

void FrmSelect::build(QWidget *form)
{
    QLabel *heading = makeLabel(form, QStringLiteral("lblSelection"), QStringLiteral("Select Car To Monitor"));
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.4);
    heading->setFont(bold);
    heading->setAlignment(Qt::AlignCenter);
    placeTwips(heading, 240, 180, 8040, 480);

    QPushButton *cmdLK = makeButton(form, QStringLiteral("cmdLK"), QStringLiteral("Larkspur"));
    QPushButton *cmdCV = makeButton(form, QStringLiteral("cmdCV"), QStringLiteral("Corvane"));
    QPushButton *cmdBD = makeButton(form, QStringLiteral("cmdBD"), QStringLiteral("Baggage Dorm"));
    cmdCV->setEnabled(false);
    auto *command3 = makeButton(form, QStringLiteral("Command3"), QStringLiteral("Reactivate Link"));
    auto *reactivate = makeButton(form, QStringLiteral("cmdCVReActvLink"), QStringLiteral("Click to Run Demo"));
    auto *command1 = makeButton(form, QStringLiteral("Command1"), QStringLiteral("Reactivate Link"));

    QPushButton *top[] = {cmdLK, cmdCV, cmdBD};
    QPushButton *bottom[] = {command3, reactivate, command1};
    for (int i = 0; i < 3; ++i) {
        placeTwips(top[i], kColumnLeft[i], 900, kColumnWidth, 720);
        placeTwips(bottom[i], kColumnLeft[i], 1800, kColumnWidth, 480);
    }

    // Status opens first, then Enable; they close in the order made (Enable, Status).
    // The data server's default time-out stays.
    Link *enable
            = addLink(QStringLiteral("lblCVLinkActv"), QStringLiteral("Enable"), QStringLiteral("0"), LinkMode::Manual);
    Link *status = addLink(QStringLiteral("lblCVDSDataStatus"), QStringLiteral("Status"), QStringLiteral("0"),
                           LinkMode::Automatic);
    linkSet().setOpenOrder({status, enable});
    linkSet().setTimeoutAtOpen(std::nullopt);

    Timer *tmrFlash = addTimer(QStringLiteral("tmrFlash"), 200, true);
    connect(tmrFlash, &Timer::tick, this, &FrmSelect::tmrFlash_Timer);
    connect(cmdCV, &QPushButton::clicked, this, &FrmSelect::cmdCV_Click);
    connect(reactivate, &QPushButton::clicked, this, &FrmSelect::cmdCVReActvLink_Click);
}

void FrmSelect::cmdCV_Click()
{
    station().screens().show(kCarMain);
}

void FrmSelect::cmdCVReActvLink_Click()
{
    station().screens().show(kCarMain);
}

void FrmSelect::tmrFlash_Timer()
{
    auto *cmdLK = control<QPushButton>(QStringLiteral("cmdLK"));
    auto *cmdCV = control<QPushButton>(QStringLiteral("cmdCV"));
    auto *cmdBD = control<QPushButton>(QStringLiteral("cmdBD"));
    const Link *lblCVDSDataStatus = link(u"lblCVDSDataStatus");

    paintStatus(cmdLK, Colours::yellow, QStringLiteral("Larkspur Link NOT Active"));
    cmdLK->setEnabled(false);

    if (lblCVDSDataStatus->reads(1)) {
        paintStatus(cmdCV, Colours::green, QStringLiteral("Corvane Link Active"));
        cmdCV->setEnabled(true);
    } else if (lblCVDSDataStatus->reads(0)) {
        paintStatus(cmdCV, Colours::yellow, QStringLiteral("Corvane Link NOT Active"));
        cmdCV->setEnabled(false);
    }

    paintStatus(cmdBD, Colours::yellow, QStringLiteral("Baggage Dorm Link NOT Active"));
    cmdBD->setEnabled(false);
}

} // namespace corvane
