#pragma once

#include "ScanPlan.h"
#include "ValueCoding.h"

#include <QObject>
#include <QThread>
#include <functional>
#include <memory>

namespace corvane::gateway {

// What one scan found for one row.
struct Reading
{
    enum Kind { Value, BadValue, Refused };
    int row = 0;
    Kind kind = Value;
    QString text; // Value: the value text; otherwise what is wrong
};

struct PlcSettings
{
    QString host;
    int port = 502;
    int unitId = 1;
    int periodMs = 100;
    int responseTimeoutMs = 500;
    int reconnectMinMs = 250;
    int reconnectMaxMs = 3000;
};

// The PLC side: Modbus TCP on a thread of its own, so a slow or silent PLC holds up
// nothing but its own scans. It scans by the plan every period, reconnects with
// back-off, and hands every result to the owner's thread as a queued call.
class PlcLink : public QObject
{
    Q_OBJECT
public:
    PlcLink(const ItemMap &map, const QList<ScanRequest> &plan, const PlcSettings &settings, QObject *parent = nullptr);
    ~PlcLink() override;

    void start();
    void stop();
    // Writes the row (read-modify-write for a register bit), then reads it back.
    void write(int row, const Encoded &value);

Q_SIGNALS:
    // scanMicros: from the first request sent to the last answer decoded.
    void scanned(const QList<corvane::gateway::Reading> &readings, qint64 scanMicros);
    // The first failure of an outage, and the first good scan after it.
    void outage(const QString &reason);
    void recovered();
    // error empty: written, and `readback` is what the PLC now holds.
    void written(int row, const QString &error, const corvane::gateway::Reading &readback);
    // A request the PLC refused as a whole is read row by row from now on.
    void requestSplit(const QString &what);

private:
    class Worker;
    QThread m_thread;
    Worker *m_worker = nullptr;
};

} // namespace corvane::gateway

Q_DECLARE_METATYPE(corvane::gateway::Reading)
