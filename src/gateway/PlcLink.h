#pragma once

#include "ScanPlan.h"
#include "ValueCoding.h"

#include <QObject>
#include <memory>

namespace corvane {
class HandOff;
}

namespace corvane::gateway {

// What one scan found for one row.
struct Reading
{
    enum Kind {
        Value,    // read; text is the value
        BadValue, // read, but no value of its type (bad BCD, NaN); text says so
        Refused,  // the PLC refuses this row's addresses: it cannot be read
        Failed    // its request failed this time (busy, ...); tried again next scan
    };
    int row = 0;
    Kind kind = Value;
    QString text;
};

// One scan: what every planned row gave, what it cost.
struct ScanResult
{
    QList<Reading> readings;
    QStringList errors; // one per failed request: its Modbus exception
    int requests = 0;   // sent, refused ones included
    qint64 micros = 0;  // from the first request sent to the last answer decoded
};

struct PlcSettings
{
    // Modbus TCP: host and port. Modbus RTU: the serial device, with its line.
    QString host;
    int port = 502;
    QString serialDevice;
    int baud = 19200;
    char parity = 'E'; // N, E or O
    int stopBits = 1;

    int unitId = 1;
    int periodMs = 100;
    int responseTimeoutMs = 500;
    ReadLimits limits;
    int reconnectMinMs = 250;
    int reconnectMaxMs = 3000;
    int maxQueuedWrites = 1000;

    bool isRtu() const { return !serialDevice.isEmpty(); }
    // "192.168.1.10:502" or "rtu:/dev/ttyUSB0 19200 8E1", for the log.
    QString where() const;
};

// How long to wait before the next connection attempt: doubling from the least to
// the most, back to the least once a connection works.
class Backoff
{
public:
    Backoff(int minMs, int maxMs)
        : m_min(minMs)
        , m_max(maxMs)
        , m_next(minMs)
    {
    }
    // The wait before this attempt; the next one waits twice as long.
    int next()
    {
        const int wait = m_next;
        m_next = std::min(m_next * 2, m_max);
        return wait;
    }
    void reset() { m_next = m_min; }

private:
    int m_min;
    int m_max;
    int m_next;
};

// The PLC side: Modbus TCP or RTU on a thread of its own, so a slow or silent PLC
// holds up nothing but its own scans. It scans by the plan every period and does the
// queued writes between scans, in order; it reconnects with back-off. Every result is
// handed to the owner's thread through a HandOff.
//
// A Modbus exception fails that request only: a request refused as a whole (illegal
// address or value) is split for good, a row the PLC refuses alone is reported as
// such, anything else is tried again on the next scan. Only a transport failure (no
// answer, connection lost, a garbled answer) drops the connection.
class PlcLink : public QObject
{
    Q_OBJECT
public:
    PlcLink(const ItemMap &map, const QList<ScanRequest> &plan, const PlcSettings &settings, QObject *parent = nullptr);
    ~PlcLink() override;

    void start();
    void stop();
    // Queues the write (then a read-back of the row). False when maxQueuedWrites
    // already wait: the write is not made.
    bool write(int row, const Encoded &value);

Q_SIGNALS:
    void scanned(const corvane::gateway::ScanResult &result);
    // The first failure of an outage, and the first good scan after it.
    void outage(const QString &reason);
    void recovered();
    // error empty: written, and `readback` is what the PLC now holds (a row whose
    // read-back was skipped for a later write of the same row has kind Failed).
    void written(int row, const QString &error, const corvane::gateway::Reading &readback);
    // A request the PLC refused as a whole, read from now on as `into`.
    void requestSplit(const QString &what, const QString &why, const QStringList &into);

private:
    class Worker;
    HandOff *m_handOff; // a child: results reach this thread through it
    std::unique_ptr<Worker> m_worker;
};

// "holding 10-23"
QString requestText(const ScanRequest &request);
// A Modbus exception as the log shows it: "exception 06 (server busy)".
QString exceptionText(int code);

} // namespace corvane::gateway
