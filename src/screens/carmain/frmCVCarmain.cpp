#include "frmCVCarmain.h"

#include "core/alarm/AlarmLogger.h"
#include "core/alarm/AlarmRule.h"
#include "core/link/Link.h"
#include "core/time/Pulse.h"
#include "core/time/Scheduler.h"
#include "core/time/Timer.h"
#include "station/Panel.h"
#include "station/ScreenRegistry.h"
#include "station/Station.h"
#include "ui/Controls.h"
#include "ui/LinkView.h"

#include <QComboBox>
#include <QLocale>

namespace corvane {

namespace {

constexpr auto Auto = LinkMode::Automatic;
constexpr auto Manual = LinkMode::Manual;

// ---- Links, in the order the screen opens and closes them ----

// The gauges are the visible number fields (the last column).
// clang-format off
constexpr LinkDesign kLinks[] = {
    {u"lblMPHV10020", u"v10020:b", u"0", Auto, true},
    {u"lblCOdmV1002", u"v1002:db", u"0", Auto, true},
    {u"lblTOdmV1000", u"v1000:db", u"0", Auto, true},
    {u"lblWaterGallV1416", u"v1416:b", u"0", Auto, true},
    {u"lblWaterTempV1415", u"v1415:b", u"0", Auto, true},
    {u"lblFuelGallV1422", u"v1422:b", u"0", Auto, true},
    {u"lblOutAirTempV1412", u"v1412:b", u"0", Auto, true},
    {u"lblPipePsiV1413", u"v1413:b", u"0", Auto, true},
    {u"lblCylPsiV1414", u"v1414:b", u"0", Auto, true},
    {u"lblAlarmC500", u"c500", u"1", Auto},
    {u"lblAlarmC501", u"c501", u"1", Auto},
    {u"lblAlarmC510", u"c510", u"1", Auto},
    {u"lblAlarmC511", u"c511", u"1", Auto},
    {u"lblC750", u"c750", u"0", Auto},
    {u"lblC751", u"c751", u"0", Auto},
    {u"lblX227", u"x227", u"0", Auto},
    {u"lblC27", u"c27", u"1", Auto},
    {u"lblX200", u"x200", u"0", Auto},
    {u"lblX226", u"x226", u"0", Auto},
    {u"lblC302", u"c302", u"1", Auto},
    {u"lblY253", u"y253", u"1", Auto},
    {u"lblY255", u"y255", u"1", Auto},
    {u"lblX251", u"x251", u"1", Auto},
    {u"lblX252", u"x252", u"1", Auto},
    {u"lblX255", u"x255", u"1", Auto},
    {u"lblX253", u"x253", u"1", Auto},
    {u"lblX256", u"x256", u"1", Auto},
    {u"lblC22", u"c22", u"0", Manual},
};
// clang-format on

// ---- Alarm lines of the change handlers ----

// c302 has no clear text of its own; its clear follows the convention of the others,
// so the log shows when the fuel level stopped being low.
// clang-format off
constexpr AlarmRule kAlarmRules[] = {
    {u"c27", 1, 0, u"FAULT C27 Handbrake ON, Car Moving  ", u"CLEAR C27 Handbrake ON, Car Moving  "},
    {u"c302", 1, 0, u"FAULT C302 Fuel Level LOW  ", u"CLEAR C302 Fuel Level LOW  "},
    {u"x200", 0, 1, u"FAULT X200 Phase Fault Relay  ", u"CLEAR X200 Phase Fault Relay  "},
    {u"x226", 0, 1, u"FAULT X226 Generator Control OFF  ", u"CLEAR X226 Generator Control OFF  "},
};
// clang-format on

// ---- Indicators repainted by the red tick, in the tick's order ----

namespace P = Paints;

struct IndicatorRow
{
    const char16_t *control;
    Indicator rule;
    bool porterPopUpFirst = false; // the porter pop-up runs just before this row repaints
};

constexpr Outcome steady(ColourRef colour, const char16_t *caption = nullptr)
{
    return {caption, P::steady(colour)};
}
constexpr Outcome redFlash(const char16_t *caption = nullptr)
{
    return {caption, P::redFlash};
}
constexpr Outcome yellowFlash(const char16_t *caption = nullptr)
{
    return {caption, P::yellowFlash};
}

// clang-format off
constexpr IndicatorRow kIndicators[] = {
    // System lamps: the alarm wins over the warning.
    {u"cmdWtrSystem", whenEither(u"lblAlarmC500", 1, redFlash(u"Water System Alarm"), u"lblAlarmC501", 1,
                             yellowFlash(u"Water System Warning"), steady(Colours::buttonFace, u"Water System Status"))},
    {u"cmdHeatAC", whenEither(u"lblAlarmC510", 1, redFlash(u"Environmental System Alarm"), u"lblAlarmC511", 1,
                          yellowFlash(u"Environmental System Warning"),
                          steady(Colours::buttonFace, u"Environmental System Status"))},
    {u"cmdPorterfrm",
     whenValue(u"lblC751", 1, yellowFlash(u"Porter Call Active"), steady(Colours::buttonFace, u"Porter Call")), true},
    // Miscellaneous status.
    {u"lblHandBrakeStatus", whenEither(u"lblC27", 1, redFlash(u"MOVING"), u"lblX227", 0, steady(Colours::yellow, u"ON"),
                                   steady(Colours::green, u"CHECK"))},
    {u"lblX200Status", whenValue(u"lblX200", 0, redFlash(u"FAULT"), steady(Colours::green, u"OK"))},
    {u"lblX226Status", whenValue(u"lblX226", 0, yellowFlash(u"OFF"), steady(Colours::green, u"AUTO"))},
    {u"lblC302Status", whenValue(u"lblC302", 1, yellowFlash(u"LOW"), steady(Colours::green, u"OK"))},
    // Backfeed squares; their caption stays a blank.
    {u"lblY253Status", whenValue(u"lblY253", 1, redFlash(), steady(Colours::green))},
    {u"lblY255Status", whenValue(u"lblY255", 1, yellowFlash(), steady(Colours::buttonFace))},
    {u"lblX251Status", whenValue(u"lblX251", 1, yellowFlash(), steady(Colours::buttonFace))},
    {u"lblX252Status", whenValue(u"lblX252", 1, yellowFlash(), steady(Colours::buttonFace))},
    {u"lblX255Status", whenValue(u"lblX255", 1, yellowFlash(), steady(Colours::buttonFace))},
    {u"lblX253Status", whenValue(u"lblX253", 1, steady(Colours::yellow), steady(Colours::buttonFace))},
    {u"lblX256Status", whenValue(u"lblX256", 1, yellowFlash(), steady(Colours::buttonFace))},
};
// clang-format on

// ---- Screens ----

const QString kPorter = QStringLiteral("frmPorter");

// Loaded hidden with this screen, so their alarm logic runs while it is loaded.
constexpr const char16_t *kBackgroundScreens[] = {u"frmAlarmlist", u"frmEnvSystem", u"frmWtrSystem"};

// Unloaded with this screen, in this order; the car-selection window stays.
// clang-format off
constexpr const char16_t *kUnloadOrder[] = {
    u"frmACUnitIO", u"frmAirVacIO", u"frmAlarmlist", u"frmAntiFreezeIO", u"frmBlowASpeeds",
    u"frmBlowBSpeeds", u"frmBlowDmSpeeds", u"frmEnvSystem", u"frmFlrHeatIO", u"frmOvrhdBlowIO",
    u"frmOvrhdHeatIO", u"frmPorter", u"frmWtrSysIO", u"frmWtrSystem",
};
// clang-format on

struct NavigationEntry
{
    const char16_t *text;
    const char16_t *form;
};
// clang-format off
constexpr NavigationEntry kNavigation[] = {
    {u"AC Unit I/O", u"frmACUnitIO"},
    {u"Anti Freeze I/O", u"frmAntiFreezeIO"},
    {u"Blower A End Speeds", u"frmBlowASpeeds"},
    {u"Blower B End Speeds", u"frmBlowBSpeeds"},
    {u"Blower Dome Speeds", u"frmBlowDmSpeeds"},
    {u"Blower Unit I/O", u"frmOvrhdBlowIO"},
    {u"Compressed Air Vacuum I/O", u"frmAirVacIO"},
    {u"Environmental System Interface", u"frmEnvSystem"},
    {u"Floor Heat I/O", u"frmFlrHeatIO"},
    {u"Overhead Heat I/O", u"frmOvrhdHeatIO"},
    {u"Porter Interface", u"frmPorter"},
    {u"Water System Interface", u"frmWtrSystem"},
    {u"WaterSystem I/O", u"frmWtrSysIO"},
};
// clang-format on

// ---- Layout (twips) ----

constexpr int kClientWidth = 11880; // with its frame, fits a display 800 pixels wide
constexpr int kClientHeight = 8400;
constexpr int kMargin = 240;
constexpr int kClockLeft = kMargin, kClockTop = 180, kClockWidth = 5055, kClockHeight = 450;
constexpr int kGmtOffset = 1680; // where the eleven blanks of the clock text fall
constexpr int kFrameTop = 900, kFrameHeight = 2700, kFrameWidth = 3680, kFrameGap = 180;
constexpr int kLowerTop = kFrameTop + kFrameHeight + 180;
constexpr int kLowerHeight = kClientHeight - kLowerTop - kMargin;
constexpr int frameLeft(int column)
{
    return kMargin + column * (kFrameWidth + kFrameGap);
}
constexpr int kRowHeight = 360;

// clang-format off
constexpr FrameDesign kFrames[] = {
    {u"frmSpdMls", u"Speed/Miles", frameLeft(0), kFrameTop, kFrameWidth, kFrameHeight},
    {u"fraLevels", u" Undercar", frameLeft(1), kFrameTop, kFrameWidth, kFrameHeight},
    {u"fraMiscStatus", u"Misc Status", frameLeft(2), kFrameTop, kFrameWidth, kFrameHeight},
    {u"frmBackfd", u"Backfeed Status", frameLeft(0), kLowerTop, kFrameWidth, kLowerHeight},
};
// clang-format on

// A gauge row in its frame: fixed text, the value field (a link label), the unit.
struct GaugeRow
{
    const char16_t *frame;
    const char16_t *link;
    const char16_t *textName;
    const char16_t *text;
    const char16_t *unitName;
    const char16_t *unit;
    int top;
};
constexpr int kGaugeRowTop = 1320; // below the speed
constexpr int kLevelStep = 450;
// clang-format off
constexpr GaugeRow kGauges[] = {
    {u"frmSpdMls", u"lblCOdmV1002", u"lblCOdm", u"Car Odometer", u"lblCOdmMiles", u"Miles", kGaugeRowTop},
    {u"frmSpdMls", u"lblTOdmV1000", u"lblTOdm", u"Trip Odometer", u"lblTOdmMiles", u"Miles", kGaugeRowTop + 540},
    {u"fraLevels", u"lblWaterGallV1416", u"lblWaterGall", u"Water Level", u"lblWaterGallUnit", u"Gallons", 360},
    {u"fraLevels", u"lblFuelGallV1422", u"lblFuelGall", u"Fuel Level", u"lblFuelGallUnit", u"Gallons",
     360 + kLevelStep},
    {u"fraLevels", u"lblWaterTempV1415", u"lblWaterTemp", u"Water Temp", u"lblWaterTempUnit", u"Degrees",
     360 + 2 * kLevelStep},
    {u"fraLevels", u"lblPipePsiV1413", u"lblPipePsi", u"Brake Pipe", u"lblPipePsiUnit", u"PSI", 360 + 3 * kLevelStep},
    {u"fraLevels", u"lblCylPsiV1414", u"lblCylPsi", u"Brake Cyl", u"lblCylPsiUnit", u"PSI", 360 + 4 * kLevelStep},
    {u"fraMiscStatus", u"lblOutAirTempV1412", u"lblOutAirTemp", u"Outside Air Temp", u"lblOutAirTempUnit", u"Degrees",
     360 + 4 * kLevelStep},
};
// clang-format on

struct TextRow
{
    const char16_t *statusName;
    const char16_t *designCaption;
    const char16_t *textName;
    const char16_t *text;
};
// clang-format off
constexpr TextRow kMiscStatus[] = {
    {u"lblHandBrakeStatus", u"MOVING", u"lblHandBrake", u"Hand Brake"},
    {u"lblX200Status", u"FAULT", u"lblElecPhaseCtrl", u"Electrical Phase Control"},
    {u"lblX226Status", u"OFF", u"lblGenCtrl", u"Generator Control"},
    {u"lblC302Status", u"LOW", u"lblFuelLevel", u"Fuel Level"},
};
// clang-format on

// Backfeed rows, top to bottom (the red tick paints them in its own order).
// clang-format off
constexpr TextRow kBackfeedRows[] = {
    {u"lblY253Status", u" ", u"lblBkfd", u"Backfeed Off"},
    {u"lblY255Status", u" ", u"lblBkfdReq", u"Backfeed Requesting"},
    {u"lblX251Status", u" ", u"lblBkfdTranLineOpn", u"Trainline Open"},
    {u"lblX252Status", u" ", u"lblBkfd24v", u"24v On Trainline"},
    {u"lblX255Status", u" ", u"lblBkfdTranLineProv", u"Trainline Proven"},
    {u"lblX256Status", u" ", u"lblBkfdBypsHEP", u"Bypass HEP Lock"},
    {u"lblX253Status", u" ", u"lblBkfdComp", u"Backfeed Complete"},
};
// clang-format on

// The system panel along the bottom right: lamps, navigation list, four buttons.
constexpr int kPanelLeft = frameLeft(1);
constexpr int kPanelTop = kLowerTop;
constexpr int kPanelWidth = kClientWidth - kMargin - kPanelLeft;
constexpr int kPanelHeight = kLowerHeight;
constexpr int kPanelPad = 180;
constexpr int kLamp = 480, kLampGap = 120;
constexpr int kButtonsLeft = kPanelLeft + kPanelPad + 2 * kLamp + 3 * kLampGap;
constexpr int kButtonGap = 120, kButtonHeight = 1140;
constexpr int kButtonWidth = (kPanelLeft + kPanelWidth - kPanelPad - kButtonsLeft - kButtonGap) / 2;
constexpr int kComboHeight = 420;
constexpr int kBlockHeight = kComboHeight + 300 + 2 * kButtonHeight + kButtonGap;
constexpr int kComboTop = kPanelTop + (kPanelHeight - kBlockHeight) / 2;
constexpr int kButtonsTop = kComboTop + kComboHeight + 300;
constexpr int kLampTop = kButtonsTop + kButtonHeight + kButtonGap / 2 - kLamp / 2;
constexpr int kButtonsRight = kButtonsLeft + kButtonWidth + kButtonGap;
constexpr int kButtonsLower = kButtonsTop + kButtonHeight + kButtonGap;
constexpr auto Show = ButtonDesign::Show;
// clang-format off
constexpr ButtonDesign kButtons[] = {
    {u"cmdWtrSystem", u"Water System Status", kButtonsLeft, kButtonsTop, kButtonWidth, kButtonHeight, Show,
     u"frmWtrSystem"},
    {u"cmdHeatAC", u"Environmental System Status", kButtonsRight, kButtonsTop, kButtonWidth, kButtonHeight, Show,
     u"frmEnvSystem"},
    {u"cmdPorterfrm", u"Porter Call", kButtonsLeft, kButtonsLower, kButtonWidth, kButtonHeight, Show, u"frmPorter"},
    {u"cmdAlarmlistfrm", u"Alarm List", kButtonsRight, kButtonsLower, kButtonWidth, kButtonHeight, Show,
     u"frmAlarmlist"},
};
// clang-format on

QString text(const char16_t *s)
{
    return QString::fromUtf16(s);
}

QFont scaledFont(const QWidget *w, double factor, bool bold)
{
    QFont f = w->font();
    f.setPointSizeF(f.pointSizeF() * factor);
    f.setBold(bold);
    return f;
}

QLabel *makeText(QWidget *parent, const char16_t *name, const char16_t *caption, int left, int top, int width,
                 Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter)
{
    QLabel *l = makeLabel(parent, text(name), text(caption));
    l->setAlignment(align);
    placeTwips(l, left, top, width, kRowHeight);
    return l;
}

} // namespace

FrmCVCarmain::FrmCVCarmain(Station &station)
    : Screen(station, QString::fromLatin1(kFormName), QStringLiteral("Corvane Main Interface"))
{
    setClientSizeTwips(kClientWidth, kClientHeight);
    setCentred(true);
}

// ---- Construction ----

void FrmCVCarmain::build(QWidget *form)
{
    addLinks(kLinks);
    buildPanel(form, kFrames, {});
    buildTop(form);
    buildGauges(form);
    buildMiscStatus(form);
    buildBackfeed(form);
    buildSystemPanel(form);

    for (const AlarmRule &rule : kAlarmRules)
        addAlarmRule(declaredItem(rule.item), rule);

    for (const IndicatorRow &row : kIndicators) {
        addIndicator(form->findChild<QWidget *>(text(row.control)), row.rule, nullptr,
                     row.porterPopUpFirst ? std::function<void()>([this] { porterPopUp(); }) : nullptr);
    }

    // Yellow first: at each 200 ms both tick, yellow before red.
    connect(addTimer(QStringLiteral("tmrFlashYellow"), 200, true), &Timer::tick, this,
            &FrmCVCarmain::tmrFlashYellow_Timer);
    connect(addTimer(QStringLiteral("tmrFlashRed"), 200, true), &Timer::tick, this, &FrmCVCarmain::tmrFlashRed_Timer);
    connect(addTimer(QStringLiteral("tmrTime"), 1000, true), &Timer::tick, this, &FrmCVCarmain::tmrTime_Timer);
    Timer *tmrBkfdStop = addTimer(QStringLiteral("tmrBkfdStop"), 3000, false);
    auto *bkfdStop = new Pulse(tmrBkfdStop, &declaredLink(u"lblC22"), form);
    connect(form->findChild<QPushButton *>(QStringLiteral("cmdBkfdStop")), &QPushButton::clicked, bkfdStop,
            &Pulse::click);
}

void FrmCVCarmain::buildTop(QWidget *form)
{
    // The clock: time, "CST" where the blanks fall, date; red on the menu-text colour.
    QLabel *lblTime = makeLabel(form, QStringLiteral("lblTime"), QString());
    QFont clockFont(QStringLiteral("DejaVu Sans Mono"));
    clockFont.setStyleHint(QFont::Monospace);
    clockFont.setPointSizeF(14);
    clockFont.setBold(true);
    lblTime->setFont(clockFont);
    lblTime->setIndent(twips(90));
    lblTime->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setBackColour(lblTime, Colours::menuText);
    setForeColour(lblTime, Colours::red);
    placeTwips(lblTime, kClockLeft, kClockTop, kClockWidth, kClockHeight);

    QLabel *lblGMT = makeLabel(form, QStringLiteral("lblGMT"), QStringLiteral("CST"));
    lblGMT->setFont(scaledFont(lblGMT, 1.2, true));
    lblGMT->setAlignment(Qt::AlignCenter);
    setBackColour(lblGMT, Colours::black);
    setForeColour(lblGMT, Colours::red);
    placeTwips(lblGMT, kClockLeft + kGmtOffset, kClockTop + 60, 660, kClockHeight - 120);

    QLabel *lblCV = makeLabel(form, QStringLiteral("lblCV"), QStringLiteral("Vantrell Industries"));
    QFont maker = scaledFont(lblCV, 1.6, true);
    maker.setItalic(true);
    lblCV->setFont(maker);
    lblCV->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    placeTwips(lblCV, kClientWidth / 2, kClockTop, kClientWidth / 2 - kMargin, kClockHeight);

    auto *line = new QFrame(form);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    placeTwips(line, kMargin, kClockTop + kClockHeight + 60, kClientWidth - 2 * kMargin, 60);
}

void FrmCVCarmain::buildGauges(QWidget *form)
{
    // A number field: the server's text as it comes, right-aligned in a sunken box.
    auto gauge = [this](const char16_t *link, QWidget *frame, double fontScale) {
        auto *value = new LinkLabel(declaredLink(link), frame);
        value->setFrameShape(QFrame::Panel);
        value->setFrameShadow(QFrame::Sunken);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setIndent(twips(90));
        value->setFont(scaledFont(value, fontScale, true));
        setBackColour(value, Colours::white);
        value->show();
        return value;
    };
    auto frame = [form](const char16_t *name) { return form->findChild<QWidget *>(text(name)); };

    // The speed, large, with "MPH" beside it.
    QWidget *speedFrame = frame(u"frmSpdMls");
    LinkLabel *speed = gauge(u"lblMPHV10020", speedFrame, 2.8);
    placeTwips(speed, 240, 360, 2040, 780);
    QLabel *mph = makeText(speedFrame, u"lblMPH", u"MPH", 2400, 600, 1080);
    mph->setFont(scaledFont(mph, 1.6, true));
    describe(speed, QStringLiteral("Speed"), mph->text());

    for (const GaugeRow &g : kGauges) {
        QWidget *parent = frame(g.frame);
        makeText(parent, g.textName, g.text, 240, g.top, 1320);
        LinkLabel *value = gauge(g.link, parent, 1.1);
        placeTwips(value, 1560, g.top, 1200, kRowHeight);
        describe(value, text(g.text), text(g.unit));
        makeText(parent, g.unitName, g.unit, 2880, g.top, 720);
    }
}

void FrmCVCarmain::buildMiscStatus(QWidget *form)
{
    QWidget *frame = form->findChild<QWidget *>(QStringLiteral("fraMiscStatus"));
    int top = 360;
    for (const TextRow &r : kMiscStatus) {
        QLabel *status = makeStatusLabel(frame, text(r.statusName), text(r.designCaption));
        status->setFont(scaledFont(status, 1.0, true));
        placeTwips(status, 240, top, 1080, kRowHeight);
        makeText(frame, r.textName, r.text, 1440, top, 2160);
        describe(status, text(r.text));
        top += kLevelStep;
    }
}

void FrmCVCarmain::buildBackfeed(QWidget *form)
{
    QWidget *frame = form->findChild<QWidget *>(QStringLiteral("frmBackfd"));
    constexpr int kSquare = 300, kStep = 450;
    int top = 420;
    for (const TextRow &r : kBackfeedRows) {
        QLabel *square = makeStatusLabel(frame, text(r.statusName), text(r.designCaption));
        placeTwips(square, 300, top, kSquare, kSquare);
        makeText(frame, r.textName, r.text, 780, top - (kRowHeight - kSquare) / 2, 2700);
        describe(square, text(r.text));
        top += kStep;
    }
    QPushButton *stop = makeButton(frame, QStringLiteral("cmdBkfdStop"), QStringLiteral("Backfeed Stop"));
    stop->setFont(scaledFont(stop, 1.1, true));
    placeTwips(stop, 600, kLowerHeight - 840, kFrameWidth - 1200, 540);
}

void FrmCVCarmain::buildSystemPanel(QWidget *form)
{
    auto *panel = new QFrame(form);
    panel->setObjectName(QStringLiteral("Shape1"));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);
    placeTwips(panel, kPanelLeft, kPanelTop, kPanelWidth, kPanelHeight);

