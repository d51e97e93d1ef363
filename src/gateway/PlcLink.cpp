#include "PlcLink.h"

#include <QElapsedTimer>
#include <QTimer>

#include <modbus.h>

#include <cerrno>

namespace corvane::gateway {

class PlcLink::Worker : public QObject
{
public:
    Worker(PlcLink *owner, const ItemMap &map, const QList<ScanRequest> &plan, const PlcSettings &settings)
        : m_owner(owner)
        , m_map(map)
        , m_plan(plan)
        , m_settings(settings)
        , m_backoffMs(settings.reconnectMinMs)
    {
    }
    ~Worker() override { disconnectPlc(); }

    void begin()
    {
        m_timer = new QTimer(this);
        m_timer->setTimerType(Qt::PreciseTimer);
        m_timer->setInterval(m_settings.periodMs);
        connect(m_timer, &QTimer::timeout, this, &Worker::tick);
        m_timer->start();
        m_clock.start();
        tick();
    }

    void end()
    {
        delete m_timer;
        m_timer = nullptr;
        disconnectPlc();
    }

    void write(int rowIndex, const Encoded &value)
    {
        const MapRow &row = m_map.rows[rowIndex];
        if (!m_ctx) {
            report(rowIndex, QStringLiteral("PLC not connected"), {});
            return;
        }
        int rc = -1;
        if (row.table == Table::Coil) {
            rc = modbus_write_bit(m_ctx, row.address, value.bit ? 1 : 0);
        } else if (row.type == Type::RegisterBit) {
            uint16_t reg = 0;
            rc = modbus_read_registers(m_ctx, row.address, 1, &reg);
            if (rc == 1) {
                reg = value.bit ? uint16_t(reg | (1u << row.bit)) : uint16_t(reg & ~(1u << row.bit));
                rc = modbus_write_register(m_ctx, row.address, reg);
            }
        } else if (value.registers.size() == 1) {
            rc = modbus_write_register(m_ctx, row.address, value.registers[0]);
        } else {
            rc = modbus_write_registers(m_ctx, row.address, int(value.registers.size()), value.registers.constData());
        }
        if (rc < 0) {
            const QString error = errorText();
            if (!isException(errno))
                disconnectPlc();
            report(rowIndex, error, {});
            return;
        }
        const ScanRequest single{row.table, row.address, widthOf(row.type), {rowIndex}};
        QList<Reading> readings;
        if (read(single, &readings) < 0) {
            const QString error = QStringLiteral("written, but not read back: %1").arg(errorText());
            report(rowIndex, error, {});
            return;
        }
        report(rowIndex, {}, readings.value(0));
    }

private:
    static bool isException(int error) { return error > MODBUS_ENOBASE && error < MODBUS_ENOBASE + 20; }
    static QString errorText() { return QString::fromLocal8Bit(modbus_strerror(errno)); }

    void report(int row, const QString &error, const Reading &readback)
    {
        QMetaObject::invokeMethod(
                m_owner, [owner = m_owner, row, error, readback] { Q_EMIT owner->written(row, error, readback); });
    }

    void disconnectPlc()
    {
        if (!m_ctx)
            return;
        modbus_close(m_ctx);
        modbus_free(m_ctx);
        m_ctx = nullptr;
    }

    bool connectPlc()
    {
        const QByteArray port = QByteArray::number(m_settings.port);
        m_ctx = modbus_new_tcp_pi(m_settings.host.toUtf8().constData(), port.constData());
        if (!m_ctx) {
            fail(QStringLiteral("cannot use %1:%2: %3").arg(m_settings.host).arg(m_settings.port).arg(errorText()));
            return false;
        }
        modbus_set_slave(m_ctx, m_settings.unitId);
        const int ms = m_settings.responseTimeoutMs;
        modbus_set_response_timeout(m_ctx, uint32_t(ms / 1000), uint32_t(ms % 1000) * 1000);
        if (modbus_connect(m_ctx) != 0) {
            fail(QStringLiteral("cannot connect to %1:%2: %3")
                         .arg(m_settings.host)
                         .arg(m_settings.port)
                         .arg(errorText()));
            return false;
        }
        return true;
    }

    // A failed connection or scan: drop the connection and try again after a wait
    // that grows with each failure. One report per outage.
    void fail(const QString &reason)
    {
        disconnectPlc();
        m_retryAtMs = m_clock.elapsed() + m_backoffMs;
        m_backoffMs = std::min(m_backoffMs * 2, m_settings.reconnectMaxMs);
        if (m_inOutage)
            return;
        m_inOutage = true;
        QMetaObject::invokeMethod(m_owner, [owner = m_owner, reason] { Q_EMIT owner->outage(reason); });
    }

