#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

namespace corvane {

class Scheduler;
class ScreenRegistry;

// The alarm logger (mdlAlarms): every FAULT, WARN and CLEAR transition becomes a line
// "message" + "hh:mm:ss mm/dd/yyyy", appended to the log file and to the alarm list.
class AlarmLogger : public QObject
{
    Q_OBJECT
public:
    AlarmLogger(Scheduler &scheduler, ScreenRegistry &screens, const QString &path);
    ~AlarmLogger() override;

    static QString timeStamp(const QDateTime &when);

    // Composes message + time stamp (now), keeps it as the last alarm line, logs it.
    void raise(const QString &message);
    // The last alarm line, shared by every screen.
    const QString &lastLine() const { return m_lastLine; }
    // File first, then the list (created hidden when needed), then its text box.
    void log();

    const QString &path() const { return m_path; }

Q_SIGNALS:
    void lineRaised(const QString &line);

private:
    bool appendToFile(const QString &line);

    Scheduler &m_scheduler;
    ScreenRegistry &m_screens;
    QString m_path;
    QString m_lastLine;
};

} // namespace corvane
