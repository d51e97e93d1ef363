#include "PlcLink.h"

#include "core/time/HandOff.h"

#include <modbus.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <netdb.h>
#include <thread>

namespace corvane::gateway {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

QString errorText(int error)
{
    return QString::fromLocal8Bit(modbus_strerror(error));
}

bool isException(int error)
{
    return error >= EMBXILFUN && error <= EMBXGTAR;
}

} // namespace

QString PlcSettings::where() const
{
    if (!isRtu())
        return QStringLiteral("%1:%2").arg(host).arg(port);
    return QStringLiteral("rtu:%1 %2 8%3%4").arg(serialDevice).arg(baud).arg(QLatin1Char(parity)).arg(stopBits);
}

QString requestText(const ScanRequest &request)
{
    return QStringLiteral("%1 %2-%3")
            .arg(tableName(request.table))
            .arg(request.start)
            .arg(request.start + request.count - 1);
}

QString exceptionText(int code)
{
    static const char *const names[] = {nullptr,
                                        "illegal function",
                                        "illegal data address",
                                        "illegal data value",
                                        "server failure",
                                        "acknowledge",
                                        "server busy",
                                        "negative acknowledge",
                                        "memory parity error",
                                        nullptr,
                                        "gateway path unavailable",
                                        "gateway target failed to respond"};
    const char *name = code > 0 && code < int(std::size(names)) && names[code] ? names[code] : "unknown";
    return QStringLiteral("exception %1 (%2)")
            .arg(QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0')).toUpper(), QLatin1String(name));
}

class PlcLink::Worker
{
public:
    Worker(PlcLink *owner, HandOff *handOff, const ItemMap &map, const QList<ScanRequest> &plan,
           const PlcSettings &settings)
        : m_owner(owner)
        , m_handOff(handOff)
        , m_map(map)
        , m_plan(plan)
        , m_settings(settings)
        , m_backoff(settings.reconnectMinMs, settings.reconnectMaxMs)
    {
    }
    ~Worker() { stop(); }

    void start()
    {
        if (m_thread.joinable())
            return;
        m_stop = false;
        m_thread = std::thread([this] { run(); });
    }

    void stop()
    {
        if (!m_thread.joinable())
            return;
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

    bool queue(int row, const Encoded &value)
    {
        {
            std::lock_guard lock(m_mutex);
            if (int(m_writes.size()) >= m_settings.maxQueuedWrites)
                return false;
            m_writes.push_back({row, value});
        }
        m_wake.notify_one();
        return true;
    }

private:
    struct Write
    {
        int row;
        Encoded value;
    };

    template<typename F>
    void post(F &&fn)
    {
        m_handOff->post(std::forward<F>(fn));
    }

    void run()
    {
        Clock::time_point nextScan = Clock::now();
        bool writeTurn = false;
        for (;;) {
            Write write;
            bool haveWrite = false;
            {
                std::unique_lock lock(m_mutex);
                const Clock::time_point due = m_ctx ? nextScan : m_retryAt;
                m_wake.wait_until(lock, due, [&] { return m_stop || !m_writes.empty(); });
                if (m_stop)
                    break;
                // Writes wait for nothing but a due scan, and get their turn after
                // every scan however late the next one is: neither starves the other.
                if (!m_writes.empty() && (!m_ctx || writeTurn || Clock::now() < due)) {
                    write = std::move(m_writes.front());
                    m_writes.pop_front();
                    haveWrite = true;
                }
            }
            if (haveWrite) {
                writeTurn = false;
                doWrite(write);
                continue;
            }
            if (!m_ctx && (Clock::now() < m_retryAt || !connectPlc()))
                continue;
            scan();
            writeTurn = true;
            nextScan += milliseconds(m_settings.periodMs);
            if (const auto now = Clock::now(); nextScan < now) {
                // A slow scan moves the schedule rather than piling scans up; writes
                // that wait get a period of their own before the next one.
                std::lock_guard lock(m_mutex);
                nextScan = m_writes.empty() ? now : now + milliseconds(m_settings.periodMs);
            }
        }
        disconnectPlc();
    }

    bool writeRow(const MapRow &row, const Encoded &value)
    {
        if (row.table == Table::Coil)
            return modbus_write_bit(m_ctx, row.address, value.bit ? 1 : 0) >= 0;
        if (row.type == Type::RegisterBit) {
            const auto mask = uint16_t(1u << row.bit);
            if (!m_map.readModifyWriteBits)
                return modbus_mask_write_register(m_ctx, row.address, uint16_t(~mask), value.bit ? mask : 0) >= 0;
            uint16_t reg = 0;
            if (modbus_read_registers(m_ctx, row.address, 1, &reg) != 1)
                return false;
            reg = value.bit ? uint16_t(reg | mask) : uint16_t(reg & ~mask);
            return modbus_write_register(m_ctx, row.address, reg) >= 0;
        }
        if (value.registers.size() == 1)
            return modbus_write_register(m_ctx, row.address, value.registers[0]) >= 0;
        return modbus_write_registers(m_ctx, row.address, int(value.registers.size()), value.registers.constData())
               >= 0;
    }

    void doWrite(const Write &w)
    {
        const MapRow &row = m_map.rows[w.row];
        if (!m_ctx) {
            report(w.row, QStringLiteral("PLC not connected"), {});
            return;
        }
        if (!writeRow(row, w.value)) {
            const int error = errno;
            if (!isException(error))
                fail(QStringLiteral("%1: %2").arg(m_settings.where(), errorText(error)));
            report(w.row, isException(error) ? exceptionText(error - MODBUS_ENOBASE) : errorText(error), {});
            return;
        }
        // A later write of the same row reads back for both.
        {
            std::lock_guard lock(m_mutex);
            for (const Write &later : m_writes) {
                if (later.row == w.row) {
                    report(w.row, {}, Reading{w.row, Reading::Failed, {}});
                    return;
                }
            }
        }
        const ScanRequest single{row.table, row.address, widthOf(row.type), {w.row}};
        QList<Reading> readings;
        if (read(single, &readings) < 0) {
            const int error = errno;
            if (!isException(error))
                fail(QStringLiteral("%1: %2").arg(m_settings.where(), errorText(error)));
            report(w.row, QStringLiteral("written, but not read back: %1").arg(errorText(error)), {});
            return;
        }
        report(w.row, {}, readings.value(0));
    }

    void report(int row, const QString &error, const Reading &readback)
    {
        post([owner = m_owner, row, error, readback] { Q_EMIT owner->written(row, error, readback); });
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
        const PlcSettings &s = m_settings;
        if (s.isRtu()) {
            m_ctx = modbus_new_rtu(s.serialDevice.toLocal8Bit().constData(), s.baud, s.parity, 8, s.stopBits);
        } else {
            // libmodbus says nothing true of a name that does not resolve.
            const QByteArray host = s.host.toUtf8();
            const QByteArray port = QByteArray::number(s.port);
            addrinfo hints{};
            hints.ai_socktype = SOCK_STREAM;
            addrinfo *found = nullptr;
            if (const int rc = ::getaddrinfo(host.constData(), port.constData(), &hints, &found); rc != 0) {
                fail(QStringLiteral("%1 does not resolve: %2").arg(s.host, QString::fromLocal8Bit(gai_strerror(rc))));
                return false;
            }
            ::freeaddrinfo(found);
            m_ctx = modbus_new_tcp_pi(host.constData(), port.constData());
        }
        if (!m_ctx) {
            fail(QStringLiteral("cannot use %1: %2").arg(s.where(), errorText(errno)));
            return false;
        }
        if (modbus_set_slave(m_ctx, s.unitId) != 0) {
            fail(QStringLiteral("unit id %1 refused: %2").arg(s.unitId).arg(errorText(errno)));
            return false;
        }
        modbus_set_response_timeout(m_ctx, uint32_t(s.responseTimeoutMs / 1000),
                                    uint32_t(s.responseTimeoutMs % 1000) * 1000);
        if (modbus_connect(m_ctx) != 0) {
            fail(QStringLiteral("cannot connect to %1: %2").arg(s.where(), errorText(errno)));
            return false;
        }
        return true;
    }

    // A failed connection or a transport failure: drop the connection and try again
    // after a wait that grows with each failure. One report per outage.
    void fail(const QString &reason)
    {
        disconnectPlc();
        m_retryAt = Clock::now() + milliseconds(m_backoff.next());
        {
            // Writes that wait cannot be made now: each is refused, not kept for later.
            std::lock_guard lock(m_mutex);
            for (const Write &w : m_writes)
                report(w.row, QStringLiteral("PLC not connected"), {});
            m_writes.clear();
        }
        if (m_inOutage)
            return;
        m_inOutage = true;
        post([owner = m_owner, reason] { Q_EMIT owner->outage(reason); });
    }

    // Reads one request into readings: the number of registers or bits, or -1 (errno).
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

    void scan()
    {
        const auto started = Clock::now();
        ScanResult result;
        for (qsizetype n = 0; n < m_plan.size(); ++n) {
            const ScanRequest request = m_plan[n];
            ++result.requests;
            if (read(request, &result.readings) >= 0)
                continue;
            const int error = errno;
            if (!isException(error)) {
                fail(QStringLiteral("%1: %2").arg(m_settings.where(), errorText(error)));
                return;
            }
            const QString why = exceptionText(error - MODBUS_ENOBASE);
            if (error == EMBXILADD || error == EMBXILVAL) {
                // Refused as a whole: a gap it does not have, or longer than it takes.
                const QList<ScanRequest> parts = splitRequest(m_map, request);
                if (!parts.isEmpty()) {
                    QStringList into;
                    for (const ScanRequest &p : parts)
                        into << requestText(p);
                    post([owner = m_owner, what = requestText(request), why, into] {
                        Q_EMIT owner->requestSplit(what, why, into);
                    });
                    m_plan.removeAt(n);
                    for (qsizetype k = 0; k < parts.size(); ++k)
                        m_plan.insert(n + k, parts[k]);
                    --n; // read them now
                    continue;
                }
                for (const int row : request.rows)
                    result.readings.append(
                            {row, Reading::Refused, QStringLiteral("%1 refused: %2").arg(requestText(request), why)});
                continue;
            }
            result.errors << why;
            for (const int row : request.rows)
                result.readings.append({row, Reading::Failed, QStringLiteral("%1: %2").arg(requestText(request), why)});
        }
        result.micros = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started).count();
        m_backoff.reset();
        const bool wasOut = m_inOutage;
        m_inOutage = false;
        post([owner = m_owner, result = std::move(result), wasOut] {
            if (wasOut)
                Q_EMIT owner->recovered();
            Q_EMIT owner->scanned(result);
        });
    }

    PlcLink *const m_owner;
    HandOff *const m_handOff;
    const ItemMap m_map;
    QList<ScanRequest> m_plan; // the PLC thread's own: splits are kept
    const PlcSettings m_settings;
    modbus_t *m_ctx = nullptr; // the PLC thread's own
    Backoff m_backoff;
    Clock::time_point m_retryAt;
    bool m_inOutage = false;

    std::mutex m_mutex; // what follows: the owner's thread and the PLC thread
    std::condition_variable m_wake;
    std::deque<Write> m_writes;
    bool m_stop = false;
    std::thread m_thread;
};

PlcLink::PlcLink(const ItemMap &map, const QList<ScanRequest> &plan, const PlcSettings &settings, QObject *parent)
    : QObject(parent)
    , m_handOff(new HandOff(this))
    , m_worker(std::make_unique<Worker>(this, m_handOff, map, plan, settings))
{
}

PlcLink::~PlcLink()
{
    stop();
}

void PlcLink::start()
{
    m_worker->start();
}

void PlcLink::stop()
{
    m_worker->stop();
}

bool PlcLink::write(int row, const Encoded &value)
{
    return m_worker->queue(row, value);
}

} // namespace corvane::gateway
