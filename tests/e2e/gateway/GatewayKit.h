#pragma once

// What the gateway's end-to-end tests share: a PLC (the Modbus server of Debian's
// python3-pymodbus, driven through stdin) and the gateway as a program.

#include <QProcess>
#include <QStringList>

namespace corvane::test {

class Plc
{
public:
    // Every table holds addresses 0..size-1; any other is an illegal data address.
    // Port 0: the first start binds one the system chooses, a restart binds it again.
    // "rtu:DEVICE": Modbus RTU on that serial line instead.
    explicit Plc(quint16 port = 0, int size = 10000);
    explicit Plc(const QString &serialDevice, int size = 10000);
    ~Plc();

    // Starts with these "set TABLE ADDRESS VALUE..." lines already in the datastore;
    // false when it does not listen within 20 s.
    bool start(const QStringList &sets = {});
    void kill();
    // SIGSTOP and SIGCONT: a PLC that takes connections and requests and never answers.
    void pause();
    void resume();
    quint16 port() const { return m_port; }
    // One command, its answer ("ok", "values ...").
    QString command(const QString &line);
    // "write TABLE ADDRESS VALUE..." lines of the clients' writes so far.
    QStringList writes() const { return m_writes; }

private:
    bool waitLine(QString *line, int ms);
    void readOut();

    quint16 m_port;
    QString m_serialDevice;
    int m_size;
    QProcess m_process;
    QByteArray m_buffer;
    QStringList m_answers;
    QStringList m_writes;
};

class Program
{
public:
    Program(const QString &path, const QStringList &args);
    ~Program();
    QString err() const { return QString::fromUtf8(m_err); }
    int count(const QString &text) const { return int(err().count(text)); }
    void signal(int sig);
    int waitForExit(int ms = 10'000);

private:
    QProcess m_process;
    QByteArray m_err;
};

// The last payload the witness saw on the topic, or a null string.
QString lastPayload(const QStringList &lines, const QString &topic);
// Where in the lines the message "topic payload" first appears at or after from; -1: nowhere.
qsizetype indexOf(const QStringList &lines, const QString &topic, const QString &payload, qsizetype from = 0);

} // namespace corvane::test
