#pragma once

#include "station/Screen.h"
#include "ui/FlashGenerator.h"

namespace corvane {

class Link;
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

protected:
    void build(QWidget *form) override;

private:
    QWidget *makeControl(QWidget *parent, const QString &name, const char *design, int left, int top, bool button);
    Pulse *makePulse(QWidget *form, const char *command, const QString &timer, int intervalMs, bool runningAtLoad);
    Link *itemLink(const char *item) const;

    void tmrFlashYellow_Timer();
    void tmrFlashRed_Timer();
    void cmdWake_Click(const Link *wakeStatus, Link *wakeCommand);
    void cmdHidefrmPorter_Click();

    FlashGenerators m_flash; // the screen's, not the window's: it runs on across reloads
};

} // namespace corvane
