#include "station/AlarmSummaryScreen.h"

#include "core/link/Link.h"
#include "core/time/Pulse.h"
#include "core/time/Timer.h"
#include "station/Station.h"
#include "ui/Controls.h"

#include <QPushButton>

namespace corvane {

AlarmSummaryScreen::AlarmSummaryScreen(Station &station, const SummaryDesign &design)
    : Screen(station, QString::fromUtf16(design.form), QString::fromUtf16(design.caption))
    , m_design(design)
{
    setClientSizeTwips(design.width, design.height);
    setSelfUnload(design.closeOn);
}

void AlarmSummaryScreen::build(QWidget *form)
{
    const auto items = m_design.items;

    std::vector<PanelRow> rows;
    for (const SummaryItem &item : items) {
        if (item.status)
            rows.push_back(PanelRow{item.frame, item.textName, item.text, item.status});
    }
    buildPanel(form, m_design.frames, rows, [items](QWidget *frame, const QString &name) -> QWidget * {
        for (const SummaryItem &item : items) {
            if (item.status && QStringView(item.status) == name)
                return makeStatusLabel(frame, name, QString::fromUtf16(item.statusDesign));
        }
        return nullptr;
    });
    describeRows(rows);

    // The items' links in their order, then the reset pulse's; a rule may read a later
    // item, so the status labels are bound once every link is there.
    for (const SummaryItem &item : items)
        addAlarmRule(*addLink(LinkDesign{item.link, item.alarm.item, item.design}), item.alarm);
    Link *resetLink = addLink(m_design.reset);
    for (const SummaryItem &item : items) {
        if (item.status)
            addIndicator(form->findChild<QWidget *>(QString::fromUtf16(item.status)), item.rule,
                         &declaredLink(item.link));
    }

    // The yellow timer is armed first: at a shared tick it advances before the red
    // tick repaints, so yellow labels flash in step with red ones.
    Timer *yellow = addTimer(QStringLiteral("tmrFlashYellow"), 200, true);
    Timer *red = addTimer(QStringLiteral("tmrFlashRed"), 200, true);
    Timer *reset = addTimer(QStringLiteral("tmrReset"), kResetPulseMs, false);
    connect(yellow, &Timer::tick, this, &AlarmSummaryScreen::tmrFlashYellow_Timer);
    connect(red, &Timer::tick, this, &AlarmSummaryScreen::tmrFlashRed_Timer);
    auto *resetPulse = new Pulse(reset, resetLink, form);

    const QList<QPushButton *> buttons = buildButtons(form, m_design.buttons, station().screens());
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        switch (m_design.buttons[std::size_t(i)].action) {
        case ButtonDesign::Show:
            break;
        case ButtonDesign::Reset:
            connect(buttons[i], &QPushButton::clicked, resetPulse, &Pulse::click);
            break;
        case ButtonDesign::Hide:
            connect(buttons[i], &QPushButton::clicked, this, &Screen::hide);
            break;
        }
    }
}

void AlarmSummaryScreen::tmrFlashRed_Timer()
{
    m_flash.advanceRed();
    repaintIndicators(&m_flash);
}

void AlarmSummaryScreen::tmrFlashYellow_Timer()
{
    m_flash.advanceYellow();
}

} // namespace corvane
