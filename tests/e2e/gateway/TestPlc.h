#pragma once

// A PLC for the gateway's tests, written here with libmodbus (not the gateway's own
// server): Modbus TCP on 127.0.0.1, port chosen by the system, with the faults of
// real PLCs switched on by the test: exceptions for address ranges, refusing reads
// through addresses it does not have, a longest read, slow answers, a bit the PLC
// changes between a client's read and its write.

#include <QList>
#include <QSet>
#include <QString>
#include <atomic>
#include <map>
#include <mutex>
#include <thread>

typedef struct _modbus modbus_t;
typedef struct _modbus_mapping_t modbus_mapping_t;

namespace corvane::test {

class TestPlc
{
public:
    TestPlc();
    ~TestPlc();

    bool start(); // listening once it returns true
    void stop();
    quint16 port() const { return m_port; }

    // Memory, any thread. Tables as the map names them: coil, discrete, holding, input.
    void setRegister(int address, quint16 value);
    quint16 holding(int address);
    void setCoil(int address, bool on);

    // Reads of holding registers covering [first, last] answer this exception code,
    // `times` times (-1: until cleared with code 0).
    void failReads(int first, int last, int code, int times = -1);
    // Only these holding registers, coils and discrete inputs exist: a read touching
    // any other answers 02 (illegal data address), as a strict PLC does.
    void onlyHave(const QSet<int> &holding, const QSet<int> &coils, const QSet<int> &discrete = {});
    // Reads longer than this answer 03 (illegal data value).
    void setLongestRead(int registers);
    // Every answer waits this long.
    void setDelayMs(int ms);
    // After the next read of this holding register, the PLC sets this bit of it.
    void setBitAfterRead(int address, int bit);

    // What clients did.
    int connections() const { return m_connections; }
    int readRequests() const { return m_reads; }
    QList<int> writeFunctions();               // function codes of the writes, in order
    QList<quint16> writtenValues(int address); // holding values after each write to it

private:
    void serve();
    // The exception to answer instead of the memory, or 0.
    int fault(int function, int address, int count);
    void afterRequest(int function, int address, int count);

    modbus_t *m_ctx = nullptr;
    modbus_mapping_t *m_memory = nullptr;
    int m_listenFd = -1;
    quint16 m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};

    std::mutex m_mutex; // everything below and the memory
    struct Failure
    {
        int first, last, code, times;
    };
    QList<Failure> m_failures;
    bool m_strict = false;
    QSet<int> m_holding, m_coils, m_discrete;
    int m_longestRead = 125;
    int m_delayMs = 0;
    int m_bitAddress = -1, m_bit = 0;
    QList<int> m_writeFunctions;
    std::map<int, QList<quint16>> m_written;
    std::atomic<int> m_connections{0};
    std::atomic<int> m_reads{0};
};

} // namespace corvane::test
