#pragma once

#include <QString>

class QApplication;

namespace corvane {

class ScreenRegistry;

// On SIGUSR1, writes every open automatic link of the shown and hidden windows to
// `path` as JSON lines {form, control, item, value, caption}: the value the screens
// read and the caption a label shows. The file is replaced whole (written beside it,
// then renamed), so a reader never sees half a dump. For checking a running station
// from outside (the soak test); nothing is installed when path is empty.
void installLinkDump(QApplication &app, const ScreenRegistry &screens, const QString &path);

// The dump itself, one line per link, screen by screen in load order, each screen's
// links in their order.
QByteArray linkDump(const ScreenRegistry &screens);

} // namespace corvane
