#include "core/StatePaths.h"

#include <QDir>

namespace corvane {

QString stateFolder()
{
#ifdef Q_OS_WIN
    return QStringLiteral("d:\\temp");
#else
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty())
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/corvane");
#endif
}

QString stateFile(const QString &name)
{
#ifdef Q_OS_WIN
    return stateFolder() + u'\\' + name;
#else
    return stateFolder() + u'/' + name;
#endif
}

QString defaultAlarmLogPath()
{
    return stateFile(QStringLiteral("alarm_log.txt"));
}

QString defaultHistoryPath()
{
    return stateFile(QStringLiteral("history.sqlite"));
}

} // namespace corvane
