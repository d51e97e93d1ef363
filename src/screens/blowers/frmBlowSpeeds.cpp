#include "frmBlowSpeeds.h"
#include "SpeedSetpoint.h"

#include "core/link/Link.h"
#include "core/link/Value.h"
#include "station/Station.h"
#include "ui/Controls.h"

#include <QLineEdit>

namespace corvane {

namespace {

using Row = FrmBlowSpeeds::Row;
using Unit = FrmBlowSpeeds::Unit;

// clang-format off
constexpr Row kARows[] = {
    {"v10200:db", "No Heat or Cool", "lblAEndNo", "lblAEndNoDV10200", "lblAEndNoDV10200Status",
     "txtAEndNoDV10200", "cmdWrtDV10200", "txtAEndNoWrtDV10200"},
    {"v10202:db", "Heat", "lblAEndHeat", "lblAEndHeatDV10202", "lblAEndHeatDV10202Status",
     "txtAEndHeatDV10202", "cmdWrtDV10202", "txtAEndHeatWrtDV10202"},
    {"v10204:db", "1st Stage Cool", "lblAEnd1Cool", "lblAEnd1CoolDV10204", "lblAEnd1CoolDV10204Status",
     "txtAEnd1CoolDV10204", "cmdWrtDV10204", "txtAEnd1CoolWrtDV10204"},
    {"v10206:db", "2nd Stage Cool", "lblAEnd2Cool", "lblAEnd2CoolDV10206", "lblAEnd2CoolDV10206Status",
     "txtAEnd2CoolDV10206", "cmdWrtDV10206", "txtAEnd2CoolWrtDV10206"},
};
// clang-format on
// clang-format off
constexpr Row kBRows[] = {
    {"v10230:db", "No Heat or Cool", "lblBEndNo", "lblBEndNoDV10230", "lblBEndNoDV10230Status",
     "txtBEndNoDV10230", "cmdWrtDV10230", "txtBEndNoWrtDV10230"},
    {"v10232:db", "1st Stage Heat", "lblBEnd1Heat", "lblBEnd1HeatDV10232", "lblBEnd1HeatDV10232Status",
     "txtBEnd1HeatDV10232", "cmdWrtDV10232", "txtBEnd1HeatWrtDV10232"},
    {"v10234:db", "2nd Stage Heat", "lblBEnd2Heat", "lblBEnd2HeatDV10234", "lblBEnd2HeatDV10234Status",
     "txtBEnd2HeatDV10234", "cmdWrtDV10234", "txtBEnd2HeatWrtDV10234"},
    {"v10236:db", "1st Stage Cool", "lblBEnd1Cool", "lblBEnd1CoolDV10236", "lblBEnd1CoolDV10236Status",
     "txtBEnd1CoolDV10236", "cmdWrtDV10236", "txtBEnd1CoolWrtDV10236"},
    {"v10240:db", "2nd Stage Cool", "lblBEnd2Cool", "lblBEnd2CoolDV10240", "lblBEnd2CoolDV10240Status",
     "txtBEnd2CoolDV10240", "cmdWrtDV10240", "txtBEnd2CoolWrtDV10240"},
};
// clang-format on
// clang-format off
constexpr Row kDmRows[] = {
    {"v10260:db", "No Heat or Cool", "lblDmNo", "lblDmNoDV10260", "lblDmNoDV10260Status",
     "txtDmNoDV10260", "cmdWrtDV10260", "txtDmNoWrtDV10260"},
    {"v10262:db", "1st Stage Heat", "lblDm1Heat", "lblDm1HeatDV10262", "lblDm1HeatDV10262Status",
     "txtDm1HeatDV10262", "cmdWrtDV10262", "txtDm1HeatWrtDV10262"},
    {"v10264:db", "2nd Stage Heat", "lblDm2Heat", "lblDm2HeatDV10264", "lblDm2HeatDV10264Status",
     "txtDm2HeatDV10264", "cmdWrtDV10264", "txtDm2HeatWrtDV10264"},
    {"v10266:db", "1st Stage Cool", "lblDm1Cool", "lblDm1CoolDV10266", "lblDm1CoolDV10266Status",
     "txtDm1CoolDV10266", "cmdWrtDV10266", "txtDm1CoolWrtDV10266"},
    {"v10270:db", "2nd Stage Cool", "lblDm2Cool", "lblDm2CoolDV10270", "lblDm2CoolDV10270Status",
     "txtDm2CoolDV10270", "cmdWrtDV10270", "txtDm2CoolWrtDV10270"},
};
// clang-format on

// The B end's measured speed is v7030:db, beside the A end's v7024:db and the dome's
// v7026:db; reading v10230:db there would show its no-heat-or-cool setpoint as the speed.
// clang-format off
constexpr Unit kUnits[] = {
    {"frmBlowASpeeds", "A End Overhead Blower Speeds", "A End Overhead Unit Blower Speeds",
     {"v7024:db", "Actual", "lblAEndAct", "lblAEndActDV7024", "lblAEndActDV7024Status"}, kARows},
    {"frmBlowBSpeeds", "B End Overhead Blower Speeds", "B End Overhead Unit Blower Speeds",
     {"v7030:db", "Actual", "lblBEndAct", "lblBEndActDV7030", "lblBEndActDV7030Status"}, kBRows},
    {"frmBlowDmSpeeds", "Dome Overhead Blower Speeds", "Dome Overhead Unit Blower Speeds",
     {"v7026:db", "Actual", "lblDmAct", "lblDmActDV7026", "lblDmActDV7026Status"}, kDmRows},
};
// clang-format on

// Layout in twips: the two notes, then the frame with one row per 480.
constexpr int kLeft = 240, kWidth = 5700;
constexpr int kFrameTop = 840, kRowTop = 360, kRowPitch = 480, kRowHeight = 315;
constexpr int kStatusLeft = 120, kStatusWidth = 1695; // wide enough for 15 digits: "60.0006103515625"
constexpr int kCaptionLeft = 1920, kCaptionWidth = 1575;
constexpr int kEntryLeft = 3600, kEntryWidth = 735;
constexpr int kButtonLeft = 4440, kButtonWidth = 1140, kButtonHeight = 375;

QString text(const char *s)
{
    return QString::fromLatin1(s);
}

int frameHeight(const Unit &unit)
{
    return kRowTop + int(unit.setpoints.size() + 1) * kRowPitch;
}

} // namespace

std::span<const Unit> FrmBlowSpeeds::units()
{
    return kUnits;
}

QString FrmBlowSpeeds::noNumberText()
{
    return speedNoNumberText();
}

FrmBlowSpeeds::FrmBlowSpeeds(Station &station, const Unit &unit)
    : Screen(station, text(unit.form), text(unit.caption))
    , m_unit(unit)
{
    setClientSizeTwips(kLeft + kWidth + kLeft, kFrameTop + frameHeight(unit) + kLeft);
    setSelfUnload(SelfUnload::OnDeactivate);
}

void FrmBlowSpeeds::build(QWidget *form)
{
    const char *notes[][2] = {{"Label1", "Values In Percent of Overall Motor Speed"},
                              {"Label2", "Values Must be Between 45% and 100%"}};
    for (int i = 0; i < 2; ++i) {
        QLabel *note = makeLabel(form, text(notes[i][0]), text(notes[i][1]));
        note->setAlignment(Qt::AlignCenter);
        setBackColour(note, Colours::white);
        placeTwips(note, kLeft, 120 + i * 285, kWidth, 285);
    }
    QGroupBox *frame = makeFrame(form, QStringLiteral("fraOvrhdA"), text(m_unit.frameCaption));
    placeTwips(frame, kLeft, kFrameTop, kWidth, frameHeight(m_unit));

    // The speed links first, then the write links, each top to bottom.
    addLink(text(m_unit.actual.link), text(m_unit.actual.item), QStringLiteral("0"), LinkMode::Automatic);
    for (const Row &row : m_unit.setpoints)
        addLink(text(row.link), text(row.item), QStringLiteral("0"), LinkMode::Automatic);
    for (const Row &row : m_unit.setpoints)
        addLink(text(row.write), text(row.item), QStringLiteral(" "), LinkMode::Manual);

    int top = kRowTop;
    addRow(frame, m_unit.actual, top);
    for (const Row &row : m_unit.setpoints)
        addRow(frame, row, top += kRowPitch);
}

void FrmBlowSpeeds::addRow(QWidget *frame, const Row &row, int top)
{
    Link *link = &declaredLink(text(row.link));
    QLabel *status = makeStatusLabel(frame, text(row.status), QStringLiteral("0"));
    placeTwips(status, kStatusLeft, top, kStatusWidth, kRowHeight);
    QLabel *caption = makeLabel(frame, text(row.label), text(row.caption));
    caption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    placeTwips(caption, kCaptionLeft, top, kCaptionWidth, kRowHeight);
    connect(link, &Link::changed, this, [link, status] { speedLink_Change(*link, status); });
    addTrendTarget(status, *link);
    describe(status, text(row.caption));

    if (row.entry) {
        auto *entry = new QLineEdit(QStringLiteral("60"), frame);
        entry->setObjectName(text(row.entry));
        placeTwips(entry, kEntryLeft, top, kEntryWidth, kRowHeight);
        QPushButton *button = makeButton(frame, text(row.button), QStringLiteral("Write To PLC"));
        button->setEnabled(false); // until an edit of the box says otherwise
        placeTwips(button, kButtonLeft, top - (kButtonHeight - kRowHeight) / 2, kButtonWidth, kButtonHeight);
        Link *write = &declaredLink(text(row.write));
        connect(entry, &QLineEdit::textChanged, this, [entry, button] { txtEntry_Change(*entry, button); });
        connect(button, &QPushButton::clicked, this, [entry, write] { cmdWrt_Click(*entry, write); });
    }
}

// The PLC's value in percent, unrounded; a value that is no number is said to be one,
// never shown as a speed.
void FrmBlowSpeeds::speedLink_Change(const Link &link, QLabel *status)
{
    corvane::setCaption(status, speedPercentText(link.value()));
}

void FrmBlowSpeeds::txtEntry_Change(const QLineEdit &entry, QPushButton *button)
{
    button->setEnabled(speedSetpointText(entry.text()).has_value());
}

void FrmBlowSpeeds::cmdWrt_Click(const QLineEdit &entry, Link *write)
{
    const auto text = speedSetpointText(entry.text());
    if (!text)
        return; // the button is disabled then; a queued click finds nothing to send
    write->write(*text);
}

} // namespace corvane
