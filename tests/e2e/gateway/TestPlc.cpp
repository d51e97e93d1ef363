#include "TestPlc.h"

#include <modbus.h>

#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace corvane::test {

TestPlc::TestPlc() = default;

TestPlc::~TestPlc()
{
    stop();
}

bool TestPlc::start()
{
    m_memory = modbus_mapping_new(65536, 65536, 65536, 65536);
    m_ctx = modbus_new_tcp("127.0.0.1", 0);
    if (!m_memory || !m_ctx)
        return false;
    m_listenFd = modbus_tcp_listen(m_ctx, 4);
    if (m_listenFd < 0)
        return false;
    // Port 0 bound and read back: nobody can take it between choosing and binding.
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    if (::getsockname(m_listenFd, reinterpret_cast<sockaddr *>(&bound), &length) != 0)
        return false;
    m_port = ntohs(bound.sin_port);
    m_stop = false;
    m_thread = std::thread([this] { serve(); });
    return true;
}

void TestPlc::stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listenFd >= 0)
        ::close(m_listenFd);
    m_listenFd = -1;
    if (m_ctx)
        modbus_free(m_ctx);
    m_ctx = nullptr;
    if (m_memory)
        modbus_mapping_free(m_memory);
    m_memory = nullptr;
}

void TestPlc::setRegister(int address, quint16 value)
{
    std::lock_guard lock(m_mutex);
    m_memory->tab_registers[address] = value;
}

quint16 TestPlc::holding(int address)
{
    std::lock_guard lock(m_mutex);
    return m_memory->tab_registers[address];
}

void TestPlc::setCoil(int address, bool on)
{
    std::lock_guard lock(m_mutex);
    m_memory->tab_bits[address] = on;
}

void TestPlc::failReads(int first, int last, int code, int times)
{
    std::lock_guard lock(m_mutex);
    if (code == 0)
        m_failures.clear();
    else
        m_failures.append({first, last, code, times});
}

void TestPlc::onlyHave(const QSet<int> &holding, const QSet<int> &coils, const QSet<int> &discrete)
{
    std::lock_guard lock(m_mutex);
    m_strict = true;
    m_holding = holding;
    m_coils = coils;
    m_discrete = discrete;
}

void TestPlc::setLongestRead(int registers)
{
    std::lock_guard lock(m_mutex);
    m_longestRead = registers;
}

void TestPlc::setDelayMs(int ms)
{
    std::lock_guard lock(m_mutex);
    m_delayMs = ms;
}

void TestPlc::setBitAfterRead(int address, int bit)
{
    std::lock_guard lock(m_mutex);
    m_bitAddress = address;
    m_bit = bit;
}

QList<int> TestPlc::writeFunctions()
{
    std::lock_guard lock(m_mutex);
    return m_writeFunctions;
}

QList<quint16> TestPlc::writtenValues(int address)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_written.find(address);
    return it == m_written.end() ? QList<quint16>{} : it->second;
}

int TestPlc::fault(int function, int address, int count)
{
    const bool registers = function == MODBUS_FC_READ_HOLDING_REGISTERS;
    const bool coils = function == MODBUS_FC_READ_COILS;
    const bool discrete = function == MODBUS_FC_READ_DISCRETE_INPUTS;
    if (!registers && !coils && !discrete)
        return 0;
    if (registers) {
        for (Failure &f : m_failures) {
            if (f.times == 0 || address > f.last || address + count - 1 < f.first)
                continue;
            if (f.times > 0)
                --f.times;
            return f.code;
        }
        if (count > m_longestRead)
            return MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE;
    }
    if (m_strict) {
        const QSet<int> &have = registers ? m_holding : coils ? m_coils : m_discrete;
        for (int a = address; a < address + count; ++a) {
            if (!have.contains(a))
                return MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS;
        }
    }
    return 0;
}

void TestPlc::afterRequest(int function, int address, int count)
{
    switch (function) {
    case MODBUS_FC_READ_HOLDING_REGISTERS:
        // One register read alone is a client's read before its write.
        if (address == m_bitAddress && count == 1) {
            m_memory->tab_registers[address] |= uint16_t(1u << m_bit);
            m_bitAddress = -1;
        }
        break;
    case MODBUS_FC_WRITE_SINGLE_REGISTER:
    case MODBUS_FC_MASK_WRITE_REGISTER:
    case MODBUS_FC_WRITE_MULTIPLE_REGISTERS:
        for (int a = address; a < address + count; ++a)
            m_written[a].append(m_memory->tab_registers[a]);
        [[fallthrough]];
    case MODBUS_FC_WRITE_SINGLE_COIL:
    case MODBUS_FC_WRITE_MULTIPLE_COILS:
        m_writeFunctions.append(function);
        break;
    default:
        break;
    }
}

void TestPlc::serve()
{
    std::vector<int> clients;
    std::vector<uint8_t> query(MODBUS_TCP_MAX_ADU_LENGTH);
    const int header = modbus_get_header_length(m_ctx);
    while (!m_stop) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(m_listenFd, &readable);
        int top = m_listenFd;
        for (const int fd : clients) {
            FD_SET(fd, &readable);
            top = std::max(top, fd);
        }
        timeval wait{0, 50'000};
        if (::select(top + 1, &readable, nullptr, nullptr, &wait) <= 0)
            continue;
        if (FD_ISSET(m_listenFd, &readable)) {
            const int fd = ::accept(m_listenFd, nullptr, nullptr);
            if (fd >= 0 && fd < FD_SETSIZE) {
                clients.push_back(fd);
                ++m_connections;
            } else if (fd >= 0) {
                ::close(fd);
            }
        }
        for (auto it = clients.begin(); it != clients.end();) {
            if (!FD_ISSET(*it, &readable)) {
                ++it;
                continue;
            }
            modbus_set_socket(m_ctx, *it);
            const int length = modbus_receive(m_ctx, query.data());
            if (length < 0) {
                ::close(*it);
                it = clients.erase(it);
                continue;
            }
            if (length > header + 4) {
                const int function = query[header];
                const int address = query[header + 1] << 8 | query[header + 2];
                const bool counted = function <= MODBUS_FC_READ_INPUT_REGISTERS
                                     || function == MODBUS_FC_WRITE_MULTIPLE_COILS
                                     || function == MODBUS_FC_WRITE_MULTIPLE_REGISTERS;
                const int count = counted ? (query[header + 3] << 8 | query[header + 4]) : 1;
                if (function <= MODBUS_FC_READ_INPUT_REGISTERS)
                    ++m_reads;
                int delayMs = 0;
                {
                    std::lock_guard lock(m_mutex);
                    delayMs = m_delayMs;
                }
                if (delayMs > 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
                std::lock_guard lock(m_mutex);
                if (const int code = fault(function, address, count)) {
                    modbus_reply_exception(m_ctx, query.data(), unsigned(code));
                } else {
                    modbus_reply(m_ctx, query.data(), length, m_memory);
                    afterRequest(function, address, count);
                }
            }
            ++it;
        }
    }
    for (const int fd : clients)
        ::close(fd);
}

} // namespace corvane::test
