#include "frmPorter.h"

#include "core/screen/WrapButton.h"

#include "core/screen/Controls.h"
#include "core/link/LinkControl.h"
#include "core/time/Pulse.h"
#include "core/screen/Station.h"
#include "core/time/Timer.h"

#include <QSet>

#include <span>

namespace corvane {

namespace {

using Look = FrmPorter::Look;

constexpr int kButtonWidth = 975, kButtonHeight = 555;
constexpr int kLabelWidth = 1215, kLabelHeight = 255;
constexpr int kPulseMs = 1000;

// The link table: the order in which the links open and close. Drawing Room A's comm
// call tags stand swapped against the other rooms' (c623 sixth, c624 eleventh); the
// mode comes from the tag's role, not from its place.
constexpr const char *kLinkTable[] = {
    "c42",  "c43",  "v17414:0", "v17414:2", "c604", "c623", "c614", "c605", "c600", "c603", "c624", "c613", "c100",
    "c44",  "c45",  "v17450:0", "v17450:2", "c634", "c654", "c644", "c635", "c630", "c633", "c653", "c643", "c101",
    "c46",  "c47",  "v17504:0", "v17504:2", "c664", "c704", "c674", "c665", "c660", "c663", "c703", "c673", "c102",
    "c50",  "c51",  "v17540:0", "v17540:2", "c714", "c734", "c724", "c715", "c710", "c713", "c733", "c723", "c103",
    "c562", "c40",  "c52",      "c565",     "c41",  "c560", "c570", "c572", "c563", "c571",
    "c53",  "c54",  "c55",      "c56",      "c57",  "c60",  "c575", "c576", "c577",
};

// What a room's buttons send.
enum RoomCommand { CallReset, MealCallCmd, CommCallCmd, CommCmd, WakeCmd, kRoomCommands, NoCommand = -1 };

// The eight controls every room frame holds, in the refresh order. Names are the
// prefix, the room's key and the function: cmd + DrA + RmCall.
struct RoomControl
{
    const char *prefix;
    const char *function;
    const char *design;
    int left, top;
    Look look;
    const char *active; // nullptr: a label, it keeps its caption
    const char *idle;
    int command;
};

constexpr RoomControl kRoomControls[] = {
    {"cmd", "RmCall", " Room Call  Active", 240, 300, Look::YellowFlash, "Room Call Active", "Room Call", CallReset},
    {"cmd", "AnxCall", " Annex Call Active", 240, 960, Look::YellowFlash, " Annex Call Active", "Annex Call",
     CallReset},
    {"lbl", "DoNotDist", "Do Not Disturb", 180, 1680, Look::Red, nullptr, nullptr, NoCommand},
    {"lbl", "MakeUp", "Make Up", 180, 2100, Look::YellowFlash, nullptr, nullptr, NoCommand},
    {"cmd", "MealCall", "Meal Call Active", 1560, 300, Look::Green, "Meal Call Active", "Meal Call", MealCallCmd},
    {"cmd", "CommCall", "Comm Call Active", 1560, 960, Look::Green, "Comm Call Active", "Comm Call", CommCallCmd},
    {"cmd", "Comm", "Comm Active", 1560, 1620, Look::Green, "Comm Active", "Comm", CommCmd},
    {"cmd", "Wake", "Wake Active", 1560, 2280, Look::YellowFlash, "Wake Active", "Wake Call", WakeCmd},
};
constexpr int kRoomControlCount = int(std::size(kRoomControls));

// The pulse timers of a room: tmr + timer key + this (tmrRmACallReset).
constexpr const char *kRoomPulseTimers[] = {"CallReset", "MealCallActv", "ComCallActv", "ComActv"};

struct Room
{
    const char *key;
    const char *frame;
    const char *caption;
    int left, top;
    const char *status[kRoomControlCount]; // one per room control
    const char *command[kRoomCommands];
    const char *timerKey;
    int callResetMs;
    bool callResetAtLoad;
};

constexpr int kRoomFrameWidth = 2775, kRoomFrameHeight = 2955;

// Drawing Room A's call reset is a 1000 ms pulse started by a click only; the other
// rooms' are 200 ms and also run once from every load.
constexpr Room kRooms[] = {
    {"DrA", "fraDrawA", "Drawing Room A", 60, 60,
     {"c42", "c43", "v17414:0", "v17414:2", "c604", "c624", "c614", "c605"},
     {"c600", "c603", "c623", "c613", "c100"}, "RmA", 1000, false},
    {"DrB", "fraDrawB", "Drawing Room B", 2880, 60,
     {"c44", "c45", "v17450:0", "v17450:2", "c634", "c654", "c644", "c635"},
     {"c630", "c633", "c653", "c643", "c101"}, "RmB", 200, true},
    {"CmpC", "fraComptC", "Compartment C", 60, 3060,
     {"c46", "c47", "v17504:0", "v17504:2", "c664", "c704", "c674", "c665"},
     {"c660", "c663", "c703", "c673", "c102"}, "CmpC", 200, true},
    {"CmpD", "fraComptD", "Compartment D", 2880, 3060,
     {"c50", "c51", "v17540:0", "v17540:2", "c714", "c734", "c724", "c715"},
     {"c710", "c713", "c733", "c723", "c103"}, "CmpD", 200, true},
};

// A control of the car-wide area or the dome tables frame. A label has no command
// and keeps its caption; a button without a status tag has no indication.
struct CallControl
{
    const char *name;
    const char *design;
    int left, top;
    const char *status;
    Look look;
    const char *active;
    const char *idle;
    const char *command;
    const char *timer;
};

// In the refresh order: destination, A end door, general toilet, meal service, B end door.
constexpr CallControl kCarCalls[] = {
    {"cmdAllDest", "Destination", 5760, 900, "c562", Look::YellowFlash, "Destination Active", "Destination Call",
     "c560", "tmrDestCallActv"},
    {"cmdADoor", "A End Door", 5760, 1560, "c40", Look::YellowFlash, "A End Door Call Active", "A End Door", "c570",
     "tmrDrACallRst"},
    {"cmdGenTlt", "General Toilet", 5760, 2220, "c52", Look::YellowFlash, "Gnrl Tlt Call Active", "General Toilet",
     "c572", "tmrGnlTltCallRst"},
    {"cmdAllMeal", "Meal Service", 7020, 900, "c565", Look::YellowFlash, "Meal Call Active", "Meal Service", "c563",
     "tmrMealCallActv"},
    {"cmdBDoor", "B End Door", 7020, 1560, "c41", Look::YellowFlash, "B End Door Call Active", "B End Door", "c571",
     "tmrDrBCallRst"},
};

// Table 6 is c60: the PLC's numbering skips c58 and c59.
constexpr CallControl kDomeControls[] = {
    {"lblDmTbl1", "Table 1", 120, 420, "c53", Look::YellowFlash, nullptr, nullptr, nullptr, nullptr},
    {"lblDmTbl2", "Table 2", 120, 780, "c54", Look::YellowFlash, nullptr, nullptr, nullptr, nullptr},
    {"lblDmTbl3", "Table 3", 120, 1140, "c55", Look::YellowFlash, nullptr, nullptr, nullptr, nullptr},
    {"lblDmTbl4", "Table 4", 1440, 420, "c56", Look::YellowFlash, nullptr, nullptr, nullptr, nullptr},
    {"lblDmTbl5", "Table 5", 1440, 780, "c57", Look::YellowFlash, nullptr, nullptr, nullptr, nullptr},
    {"lblDmTbl6", "Table 6", 1440, 1140, "c60", Look::YellowFlash, nullptr, nullptr, nullptr, nullptr},
    {"cmdDmTblRst", "Table Call Reset", 240, 1560, nullptr, Look::YellowFlash, nullptr, nullptr, "c577",
     "tmrDmCallReset"},
    {"cmdDmTblDisabl", "Disable Table Calls", 1560, 1560, "c576", Look::Cyan, "Table Calls Disabled",
     "Disable Table Calls", "c575", "tmrDmCallDisabl"},
};

// The car-wide buttons stand on the form, the dome controls in their frame.
constexpr std::span<const CallControl> kCallAreas[] = {kCarCalls, kDomeControls};

QString text(const char *s)
{
    return QString::fromLatin1(s);
}

// lbl, the item with its first letter in upper case, ":" as "_": v17414:0 -> lblV17414_0.
QString linkName(const char *item)
{
    QString name = text(item);
    name[0] = name[0].toUpper();
    return QStringLiteral("lbl") + name.replace(u':', u'_');
}

QSet<QString> commandItems()
{
    QSet<QString> items;
    for (const Room &room : kRooms) {
        for (const char *item : room.command)
            items.insert(text(item));
    }
    for (std::span<const CallControl> controls : kCallAreas) {
        for (const CallControl &c : controls) {
            if (c.command)
                items.insert(text(c.command));
        }
    }
    return items;
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

    const QSet<QString> commands = commandItems();
    for (const char *item : kLinkTable) {
        const LinkMode mode = commands.contains(text(item)) ? LinkMode::Manual : LinkMode::Automatic;
        auto *label = new LinkLabel(station().tags(), linkName(item), text(item), QStringLiteral("0"), mode, form);
        m_links.append(label);
        m_linkByItem.insert(text(item), label);
    }

    for (const Room &room : kRooms) {
        QGroupBox *frame = makeFrame(form, text(room.frame), text(room.caption));
        placeTwips(frame, room.left, room.top, kRoomFrameWidth, kRoomFrameHeight);
        Pulse *pulses[WakeCmd];
        for (int cmd = CallReset; cmd < WakeCmd; ++cmd) {
            const bool reset = cmd == CallReset;
            pulses[cmd] = makePulse(form, room.command[cmd],
                                    QStringLiteral("tmr") + text(room.timerKey) + text(kRoomPulseTimers[cmd]),
                                    reset ? room.callResetMs : kPulseMs, reset && room.callResetAtLoad);
        }
        for (int i = 0; i < kRoomControlCount; ++i) {
            const RoomControl &c = kRoomControls[i];
            QWidget *control = makeControl(frame, text(c.prefix) + text(room.key) + text(c.function), c.design,
                                           c.left, c.top, c.command != NoCommand);
            addIndication(control, room.status[i], c.look, c.active, c.idle);
            auto *button = qobject_cast<QPushButton *>(control);
            if (c.command == WakeCmd) {
                const LinkLabel *wakeStatus = link(room.status[i]);
                LinkLabel *wakeCommand = link(room.command[WakeCmd]);
                connect(button, &QPushButton::clicked, this,
                        [this, wakeStatus, wakeCommand] { cmdWake_Click(wakeStatus, wakeCommand); });
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
                addIndication(control, c.status, c.look, c.active, c.idle);
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
    return new Pulse(addTimer(timer, intervalMs, runningAtLoad), link(command), form);
}

LinkLabel *FrmPorter::link(const char *item) const
{
    LinkLabel *label = m_linkByItem.value(text(item));
    Q_ASSERT_X(label, "FrmPorter", item); // every tag of the tables is in the link table
    return label;
}

void FrmPorter::addIndication(QWidget *control, const char *status, Look look, const char *active, const char *idle)
{
    m_indications.push_back({control, link(status), look, active ? text(active) : QString(),
                             idle ? text(idle) : QString()});
}

void FrmPorter::formLoad()
{
    openLinks(m_links);
}

void FrmPorter::formUnload()
{
    closeLinks(m_links);
}

void FrmPorter::released()
{
    m_links.clear();
    m_linkByItem.clear();
    m_indications.clear();
}

ColourRef FrmPorter::colourOf(Look look) const
{
    switch (look) {
    case Look::YellowFlash:
        return m_flash.yellow();
    case Look::Red:
        return Colours::red;
    case Look::Green:
        return Colours::green;
    case Look::Cyan:
        return Colours::cyan;
    }
    return Colours::buttonFace;
}

void FrmPorter::tmrFlashYellow_Timer()
{
    m_flash.advanceYellow();
}

// Every indication from its status tag on every tick: active only for exactly 1.
void FrmPorter::tmrFlashRed_Timer()
{
    for (const Indication &i : m_indications) {
        const bool active = i.status->reads(1);
        const ColourRef colour = active ? colourOf(i.look) : Colours::buttonFace;
        if (i.active.isNull())
            setBackColour(i.control, colour);
        else
            paintStatus(i.control, colour, active ? i.active : i.idle);
    }
}

// A wake is asked for only while the room is not already being woken; the PLC ends it.
void FrmPorter::cmdWake_Click(const LinkLabel *wakeStatus, LinkLabel *wakeCommand)
{
    if (wakeStatus->reads(0))
        wakeCommand->write(QStringLiteral("1"));
}

void FrmPorter::cmdHidefrmPorter_Click()
{
    hide();
}

} // namespace corvane
