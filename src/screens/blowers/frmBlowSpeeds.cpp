#include "frmBlowSpeeds.h"
#include "SpeedSetpoint.h"

#include "core/screen/Controls.h"
#include "core/link/LinkControl.h"
#include "core/screen/Station.h"
#include "core/link/Value.h"

#include <QLineEdit>

namespace corvane {

namespace {

using Row = FrmBlowSpeeds::Row;
using Unit = FrmBlowSpeeds::Unit;

constexpr Row kARows[] = {
    {"AEndNo", "No Heat or Cool", "v10200:db"},
    {"AEndHeat", "Heat", "v10202:db"},
    {"AEnd1Cool", "1st Stage Cool", "v10204:db"},
    {"AEnd2Cool", "2nd Stage Cool", "v10206:db"},
};
constexpr Row kBRows[] = {
    {"BEndNo", "No Heat or Cool", "v10230:db"},
    {"BEnd1Heat", "1st Stage Heat", "v10232:db"},
    {"BEnd2Heat", "2nd Stage Heat", "v10234:db"},
    {"BEnd1Cool", "1st Stage Cool", "v10236:db"},
    {"BEnd2Cool", "2nd Stage Cool", "v10240:db"},
};
constexpr Row kDmRows[] = {
    {"DmNo", "No Heat or Cool", "v10260:db"},
    {"Dm1Heat", "1st Stage Heat", "v10262:db"},
    {"Dm2Heat", "2nd Stage Heat", "v10264:db"},
    {"Dm1Cool", "1st Stage Cool", "v10266:db"},
    {"Dm2Cool", "2nd Stage Cool", "v10270:db"},
};

// The B end's measured speed is v7030:db, beside the A end's v7024:db and the dome's
// v7026:db; reading v10230:db there would show its no-heat-or-cool setpoint as the speed.
constexpr Unit kUnits[] = {
    {"frmBlowASpeeds", "A End Overhead Blower Speeds", "A End Overhead Unit Blower Speeds",
     {"AEndAct", "Actual", "v7024:db"}, kARows},
    {"frmBlowBSpeeds", "B End Overhead Blower Speeds", "B End Overhead Unit Blower Speeds",
     {"BEndAct", "Actual", "v7030:db"}, kBRows},
    {"frmBlowDmSpeeds", "Dome Overhead Blower Speeds", "Dome Overhead Unit Blower Speeds",
     {"DmAct", "Actual", "v7026:db"}, kDmRows},
};

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

// "v10232:db" -> "DV10232", the part of the control names after the row key.
QString itemPart(const char *item)
{
    QString s = text(item);
    return QStringLiteral("DV") + s.mid(1, s.indexOf(u':') - 1);
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

    m_rows.reserve(m_unit.setpoints.size() + 1);
    addRow(frame, m_unit.actual, false);
    for (const Row &row : m_unit.setpoints)
        addRow(frame, row, true);
    // Link labels first, then the write links, each top to bottom.
    for (const RowControls &r : m_rows)
        m_links.append(r.link);
    for (const RowControls &r : m_rows) {
        if (r.write)
            m_links.append(r.write);
    }
}

void FrmBlowSpeeds::addRow(QWidget *frame, const Row &row, bool setpoint)
{
    const std::size_t index = m_rows.size();
    const int top = kRowTop + int(index) * kRowPitch;
    const QString key = text(row.key);
    const QString item = text(row.item);
    const QString part = itemPart(row.item);
    TagSource &tags = station().tags();

    RowControls r;
    r.link = new LinkLabel(tags, QStringLiteral("lbl") + key + part, item, QStringLiteral("0"), LinkMode::Automatic,
                           frame);
    r.status = makeStatusLabel(frame, QStringLiteral("lbl") + key + part + QStringLiteral("Status"),
                               QStringLiteral("0"));
    placeTwips(r.status, kStatusLeft, top, kStatusWidth, kRowHeight);
    QLabel *caption = makeLabel(frame, QStringLiteral("lbl") + key, text(row.caption));
    caption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    placeTwips(caption, kCaptionLeft, top, kCaptionWidth, kRowHeight);
    connect(r.link, &LinkLabel::changed, this, [this, index] { speedLink_Change(index); });

    if (setpoint) {
        r.entry = new QLineEdit(QStringLiteral("60"), frame);
        r.entry->setObjectName(QStringLiteral("txt") + key + part);
        placeTwips(r.entry, kEntryLeft, top, kEntryWidth, kRowHeight);
        r.button = makeButton(frame, QStringLiteral("cmdWrt") + part, QStringLiteral("Write To PLC"));
        r.button->setEnabled(false); // until an edit of the box says otherwise
        placeTwips(r.button, kButtonLeft, top - (kButtonHeight - kRowHeight) / 2, kButtonWidth, kButtonHeight);
        r.write = new LinkTextBox(tags, QStringLiteral("txt") + key + QStringLiteral("Wrt") + part, item,
                                  QStringLiteral(" "), LinkMode::Manual, frame);
        connect(r.entry, &QLineEdit::textChanged, this, [this, index] { txtEntry_Change(index); });
        connect(r.button, &QPushButton::clicked, this, [this, index] { cmdWrt_Click(index); });
    }
    m_rows.push_back(r);
}

void FrmBlowSpeeds::formLoad()
{
    openLinks(m_links);
}

void FrmBlowSpeeds::formUnload()
{
    closeLinks(m_links);
}

void FrmBlowSpeeds::released()
{
    m_rows.clear();
    m_links.clear();
}

// The PLC's value in percent, unrounded; a value that is no number is said to be one,
// never shown as a speed.
void FrmBlowSpeeds::speedLink_Change(std::size_t row)
{
    const RowControls &r = m_rows[row];
    corvane::setCaption(r.status, speedPercentText(r.link->value()));
}

void FrmBlowSpeeds::txtEntry_Change(std::size_t row)
{
    const RowControls &r = m_rows[row];
    r.button->setEnabled(speedSetpointText(r.entry->text()).has_value());
}

void FrmBlowSpeeds::cmdWrt_Click(std::size_t row)
{
    const RowControls &r = m_rows[row];
    const auto text = speedSetpointText(r.entry->text());
    if (!text)
        return; // the button is disabled then; a queued click finds nothing to send
    r.write->write(*text);
}

} // namespace corvane
