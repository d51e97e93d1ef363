#include "GatewayKit.h"

#include <QDeadlineTimer>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>

namespace corvane::test {

Plc::Plc(quint16 port, int size)
    : m_port(port)
    , m_size(size)
{
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] { readOut(); });
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

Plc::Plc(const QString &serialDevice, int size)
    : Plc(0, size)
{
    m_serialDevice = serialDevice;
}

Plc::~Plc()
{
    kill();
}

void Plc::readOut()
{
    m_buffer += m_process.readAllStandardOutput();
    qsizetype nl;
    while ((nl = m_buffer.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(m_buffer.left(nl));
        m_buffer.remove(0, nl + 1);
        (line.startsWith(QLatin1String("write ")) ? m_writes : m_answers) << line;
    }
}

bool Plc::waitLine(QString *line, int ms)
{
    QDeadlineTimer deadline(ms);
    while (m_answers.isEmpty()) {
        if (deadline.hasExpired() || !m_process.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
    *line = m_answers.takeFirst();
    return true;
}

bool Plc::start(const QStringList &sets)
{
    m_answers.clear();
    m_buffer.clear();
    m_process.start(QStringLiteral("/usr/bin/python3"),
                    {QStringLiteral(CORVANE_PLC_SERVER),
                     m_serialDevice.isEmpty() ? QString::number(m_port) : QStringLiteral("rtu:") + m_serialDevice,
                     QString::number(m_size)});
    if (!m_process.waitForStarted(10'000))
        return false;
    m_process.write((sets.join(u'\n') + QStringLiteral("\nserve\n")).toUtf8());
    QString line;
    while (waitLine(&line, 20'000)) {
        if (line.startsWith(QLatin1String("ready"))) {
            if (m_serialDevice.isEmpty())
                m_port = quint16(line.section(u' ', 1).toUInt());
            return true;
        }
    }
    qWarning("the PLC did not start");
    return false;
}

void Plc::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    resume();
    m_process.kill();
    m_process.waitForFinished(5000);
}

void Plc::pause()
{
    ::kill(pid_t(m_process.processId()), SIGSTOP);
}

void Plc::resume()
{
    ::kill(pid_t(m_process.processId()), SIGCONT);
}

QString Plc::command(const QString &line)
{
    m_process.write((line + u'\n').toUtf8());
    QString answer;
    return waitLine(&answer, 10'000) ? answer : QStringLiteral("<no answer>");
}

Program::Program(const QString &path, const QStringList &args)
{
    QObject::connect(&m_process, &QProcess::readyReadStandardError,
                     [this] { m_err += m_process.readAllStandardError(); });
    m_process.setStandardOutputFile(QProcess::nullDevice());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_process.setProcessEnvironment(env);
    m_process.start(path, args);
}

Program::~Program()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

void Program::signal(int sig)
{
    ::kill(pid_t(m_process.processId()), sig);
}

int Program::waitForExit(int ms)
{
    if (!m_process.waitForFinished(ms) || m_process.exitStatus() != QProcess::NormalExit)
        return -1;
    m_err += m_process.readAllStandardError();
    return m_process.exitCode();
}

// Witness lines are "topic qos retained payload".
static bool matches(const QString &line, const QString &topic, QString *payload)
{
    if (!line.startsWith(topic + u' '))
        return false;
    *payload = line.section(u' ', 3);
    return true;
}

QString lastPayload(const QStringList &lines, const QString &topic)
{
    QString out, p;
    for (const QString &line : lines) {
        if (matches(line, topic, &p))
            out = p;
    }
    return out;
}

qsizetype indexOf(const QStringList &lines, const QString &topic, const QString &payload, qsizetype from)
{
    QString p;
    for (qsizetype i = std::max<qsizetype>(from, 0); i < lines.size(); ++i) {
        if (matches(lines[i], topic, &p) && p == payload)
            return i;
    }
    return -1;
}

} // namespace corvane::test
