#include "ReplayLaunch.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QProcess>

namespace corvane::history {

QStringList replayArguments(const QString &historyPath, qint64 utcMs)
{
    return {QStringLiteral("--replay"), QDateTime::fromMSecsSinceEpoch(utcMs, Qt::UTC).toString(Qt::ISODateWithMs),
            QStringLiteral("--history"), historyPath};
}

bool startReplay(const QString &historyPath, qint64 utcMs)
{
    // The running program is the station: the same build replays what it recorded.
    return QProcess::startDetached(QCoreApplication::applicationFilePath(), replayArguments(historyPath, utcMs));
}

} // namespace corvane::history
