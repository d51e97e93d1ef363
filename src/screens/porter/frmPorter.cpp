#include "frmPorter.h"

#include "core/link/Link.h"
#include "core/time/Pulse.h"
#include "core/time/Timer.h"
#include "station/Panel.h"
#include "station/Station.h"
#include "ui/Controls.h"
#include "ui/WrapButton.h"

#include <span>

namespace corvane {

namespace {

constexpr int kButtonWidth = 975, kButtonHeight = 555;
constexpr int kLabelWidth = 1215, kLabelHeight = 255;
constexpr int kPulseMs = 1000;

// The link table: the order in which the links open and close. Drawing Room A's comm
// call tags stand swapped against the other rooms' (c623 sixth, c624 eleventh). The
// command tags the buttons write are manual links; the status tags automatic.
constexpr auto Manual = LinkMode::Manual;
// clang-format off
constexpr LinkDesign kLinks[] = {
    // Drawing Room A
    {u"lblC42", u"c42", u"0"}, {u"lblC43", u"c43", u"0"}, {u"lblV17414_0", u"v17414:0", u"0"},
    {u"lblV17414_2", u"v17414:2", u"0"}, {u"lblC604", u"c604", u"0"}, {u"lblC623", u"c623", u"0", Manual},
    {u"lblC614", u"c614", u"0"}, {u"lblC605", u"c605", u"0"}, {u"lblC600", u"c600", u"0", Manual},
    {u"lblC603", u"c603", u"0", Manual}, {u"lblC624", u"c624", u"0"}, {u"lblC613", u"c613", u"0", Manual},
    {u"lblC100", u"c100", u"0", Manual},
    // Drawing Room B
    {u"lblC44", u"c44", u"0"}, {u"lblC45", u"c45", u"0"}, {u"lblV17450_0", u"v17450:0", u"0"},
    {u"lblV17450_2", u"v17450:2", u"0"}, {u"lblC634", u"c634", u"0"}, {u"lblC654", u"c654", u"0"},
    {u"lblC644", u"c644", u"0"}, {u"lblC635", u"c635", u"0"}, {u"lblC630", u"c630", u"0", Manual},
    {u"lblC633", u"c633", u"0", Manual}, {u"lblC653", u"c653", u"0", Manual}, {u"lblC643", u"c643", u"0", Manual},
    {u"lblC101", u"c101", u"0", Manual},
    // Compartment C
    {u"lblC46", u"c46", u"0"}, {u"lblC47", u"c47", u"0"}, {u"lblV17504_0", u"v17504:0", u"0"},
    {u"lblV17504_2", u"v17504:2", u"0"}, {u"lblC664", u"c664", u"0"}, {u"lblC704", u"c704", u"0"},
    {u"lblC674", u"c674", u"0"}, {u"lblC665", u"c665", u"0"}, {u"lblC660", u"c660", u"0", Manual},
    {u"lblC663", u"c663", u"0", Manual}, {u"lblC703", u"c703", u"0", Manual}, {u"lblC673", u"c673", u"0", Manual},
    {u"lblC102", u"c102", u"0", Manual},
    // Compartment D
    {u"lblC50", u"c50", u"0"}, {u"lblC51", u"c51", u"0"}, {u"lblV17540_0", u"v17540:0", u"0"},
    {u"lblV17540_2", u"v17540:2", u"0"}, {u"lblC714", u"c714", u"0"}, {u"lblC734", u"c734", u"0"},
    {u"lblC724", u"c724", u"0"}, {u"lblC715", u"c715", u"0"}, {u"lblC710", u"c710", u"0", Manual},
    {u"lblC713", u"c713", u"0", Manual}, {u"lblC733", u"c733", u"0", Manual}, {u"lblC723", u"c723", u"0", Manual},
    {u"lblC103", u"c103", u"0", Manual},
    // car-wide calls
    {u"lblC562", u"c562", u"0"}, {u"lblC40", u"c40", u"0"}, {u"lblC52", u"c52", u"0"}, {u"lblC565", u"c565", u"0"},
    {u"lblC41", u"c41", u"0"}, {u"lblC560", u"c560", u"0", Manual}, {u"lblC570", u"c570", u"0", Manual},
    {u"lblC572", u"c572", u"0", Manual}, {u"lblC563", u"c563", u"0", Manual}, {u"lblC571", u"c571", u"0", Manual},
    // dome tables
    {u"lblC53", u"c53", u"0"}, {u"lblC54", u"c54", u"0"}, {u"lblC55", u"c55", u"0"}, {u"lblC56", u"c56", u"0"},
    {u"lblC57", u"c57", u"0"}, {u"lblC60", u"c60", u"0"}, {u"lblC575", u"c575", u"0", Manual},
    {u"lblC576", u"c576", u"0"}, {u"lblC577", u"c577", u"0", Manual},
};
// clang-format on

// What a room's buttons send.
enum RoomCommand { CallReset, MealCallCmd, CommCallCmd, CommCmd, WakeCmd, kRoomCommands, NoCommand = -1 };

// A call shows active only while its status tag reads exactly 1: the active text on
// its paint, else the idle text on button face. A label has no texts: it keeps its
// caption and changes colour only.
constexpr Indicator call(Paint active, const char16_t *activeText = nullptr, const char16_t *idleText = nullptr)
{
    return whenValue(nullptr, 1, Outcome{activeText, active}, Outcome{idleText, Paints::steady(Colours::buttonFace)});
}
constexpr Paint kYellowFlash = Paints::yellowFlash;
constexpr Paint kRed = Paints::steady(Colours::red);
constexpr Paint kGreen = Paints::steady(Colours::green);
constexpr Paint kCyan = Paints::steady(Colours::cyan);

// The eight controls every room frame holds, in the refresh order; each room names
// them in its own row.
struct RoomControl
{
    const char *design;
    int left, top;
    Indicator rule;
    int command;
};

// clang-format off
constexpr RoomControl kRoomControls[] = {
    {" Room Call  Active", 240, 300, call(kYellowFlash, u"Room Call Active", u"Room Call"), CallReset},
    {" Annex Call Active", 240, 960, call(kYellowFlash, u" Annex Call Active", u"Annex Call"), CallReset},
    {"Do Not Disturb", 180, 1680, call(kRed), NoCommand},
    {"Make Up", 180, 2100, call(kYellowFlash), NoCommand},
    {"Meal Call Active", 1560, 300, call(kGreen, u"Meal Call Active", u"Meal Call"), MealCallCmd},
    {"Comm Call Active", 1560, 960, call(kGreen, u"Comm Call Active", u"Comm Call"), CommCallCmd},
    {"Comm Active", 1560, 1620, call(kGreen, u"Comm Active", u"Comm"), CommCmd},
    {"Wake Active", 1560, 2280, call(kYellowFlash, u"Wake Active", u"Wake Call"), WakeCmd},
};
// clang-format on
constexpr int kRoomControlCount = int(std::size(kRoomControls));

// A room's own control of one kind and the tag its indication reads.
struct RoomRow
{
    const char *control;
    const char *status;
};

struct Room
{
    const char *frame;
    const char *caption;
    int left, top;
    RoomRow rows[kRoomControlCount]; // one per room control, in its order
    const char *command[kRoomCommands];
    const char *timer[WakeCmd]; // the pulse timers of the commands before Wake
    int callResetMs;
    bool callResetAtLoad;
};

constexpr int kRoomFrameWidth = 2775, kRoomFrameHeight = 2955;

// Drawing Room A's call reset is a 1000 ms pulse started by a click only; the other
// rooms' are 200 ms and also run once from every load.
// clang-format off
constexpr Room kRooms[] = {
    {"fraDrawA", "Drawing Room A", 60, 60,
     {{"cmdDrARmCall", "c42"}, {"cmdDrAAnxCall", "c43"}, {"lblDrADoNotDist", "v17414:0"}, {"lblDrAMakeUp", "v17414:2"},
      {"cmdDrAMealCall", "c604"}, {"cmdDrACommCall", "c624"}, {"cmdDrAComm", "c614"}, {"cmdDrAWake", "c605"}},
     {"c600", "c603", "c623", "c613", "c100"},
     {"tmrRmACallReset", "tmrRmAMealCallActv", "tmrRmAComCallActv", "tmrRmAComActv"}, 1000, false},
    {"fraDrawB", "Drawing Room B", 2880, 60,
     {{"cmdDrBRmCall", "c44"}, {"cmdDrBAnxCall", "c45"}, {"lblDrBDoNotDist", "v17450:0"}, {"lblDrBMakeUp", "v17450:2"},
      {"cmdDrBMealCall", "c634"}, {"cmdDrBCommCall", "c654"}, {"cmdDrBComm", "c644"}, {"cmdDrBWake", "c635"}},
     {"c630", "c633", "c653", "c643", "c101"},
     {"tmrRmBCallReset", "tmrRmBMealCallActv", "tmrRmBComCallActv", "tmrRmBComActv"}, 200, true},
    {"fraComptC", "Compartment C", 60, 3060,
     {{"cmdCmpCRmCall", "c46"}, {"cmdCmpCAnxCall", "c47"}, {"lblCmpCDoNotDist", "v17504:0"}, {"lblCmpCMakeUp", "v17504:2"},
      {"cmdCmpCMealCall", "c664"}, {"cmdCmpCCommCall", "c704"}, {"cmdCmpCComm", "c674"}, {"cmdCmpCWake", "c665"}},
     {"c660", "c663", "c703", "c673", "c102"},
     {"tmrCmpCCallReset", "tmrCmpCMealCallActv", "tmrCmpCComCallActv", "tmrCmpCComActv"}, 200, true},
    {"fraComptD", "Compartment D", 2880, 3060,
     {{"cmdCmpDRmCall", "c50"}, {"cmdCmpDAnxCall", "c51"}, {"lblCmpDDoNotDist", "v17540:0"}, {"lblCmpDMakeUp", "v17540:2"},
      {"cmdCmpDMealCall", "c714"}, {"cmdCmpDCommCall", "c734"}, {"cmdCmpDComm", "c724"}, {"cmdCmpDWake", "c715"}},
     {"c710", "c713", "c733", "c723", "c103"},
     {"tmrCmpDCallReset", "tmrCmpDMealCallActv", "tmrCmpDComCallActv", "tmrCmpDComActv"}, 200, true},
};
// clang-format on

// A control of the car-wide area or the dome tables frame. A label has no command
// and keeps its caption; a button without a status tag has no indication.
struct CallControl
{
    const char *name;
    const char *design;
    int left, top;
    const char *status;
    Indicator rule;
    const char *command;
    const char *timer;
};

// In the refresh order: destination, A end door, general toilet, meal service, B end door.
// clang-format off
constexpr CallControl kCarCalls[] = {
    {"cmdAllDest", "Destination", 5760, 900, "c562", call(kYellowFlash, u"Destination Active", u"Destination Call"),
     "c560", "tmrDestCallActv"},
    {"cmdADoor", "A End Door", 5760, 1560, "c40", call(kYellowFlash, u"A End Door Call Active", u"A End Door"), "c570",
     "tmrDrACallRst"},
    {"cmdGenTlt", "General Toilet", 5760, 2220, "c52", call(kYellowFlash, u"Gnrl Tlt Call Active", u"General Toilet"),
     "c572", "tmrGnlTltCallRst"},
    {"cmdAllMeal", "Meal Service", 7020, 900, "c565", call(kYellowFlash, u"Meal Call Active", u"Meal Service"), "c563",
     "tmrMealCallActv"},
    {"cmdBDoor", "B End Door", 7020, 1560, "c41", call(kYellowFlash, u"B End Door Call Active", u"B End Door"), "c571",
     "tmrDrBCallRst"},
};
// clang-format on

// Table 6 is c60: the PLC's numbering skips c58 and c59.
// clang-format off
constexpr CallControl kDomeControls[] = {
    {"lblDmTbl1", "Table 1", 120, 420, "c53", call(kYellowFlash), nullptr, nullptr},
    {"lblDmTbl2", "Table 2", 120, 780, "c54", call(kYellowFlash), nullptr, nullptr},
    {"lblDmTbl3", "Table 3", 120, 1140, "c55", call(kYellowFlash), nullptr, nullptr},
    {"lblDmTbl4", "Table 4", 1440, 420, "c56", call(kYellowFlash), nullptr, nullptr},
    {"lblDmTbl5", "Table 5", 1440, 780, "c57", call(kYellowFlash), nullptr, nullptr},
    {"lblDmTbl6", "Table 6", 1440, 1140, "c60", call(kYellowFlash), nullptr, nullptr},
    {"cmdDmTblRst", "Table Call Reset", 240, 1560, nullptr, {}, "c577", "tmrDmCallReset"},
    {"cmdDmTblDisabl", "Disable Table Calls", 1560, 1560, "c576",
     call(kCyan, u"Table Calls Disabled", u"Disable Table Calls"), "c575", "tmrDmCallDisabl"},
};
// clang-format on

// The car-wide buttons stand on the form, the dome controls in their frame.
constexpr std::span<const CallControl> kCallAreas[] = {kCarCalls, kDomeControls};

QString text(const char *s)
{
    return QString::fromLatin1(s);
}

} // namespace

FrmPorter::FrmPorter(Station &station)
    : Screen(station, QString::fromLatin1(kFormName), QStringLiteral("Corvane Porter Interface"))
{
    setClientSizeTwips(8565, 6120);
    setSelfUnload(SelfUnload::OnDeactivate);
}

void FrmPorter::build(QWidget *form)
{
    // The flash timer first: at a shared tick the colour moves on before the refresh reads it.
    connect(addTimer(QStringLiteral("tmrFlashYellow"), 200, true), &Timer::tick, this,
            &FrmPorter::tmrFlashYellow_Timer);
    connect(addTimer(QStringLiteral("tmrFlashRed"), 200, true), &Timer::tick, this, &FrmPorter::tmrFlashRed_Timer);

    addLinks(kLinks);

    for (const Room &room : kRooms) {
        QGroupBox *frame = makeFrame(form, text(room.frame), text(room.caption));
        placeTwips(frame, room.left, room.top, kRoomFrameWidth, kRoomFrameHeight);
        Pulse *pulses[WakeCmd];
        for (int cmd = CallReset; cmd < WakeCmd; ++cmd) {
            const bool reset = cmd == CallReset;
            pulses[cmd] = makePulse(form, room.command[cmd], text(room.timer[cmd]), reset ? room.callResetMs : kPulseMs,
                                    reset && room.callResetAtLoad);
        }
        for (int i = 0; i < kRoomControlCount; ++i) {
            const RoomControl &c = kRoomControls[i];
            const RoomRow &row = room.rows[i];
            QWidget *control = makeControl(frame, text(row.control), c.design, c.left, c.top, c.command != NoCommand);
            Link *status = itemLink(row.status);
            addIndicator(control, c.rule, status);
            auto *button = qobject_cast<QPushButton *>(control);
            if (c.command == WakeCmd) {
                Link *wakeCommand = itemLink(room.command[WakeCmd]);
                connect(button, &QPushButton::clicked, this,
                        [this, status, wakeCommand] { cmdWake_Click(status, wakeCommand); });
            } else if (button) {
                // Room call and annex call of a room share one pulse: one tag, one timer.
                connect(button, &QPushButton::clicked, pulses[c.command], &Pulse::click);
            }
        }
    }

    QGroupBox *dome = makeFrame(form, QStringLiteral("fraDmTbl"), QStringLiteral("Dome Tables"));
    placeTwips(dome, 5700, 3720, 2775, 2295);
    QWidget *const parents[] = {form, dome};
    for (int area = 0; area < int(std::size(kCallAreas)); ++area) {
        QWidget *parent = parents[area];
        for (const CallControl &c : kCallAreas[area]) {
            QWidget *control = makeControl(parent, text(c.name), c.design, c.left, c.top, c.command != nullptr);
            if (c.status)
                addIndicator(control, c.rule, itemLink(c.status));
            if (c.command) {
                Pulse *pulse = makePulse(form, c.command, text(c.timer), kPulseMs, false);
                connect(qobject_cast<QPushButton *>(control), &QPushButton::clicked, pulse, &Pulse::click);
            }
        }
    }

    QPushButton *hide = makeButton(form, QStringLiteral("cmdHidefrmPorter"), QStringLiteral("Hide"));
    placeTwips(hide, 7500, 60, kButtonWidth, kButtonHeight);
    hide->setVisible(false);
    connect(hide, &QPushButton::clicked, this, &FrmPorter::cmdHidefrmPorter_Click);
}

QWidget *FrmPorter::makeControl(QWidget *parent, const QString &name, const char *design, int left, int top,
                                bool button)
{
    QWidget *control;
    if (button) {
        control = new WrapButton(parent, name, text(design));
        placeTwips(control, left, top, kButtonWidth, kButtonHeight);
    } else {
        control = makeStatusLabel(parent, name, text(design));
        placeTwips(control, left, top, kLabelWidth, kLabelHeight);
    }
    return control;
}

Pulse *FrmPorter::makePulse(QWidget *form, const char *command, const QString &timer, int intervalMs,
                            bool runningAtLoad)
{
    return new Pulse(addTimer(timer, intervalMs, runningAtLoad), itemLink(command), form);
}

Link *FrmPorter::itemLink(const char *item) const
{
    return &declaredItem(QString::fromLatin1(item));
}

void FrmPorter::tmrFlashYellow_Timer()
{
    m_flash.advanceYellow();
}

// Every indication from its status tag on every tick: active only for exactly 1.
void FrmPorter::tmrFlashRed_Timer()
{
    repaintIndicators(&m_flash);
}

// A wake is asked for only while the room is not already being woken; the PLC ends it.
void FrmPorter::cmdWake_Click(const Link *wakeStatus, Link *wakeCommand)
{
    if (wakeStatus->reads(0))
        wakeCommand->write(QStringLiteral("1"));
}

void FrmPorter::cmdHidefrmPorter_Click()
{
    hide();
}

} // namespace corvane
