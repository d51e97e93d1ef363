#pragma once

// What the tests of the network link share: a mosquitto of their own on a free
// loopback port, the mosquitto clients as independent witnesses, and the station
// built as the program builds it on the MQTT link (real time, Qt's event loop).

#include "core/alarm/AlarmRule.h"
#include "core/link/Link.h"
#include "core/time/QtScheduler.h"
#include "station/Screen.h"
#include "station/Station.h"
#include "transport/MqttDataServer.h"
#include "transport/MqttTagSource.h"
#include "ui/LinkView.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace corvane::test {

// One mosquitto, started and stopped by the test; same port across restarts.
class Broker
{
public:
    // listenerConfig follows the listener line (TLS files); globalConfig is added after.
    explicit Broker(const QString &listenerConfig = {}, const QString &globalConfig = {});
    ~Broker();

    // Final once the first start() has succeeded (a port taken meanwhile by another
    // test is traded for a new one then, and only then).
    quint16 port() const { return m_port; }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    // Starts it and waits until it runs on its port; false (with the reason printed)
    // when it does not within 10 s, or when a restart finds its port taken: it never
    // stands in for somebody else's broker on that port.
    bool start();
    void kill();  // as a crash: the clients see their sockets close
    void pause(); // as a silent failure: sockets stay open, nothing answers
    void resume();
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    QString log() const;

    static quint16 freePort();
    static QString program(const QString &name);

private:
    enum class Outcome { Running, PortTaken, Failed };
    void writeConfig();
    Outcome startOnce();

    QTemporaryDir m_dir;
    QString m_listenerConfig;
    QString m_globalConfig;
    quint16 m_port;
    bool m_everStarted = false;
    QProcess m_process;
};

// A loopback port that refuses every connection, held so that no other test can
// take it meanwhile: bound, never listening.
class RefusingPort
{
public:
    RefusingPort();
    ~RefusingPort();
    quint16 port() const { return m_port; }

private:
    int m_fd = -1;
    quint16 m_port = 0;
};

// mosquitto_sub on a filter, each message kept as "topic qos retained payload".
class Witness
{
public:
    Witness(const Broker &broker, const QString &filter, const QStringList &extraArgs = {});
    ~Witness();
    bool waitReady(); // subscribed (its first probe message came back)
    QStringList lines();

private:
    quint16 m_port;
    QProcess m_process;
    QByteArray m_buffer;
    QStringList m_lines;
    QString m_readyTopic;
};

// mosquitto_pub: one message, payload given exactly (stdin), QoS 1.
// startPublish returns at once (the event loop keeps running); publish waits for it.
std::unique_ptr<QProcess> startPublish(const Broker &broker, const QString &topic, const QByteArray &payload,
                                       bool retain = true, const QStringList &extraArgs = {});
// Waits for a started process; true when it ended well (also when it had ended before).
bool finishedWell(QProcess &process, int timeoutMs = 10'000);
bool publish(const Broker &broker, const QString &topic, const QByteArray &payload, bool retain = true,
             const QStringList &extraArgs = {});
QString itemTopic(const QString &item);
QString stateTopic();

// A main car screen stand-in: c27 with its alarm rule, c22 written, a gauge.
class CarProbe : public Screen
{
    Q_OBJECT
public:
    static constexpr AlarmRule kC27{u"c27", 1, 0, u"FAULT C27 Handbrake ON, Car Moving  ",
                                    u"CLEAR C27 Handbrake ON, Car Moving  "};

    explicit CarProbe(Station &station, const QString &name = QStringLiteral("frmCVCarmain"));

    Link *lblC27 = nullptr;
    Link *lblC22 = nullptr;
    LinkLabel *lblMPHV10020 = nullptr; // the gauge's view
    QStringList changes;
    int depth = 0;
    int deepest = 0;
    // Run inside the c27 change handler (a poke, say), to see it is not re-entered.
    std::function<void()> onC27;

protected:
    void build(QWidget *form) override;
    void released() override;
};

// The station on the MQTT link: the real selection window, the probe as the main
// car screen, a temporary alarm log.
class MqttStation
{
public:
    explicit MqttStation(const MqttSettings &settings);
    ~MqttStation();

    QtScheduler scheduler;
    QTemporaryDir dir;
    std::unique_ptr<MqttTagSource> tags;
    std::unique_ptr<Station> station;
    CarProbe *car = nullptr;

    // The alarm log, each line without its time stamp (checked to be one).
    QStringList alarmMessages() const;
    QString title(const QString &form) const;
};

MqttSettings settingsFor(const Broker &broker);

// A test CA made now ("ca"), a CA nobody trusts ("stranger"), a server certificate
// for 127.0.0.1 and localhost ("server"), a client certificate ("client"): each
// name.crt and name.key in one temporary folder.
class TestPki
{
public:
    bool make();
    QString path(const QString &file) const { return m_dir.filePath(file); }

private:
    bool openssl(const QStringList &args);
    bool makeCa(const QString &name);
    bool makeSigned(const QString &name, const QString &san);
    QTemporaryDir m_dir;
};

// Adds a user to a mosquitto password file (creating it).
bool addBrokerUser(const QString &passwordFile, const QString &user, const QString &password);

// The lines of an alarm log, each without its time stamp (checked to be one).
QStringList alarmMessages(const QString &logPath);

// The broker log since its last start (mosquitto logs every PUBLISH it receives).
QString logSinceLastStart(const Broker &broker);

// The longest time the event loop went without running a 5 ms timer while fn runs
// and then for spinMs more: what the operator would feel as a frozen window.
qint64 longestStall(const std::function<void()> &fn, int spinMs);
// How long building and showing the selection and main screens holds the UI with no
// network at all (the in-process server): a stall bound adds it, so a loaded machine
// building windows slowly is not taken for a wait on the network.
qint64 buildingTwoScreensMs();
// The same, watched from fn until done() holds (and spinMs more), so the handling
// that done() waits for is inside what is measured; -1 when done() never held.
qint64 longestStallUntil(const std::function<void()> &fn, const std::function<bool()> &done, int spinMs, int timeoutMs);

} // namespace corvane::test
