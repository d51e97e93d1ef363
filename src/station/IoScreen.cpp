#include "station/IoScreen.h"

#include "core/link/Link.h"
#include "core/link/Value.h"
#include "core/time/Timer.h"
#include "station/Station.h"
#include "ui/Controls.h"

namespace corvane {

IoScreen::IoScreen(Station &station, const IoDesign &design)
    : Screen(station, QString::fromUtf16(design.form), QString::fromUtf16(design.caption))
    , m_design(design)
{
    setClientSizeTwips(design.width, design.height);
    setSelfUnload(design.closeOn);
}

void IoScreen::build(QWidget *form)
{
    const IoDesign &d = m_design;
    addLinks(d.links);
    buildPanel(form, d.frames, [this, &d](QWidget *frame, const QString &name) -> QWidget * {
        if (const IoIndicator *s = findRow(d.indicators, name))
            return makeStatusLabel(frame, name, QString::fromUtf16(s->design));
        if (const PanelLabel *l = findRow(d.labels, name))
            return makePanelLabel(frame, *l);
        if (const LinkDesign *link = findRow(d.links, name); link && link->visible)
            return makeValueView(frame, declaredLink(name));
        return nullptr;
    });
    for (const IoIndicator &s : d.indicators)
        addIndicator(form->findChild<QWidget *>(QString::fromUtf16(s.name)), s.rule);
    describeFrames(d.frames);
    if (d.reading) {
        QWidget *target = control<QWidget>(QString::fromUtf16(d.reading->target));
        const Link &source = declaredLink(d.reading->source);
        addTrendTarget(target, source);
        describe(target, trendWords(target, source.item()).caption, {}, d.reading->divisor);
    }

    buildButtons(form, d.buttons, station().screens());

    Timer *tmrFlash = addTimer(QStringLiteral("tmrFlash"), 200, true);
    connect(tmrFlash, &Timer::tick, this, &IoScreen::tmrFlash_Timer);
}

void IoScreen::tmrFlash_Timer()
{
    // The reading first, then the points.
    if (const ScaledReading *r = m_design.reading) {
        QWidget *target = control<QWidget>(QString::fromUtf16(r->target));
        const Link *source = link(r->source);
        // A value that is no number leaves the last reading standing.
        if (const auto v = target && source ? source->number() : std::nullopt)
            corvane::setCaption(target, numberText(*v / r->divisor));
    }
    repaintIndicators(nullptr);
}

} // namespace corvane
