#include "station/AlarmSummaryScreen.h"

#include "core/link/Link.h"
#include "core/time/Pulse.h"
#include "core/time/Timer.h"
#include "station/Station.h"
#include "ui/Controls.h"

#include <QPushButton>
#include <vector>

namespace corvane {

AlarmSummaryScreen::AlarmSummaryScreen(Station &station, const SummaryDesign &design)
    : Screen(station, QString::fromUtf16(design.form), QString::fromUtf16(design.caption))
    , m_design(design)
{
    setClientSizeTwips(design.width, design.height);
    setSelfUnload(design.closeOn);
}

template<typename Visit>
void AlarmSummaryScreen::forEachItem(Visit visit) const
{
    for (const SummaryFrame &f : m_design.frames) {
        for (const SummaryItem &item : f.items)
            visit(item);
    }
}

void AlarmSummaryScreen::build(QWidget *form)
{
    // Every item with a status label is a row of its frame.
    std::vector<std::vector<PanelRow>> rows(m_design.frames.size());
    std::vector<FrameDesign> frames;
    for (std::size_t f = 0; f < m_design.frames.size(); ++f) {
        for (const SummaryItem &item : m_design.frames[f].items) {
            if (item.status)
                rows[f].push_back(PanelRow{item.textName, item.text, item.status});
        }
        frames.push_back(m_design.frames[f].frame);
        frames.back().rows = rows[f];
    }
    buildPanel(form, frames, [this](QWidget *frame, const QString &name) {
        QWidget *made = nullptr;
        forEachItem([&](const SummaryItem &item) {
            if (!made && item.status && QStringView(item.status) == name)
                made = makeStatusLabel(frame, name, QString::fromUtf16(item.statusDesign));
        });
        return made;
    });
    describeFrames(frames);

    // The items' links in their order, then the reset pulse's; a rule may read a later
    // item, so the status labels are bound once every link is there.
    forEachItem([this](const SummaryItem &item) {
        addAlarmRule(*addLink(LinkDesign{item.link, item.alarm.item, item.design}), item.alarm);
    });
    Link *resetLink = addLink(m_design.reset);
    forEachItem([this, form](const SummaryItem &item) {
        if (item.status)
            addIndicator(form->findChild<QWidget *>(QString::fromUtf16(item.status)), item.rule,
                         &declaredLink(item.link));
    });

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