    // Reads one request into readings: the number of registers or bits, or -1.
    int read(const ScanRequest &r, QList<Reading> *readings)
    {
        uint16_t regs[kMaxReadRegisters];
        uint8_t bits[kMaxReadBits];
        int rc = -1;
        switch (r.table) {
        case Table::Coil:
            rc = modbus_read_bits(m_ctx, r.start, r.count, bits);
            break;
        case Table::Discrete:
            rc = modbus_read_input_bits(m_ctx, r.start, r.count, bits);
            break;
        case Table::Holding:
            rc = modbus_read_registers(m_ctx, r.start, r.count, regs);
            break;
        case Table::Input:
            rc = modbus_read_input_registers(m_ctx, r.start, r.count, regs);
            break;
        }
        if (rc < 0)
            return rc;
        for (const int i : r.rows) {
            const MapRow &row = m_map.rows[i];
            const int offset = row.address - r.start;
            if (isBitTable(r.table)) {
                readings->append({i, Reading::Value, bitText(bits[offset] != 0)});
                continue;
            }
            if (const auto text = registerText(row, regs + offset, m_map.highWordFirst))
                readings->append({i, Reading::Value, *text});
            else
                readings->append({i, Reading::BadValue, QStringLiteral("not a valid %1").arg(typeName(row))});
        }
        return rc;
    }

    void tick()
    {
        if (!m_ctx && (m_clock.elapsed() < m_retryAtMs || !connectPlc()))
            return;
        QElapsedTimer scanClock;
        scanClock.start();
        QList<Reading> readings;
        for (qsizetype n = 0; n < m_plan.size(); ++n) {
            const ScanRequest request = m_plan[n];
            if (read(request, &readings) >= 0)
                continue;
            if (errno != EMBXILADD) {
                fail(QStringLiteral("%1:%2: %3").arg(m_settings.host).arg(m_settings.port).arg(errorText()));
                return;
            }
            if (request.rows.size() == 1) {
                const MapRow &row = m_map.rows[request.rows[0]];
                const QString why
                        = QStringLiteral("%1 %2 refused by the PLC").arg(tableName(row.table)).arg(row.address);
                readings.append({request.rows[0], Reading::Refused, why});
                continue;
            }
            // Somewhere in the range is an address the PLC does not have (a gap read
            // through, or a row): from now on this range is read row by row.
            const QString what = QStringLiteral("%1 %2-%3")
                                         .arg(tableName(request.table))
                                         .arg(request.start)
                                         .arg(request.start + request.count - 1);
            QMetaObject::invokeMethod(m_owner, [owner = m_owner, what] { Q_EMIT owner->requestSplit(what); });
            m_plan.removeAt(n);
            for (qsizetype k = 0; k < request.rows.size(); ++k) {
                const MapRow &row = m_map.rows[request.rows[k]];
                m_plan.insert(n + k, ScanRequest{row.table, row.address, widthOf(row.type), {request.rows[k]}});
            }
            --n; // read them now
        }
        const qint64 micros = scanClock.nsecsElapsed() / 1000;
        m_backoffMs = m_settings.reconnectMinMs;
        const bool wasOut = m_inOutage;
        m_inOutage = false;
        QMetaObject::invokeMethod(m_owner, [owner = m_owner, readings, wasOut, micros] {
            if (wasOut)
                Q_EMIT owner->recovered();
            Q_EMIT owner->scanned(readings, micros);
        });
    }

    PlcLink *m_owner;
    ItemMap m_map;
    QList<ScanRequest> m_plan;
    PlcSettings m_settings;
    modbus_t *m_ctx = nullptr;
    QTimer *m_timer = nullptr;
    QElapsedTimer m_clock;
    qint64 m_retryAtMs = 0;
    int m_backoffMs;
    bool m_inOutage = false;
};

PlcLink::PlcLink(const ItemMap &map, const QList<ScanRequest> &plan, const PlcSettings &settings, QObject *parent)
    : QObject(parent)
    , m_worker(new Worker(this, map, plan, settings))
{
    m_thread.setObjectName(QStringLiteral("plc"));
    m_worker->moveToThread(&m_thread);
}

PlcLink::~PlcLink()
{
    stop();
    delete m_worker;
}

void PlcLink::start()
{
    m_thread.start();
    QMetaObject::invokeMethod(m_worker, [w = m_worker] { w->begin(); });
}

void PlcLink::stop()
{
    if (!m_thread.isRunning())
        return;
    QMetaObject::invokeMethod(
            m_worker, [w = m_worker] { w->end(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void PlcLink::write(int row, const Encoded &value)
{
    QMetaObject::invokeMethod(m_worker, [w = m_worker, row, value] { w->write(row, value); });
}

} // namespace corvane::gateway
