#pragma once

// What the flood and kill tests share: the real station program on its own broker,
// a publisher that toggles monitored items from a thread of its own, and a reader of
// the alarm log that checks every line against what was published.

#include "MqttTestKit.h"
#include "Sanitizer.h"

#include <QByteArray>
#include <QProcess>
#include <QStringList>

#include <atomic>
#include <span>
#include <thread>
#include <vector>

struct mosquitto;

namespace corvane::test {

// One monitored item: its alarm rule as its screen logs it, and the value its label
// shows before the first delivery (the design caption).
struct FloodItem
{
    const char *item;
    int active;
    int caption;
    const char *raised;
    const char *cleared;
};
std::span<const FloodItem> floodItems();

// A broker that neither drops nor throttles a subscriber that falls behind.
QString noDropBrokerConfig();

// corvane-station with the test options, stdout read line by line.
class StationProcess
{
public:
    StationProcess(const Broker &broker, const QString &logPath, const QStringList &extraArgs);
    ~StationProcess();

    QStringList stdoutLines() const { return m_out; }
    QString stderrText() const { return QString::fromUtf8(m_err); }
    bool linkUp() const { return m_err.contains("data server link up"); }
    qint64 pid() const { return m_process.processId(); }
    // Resident memory and CPU time (user + system) from /proc, 0 when gone.
    qint64 residentBytes() const;
    double cpuSeconds() const;
    void signal(int sig);
    // The exit code, or -1 when it did not end in time or crashed.
    int waitForExit(int ms = 30'000);

private:
    QProcess m_process;
    QByteArray m_outBuffer;
    QStringList m_out;
    QByteArray m_err;
};

// Publishes through libmosquitto: the initial (inactive) value of every flood item
// retained, then each item toggled once per period until stopped, QoS 1.
class FloodPublisher
{
public:
    explicit FloodPublisher(const Broker &broker);
    ~FloodPublisher();

    bool connect();
    // $state online and every item at its inactive value, retained, acknowledged.
    bool publishInitial();
    void start(std::chrono::milliseconds period);
    void stop();
    // Toggles published to each item (all the same: one per item per period).
    int toggles() const { return m_ticks; }
    qint64 published() const { return m_published; }
    // Waits until the broker acknowledged every publish.
    bool waitAcknowledged(int ms);

private:
    void run(std::chrono::milliseconds period);
    bool send(const QByteArray &topic, const QByteArray &payload, bool retain);

    quint16 m_port;
    mosquitto *m_mosq = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_ticks{0};
    std::atomic<qint64> m_published{0};
    std::atomic<qint64> m_acknowledged{0};
    std::atomic<bool> m_connected{false};
};

// The alarm log as written: each line with its CR LF checked, its message and time
// stamp split, and each message's item.
struct LogLine
{
    QString text; // without its CR LF
    QString message;
    int item = -1; // index in floodItems(), -1: not a flood item
    bool raised = false;
};
struct ParsedLog
{
    std::vector<LogLine> lines;
    QStringList problems; // torn, interleaved or unknown lines, by line number
    QByteArray sha1;      // of the whole file
};
ParsedLog parseAlarmLog(const QString &path, qint64 fromByte = 0);

// The lines an item should have after `toggles` toggles from its inactive value,
// counting the first delivery's line when the inactive value differs from the caption.
int expectedLines(const FloodItem &item, int toggles);
// Per item: lines alternate raised/cleared as published, starting from the first
// delivery. With `complete`, each item has all its lines; otherwise a prefix.
QStringList checkPerItem(const ParsedLog &log, int toggles, bool complete);

} // namespace corvane::test