    auto *Combo1 = new QComboBox(form);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    for (const NavigationEntry &e : kNavigation)
        Combo1->addItem(text(e.text));
    Combo1->setCurrentIndex(-1);
    Combo1->setMaxVisibleItems(int(std::size(kNavigation)));
    placeTwips(Combo1, kButtonsLeft, kComboTop, 2 * kButtonWidth + kButtonGap, kComboHeight);
    connect(Combo1, &QComboBox::activated, this, &FrmCVCarmain::Combo1_Click);

    for (QPushButton *button : buildButtons(form, kButtons, station().screens()))
        button->setFont(scaledFont(button, 1.0, true));

    QFrame *Shape19 = makeShape(form, QStringLiteral("Shape19"));
    placeTwips(Shape19, kPanelLeft + kPanelPad + kLampGap, kLampTop, kLamp, kLamp);
    QFrame *Shape20 = makeShape(form, QStringLiteral("Shape20"));
    placeTwips(Shape20, kPanelLeft + kPanelPad + kLamp + 2 * kLampGap, kLampTop, kLamp, kLamp);
}

// ---- Load and unload ----

void FrmCVCarmain::formLoad()
{
    for (const char16_t *name : kBackgroundScreens) {
        station().screens().load(text(name));
        if (Screen *s = station().screens().find(text(name)))
            s->setHeldBy(this);
    }
}

