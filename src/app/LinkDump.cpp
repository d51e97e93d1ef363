#include "LinkDump.h"
#include "SignalQuit.h"

#include "core/Logging.h"
#include "core/link/Link.h"
#include "station/Screen.h"
#include "station/ScreenRegistry.h"

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <csignal>

namespace corvane {

QByteArray linkDump(const ScreenRegistry &screens)
{
    QByteArray out;
    for (const Screen *screen : screens.loadedScreens()) {
        for (const Link *link : screen->links().inOrder()) {
            if (!link->isLinkOpen() || link->linkMode() != LinkMode::Automatic)
                continue;
            // The caption a view of the link shows (or would show).
            const QJsonObject line{{QStringLiteral("form"), screen->formName()},
                                   {QStringLiteral("control"), link->name()},
                                   {QStringLiteral("item"), link->item()},
                                   {QStringLiteral("value"), link->value()},
                                   {QStringLiteral("caption"), displayText(link->value())}};
            out += QJsonDocument(line).toJson(QJsonDocument::Compact);
            out += '\n';
        }
    }
    return out;
}

void installLinkDump(QApplication &app, const ScreenRegistry &screens, const QString &path)
{
    if (path.isEmpty())
        return;
    onSignal(app, SIGUSR1, [&screens, path] {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(linkDump(screens)) < 0 || !file.commit())
            qCWarning(lcLink, "cannot write the link dump to %s", qPrintable(path));
    });
}

} // namespace corvane
