#include "AlarmLogger.h"

#include "FrmAlarmlist.h"
#include "Scheduler.h"
#include "ScreenRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

namespace corvane {

AlarmLogger::AlarmLogger(Scheduler &scheduler, ScreenRegistry &screens, const QString &path)
    : m_scheduler(scheduler)
    , m_screens(screens)
    , m_path(path)
{
}

AlarmLogger::~AlarmLogger() = default;

QString AlarmLogger::timeStamp(const QDateTime &when)
{
    return QLocale::c().toString(when, QStringLiteral("HH:mm:ss MM/dd/yyyy"));
}

void AlarmLogger::raise(const QString &message)
{
    m_lastLine = message + timeStamp(m_scheduler.now());
    log();
}

void AlarmLogger::log()
{
    const QString line = m_lastLine;
    appendToFile(line);
    if (!m_screens.isLoaded(FrmAlarmlist::kFormName))
        m_screens.load(FrmAlarmlist::kFormName);
    if (auto *list = qobject_cast<FrmAlarmlist *>(m_screens.find(FrmAlarmlist::kFormName)))
        list->addLine(line);
    Q_EMIT lineRaised(line);
}

bool AlarmLogger::appendToFile(const QString &line)
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray bytes = line.toUtf8() + "\r\n";
    const bool written = file.write(bytes) == bytes.size();
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

} // namespace corvane
