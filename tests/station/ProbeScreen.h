#pragma once

#include "core/link/Link.h"
#include "core/time/Timer.h"
#include "station/Screen.h"
#include "station/Station.h"
#include "ui/Controls.h"
#include "ui/FlashGenerator.h"
#include "ui/LinkView.h"

namespace corvane::test {

// A small screen with the usual parts (links in a table, a flash timer, a status
// label), to test what every screen inherits.
class ProbeScreen : public Screen
{
    Q_OBJECT
public:
    ProbeScreen(Station &station, const QString &name, SelfUnload rule = SelfUnload::Never)
        : Screen(station, name, QStringLiteral("Probe ") + name)
    {
        setSelfUnload(rule);
        setClientSizeTwips(3000, 2000);
    }

    QStringList changes;
    FlashGenerators flash;
    Link *linkA = nullptr;
    LinkLabel *lblA = nullptr; // the view of linkA

protected:
    void build(QWidget *form) override
    {
        linkA = addLink(QStringLiteral("lblA"), QStringLiteral("a"), QStringLiteral("1"), LinkMode::Automatic);
        lblA = new LinkLabel(*linkA, form);
        Link *lblB = addLink(QStringLiteral("lblB"), QStringLiteral("b"), QStringLiteral("0"), LinkMode::Manual);
        Link *lblC = addLink(QStringLiteral("lblC"), QStringLiteral("c"), QStringLiteral("0"), LinkMode::Automatic);
        for (Link *l : {linkA, lblB, lblC}) {
            connect(l, &Link::changed, this, [this, l] { changes << l->name() + u'=' + l->value(); });
        }
        makeStatusLabel(form, QStringLiteral("lblAStatus"), QStringLiteral("DESIGN"));
        Timer *red = addTimer(QStringLiteral("tmrFlashRed"), 200, true);
        connect(red, &Timer::tick, this, [this] {
            flash.advanceRed();
            paintStatus(control<QLabel>(QStringLiteral("lblAStatus")), linkA->reads(1) ? flash.red() : Colours::green,
                        linkA->reads(1) ? QStringLiteral("FAULT") : QStringLiteral("OK"));
        });
        makeButton(form, QStringLiteral("cmdOk"), QStringLiteral("OK"));
    }
    void released() override
    {
        linkA = nullptr;
        lblA = nullptr;
    }
};

} // namespace corvane::test
