#include "core/screen/IoScreen.h"

#include "core/screen/Controls.h"
#include "core/link/LinkControl.h"
#include "core/screen/Station.h"
#include "core/time/Timer.h"
#include "core/link/Value.h"

namespace corvane {

IoScreen::IoScreen(Station &station, const IoDesign &design)
    : PanelScreen(station, design.form, design.caption, design.width, design.height, design.closeOn)
    , m_design(design)
{
}

void IoScreen::build(QWidget *form)
{
    const IoDesign &d = m_design;
    TagSource &tags = station().tags();
    buildPanel(form, d.frames, d.rows, [&d, &tags](QWidget *frame, const QString &name) -> QWidget * {
        if (const IoIndicator *s = findRow(d.indicators, name))
            return makeStatusLabel(frame, name, QString::fromUtf16(s->design));
        if (const PanelLabel *l = findRow(d.labels, name))
            return makePanelLabel(frame, *l);
        if (const LinkDesign *link = findRow(d.links, name); link && link->visible)
            return makeValueLink(frame, tags, *link);
        return nullptr;
    });
    m_links = buildLinks(form, tags, d.links);

    auto findLink = [form](const char16_t *name) -> const LinkControl * {
        return name ? form->findChild<LinkLabel *>(QString::fromUtf16(name)) : nullptr;
    };
    m_indicators.clear();
    for (const IoIndicator &s : d.indicators)
        m_indicators.emplace_back(form->findChild<QWidget *>(QString::fromUtf16(s.name)), s.rule, findLink);
    if (d.reading) {
        m_readingTarget = form->findChild<QWidget *>(QString::fromUtf16(d.reading->target));
        m_readingSource = findLink(d.reading->source);
    }

    buildButtons(form, d.buttons, station().screens());

    Timer *tmrFlash = addTimer(QStringLiteral("tmrFlash"), 200, true);
    connect(tmrFlash, &Timer::tick, this, &IoScreen::tmrFlash_Timer);
}

void IoScreen::released()
{
    PanelScreen::released();
    m_readingTarget = nullptr;
    m_readingSource = nullptr;
}

void IoScreen::tmrFlash_Timer()
{
    // The reading first, then the points.
    if (m_readingTarget && m_readingSource) {
        // A value that is no number leaves the last reading standing.
        if (const auto v = m_readingSource->number())
            corvane::setCaption(m_readingTarget, numberText(*v / m_design.reading->divisor));
    }
    repaintIndicators(nullptr);
}

} // namespace corvane
