#pragma once

#include "core/link/LinkControl.h"
#include "core/time/Timer.h"
#include "station/Screen.h"
#include "station/Station.h"
#include "ui/Controls.h"
#include "ui/FlashGenerator.h"

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
    QList<LinkControl *> links;
    LinkLabel *lblA = nullptr;

protected:
    void build(QWidget *form) override
    {
        TagSource &tags = station().tags();
        lblA = new LinkLabel(tags, QStringLiteral("lblA"), QStringLiteral("a"), QStringLiteral("1"),
                             LinkMode::Automatic, form, true);
        auto *lblB = new LinkLabel(tags, QStringLiteral("lblB"), QStringLiteral("b"), QStringLiteral("0"),
                                   LinkMode::Manual, form);
        auto *lblC = new LinkLabel(tags, QStringLiteral("lblC"), QStringLiteral("c"), QStringLiteral("0"),
                                   LinkMode::Automatic, form);
        links = {lblA, lblB, lblC};
        for (auto *l : {lblA, lblB, lblC}) {
            connect(l, &LinkLabel::changed, this, [this, l] { changes << l->objectName() + u'=' + l->value(); });
        }
        makeStatusLabel(form, QStringLiteral("lblAStatus"), QStringLiteral("DESIGN"));
        Timer *red = addTimer(QStringLiteral("tmrFlashRed"), 200, true);
        connect(red, &Timer::tick, this, [this] {
            flash.advanceRed();
            paintStatus(control<QLabel>(QStringLiteral("lblAStatus")), lblA->reads(1) ? flash.red() : Colours::green,
                        lblA->reads(1) ? QStringLiteral("FAULT") : QStringLiteral("OK"));
        });
        makeButton(form, QStringLiteral("cmdOk"), QStringLiteral("OK"));
    }
    void formLoad() override { openLinks(links); }
    void formUnload() override { closeLinks(links); }
    void released() override
    {
        links.clear();
        lblA = nullptr;
    }
};

} // namespace corvane::test