void FrmCVCarmain::formUnload()
{
    for (const char16_t *name : kUnloadOrder)
        station().screens().unload(text(name));
}

// ---- Handlers ----

void FrmCVCarmain::tmrFlashYellow_Timer()
{
    m_flash.advanceYellow();
    setBackColour(control<QWidget>(QStringLiteral("Shape20")), m_flash.yellow());
}

void FrmCVCarmain::tmrFlashRed_Timer()
{
    m_flash.advanceRed();
    setBackColour(control<QWidget>(QStringLiteral("Shape19")), m_flash.red());
    repaintIndicators(&m_flash); // the porter pop-up runs in its row's turn
}

void FrmCVCarmain::porterPopUp()
{
    // Again on every tick while the call stands: a hidden or unloaded porter screen
    // comes back; one already showing is left alone (not activated again).
    if (declaredLink(u"lblC750").reads(1))
        station().screens().makeVisible(kPorter);
}

void FrmCVCarmain::tmrTime_Timer()
{
    const QDateTime now = station().scheduler().now();
    corvane::setCaption(control<QLabel>(QStringLiteral("lblTime")),
                        QLocale::c().toString(now, QStringLiteral("HH:mm           MM/dd/yyyy")));
}

void FrmCVCarmain::Combo1_Click()
{
    const QString selected = control<QComboBox>(QStringLiteral("Combo1"))->currentText();
    for (const NavigationEntry &e : kNavigation) {
        if (selected == QStringView(e.text))
            station().screens().show(text(e.form));
    }
}

} // namespace corvane
