#pragma once

#include "core/screen/ColourRef.h"
#include "core/time/FlashGenerator.h"
#include "core/screen/Screen.h"

#include <QHash>
#include <QList>
#include <vector>

namespace corvane {

class LinkControl;
class LinkLabel;
class Pulse;

// The porter's screen: every call of the four rooms, the car and the dome tables,
// and the porter's command buttons. It unloads itself when another window of the
// program becomes active; the main screen brings it back while c750 is 1.
class FrmPorter : public Screen
{
    Q_OBJECT
public:
    static constexpr char kFormName[] = "frmPorter";
    explicit FrmPorter(Station &station);

    enum class Look : quint8 { YellowFlash, Red, Green, Cyan };

protected:
    void build(QWidget *form) override;
    void formLoad() override;
    void formUnload() override;
    void released() override;

private:
    // One control that shows one status tag. A label keeps its caption (no texts).
    struct Indication
    {
        QWidget *control;
        const LinkLabel *status;
        Look look;
        QString active;
        QString idle;
    };

    QWidget *makeControl(QWidget *parent, const QString &name, const char *design, int left, int top, bool button);
    Pulse *makePulse(QWidget *form, const char *command, const QString &timer, int intervalMs, bool runningAtLoad);
    LinkLabel *link(const char *item) const;
    void addIndication(QWidget *control, const char *status, Look look, const char *active, const char *idle);
    ColourRef colourOf(Look look) const;

    void tmrFlashYellow_Timer();
    void tmrFlashRed_Timer();
    void cmdWake_Click(const LinkLabel *wakeStatus, LinkLabel *wakeCommand);
    void cmdHidefrmPorter_Click();

    FlashGenerators m_flash; // the screen's, not the window's: it runs on across reloads
    QList<LinkControl *> m_links; // the link table order
    QHash<QString, LinkLabel *> m_linkByItem;
    std::vector<Indication> m_indications; // the refresh order
};

} // namespace corvane
