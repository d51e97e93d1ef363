#include "LinkDump.h"

#include "core/link/LinkControl.h"

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QWidget>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace corvane {

namespace {
int g_dumpPipe[2] = {-1, -1};

void onDumpSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(g_dumpPipe[1], &c, 1);
}
} // namespace

QByteArray linkDump()
{
    QByteArray out;
    for (QWidget *w : QApplication::allWidgets()) {
        const auto *link = dynamic_cast<const LinkControl *>(w);
        if (!link || !link->isLinkOpen() || link->linkMode() != LinkMode::Automatic)
            continue;
        QString caption;
        if (const auto *label = qobject_cast<const QLabel *>(w))
            caption = label->text();
        else if (const auto *box = qobject_cast<const QLineEdit *>(w))
            caption = box->text();
        const QJsonObject line{{QStringLiteral("form"), w->window()->objectName()},
                               {QStringLiteral("control"), w->objectName()},
                               {QStringLiteral("item"), link->item()},
                               {QStringLiteral("value"), link->value()},
                               {QStringLiteral("caption"), caption}};
        out += QJsonDocument(line).toJson(QJsonDocument::Compact);
        out += '\n';
    }
    return out;
}

void installLinkDump(QApplication &app, const QString &path)
{
    if (path.isEmpty() || ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_dumpPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_dumpPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [path] {
        char c;
        [[maybe_unused]] const auto n = ::read(g_dumpPipe[0], &c, 1);
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(linkDump()) < 0 || !file.commit())
            qWarning("cannot write the link dump to %s", qPrintable(path));
    });
    struct sigaction sa
    {
    };
    sa.sa_handler = onDumpSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGUSR1, &sa, nullptr);
}

} // namespace corvane
