#include "PlcServer.h"

#include "ValueCoding.h"
#include "core/time/HandOff.h"

#include <modbus.h>

#include <cerrno>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace corvane::gateway {

PlcServer::PlcServer(const ItemMap &map, quint16 port, QObject *parent)
    : QObject(parent)
    , m_map(map)
    , m_port(port)
    , m_handOff(new HandOff(this))
{
}

PlcServer::~PlcServer()
{
    stop();
}

bool PlcServer::start(QString *error)
{
    m_memory = modbus_mapping_new(65536, 65536, 65536, 65536);
    m_ctx = modbus_new_tcp("127.0.0.1", m_port);
    if (!m_memory || !m_ctx) {
        *error = QString::fromLocal8Bit(modbus_strerror(errno));
        return false;
    }
    m_listenFd = modbus_tcp_listen(m_ctx, 4);
    if (m_listenFd < 0) {
        *error = QStringLiteral("cannot listen on 127.0.0.1:%1: %2")
                         .arg(m_port)
                         .arg(QString::fromLocal8Bit(modbus_strerror(errno)));
        return false;
    }
    m_thread = std::thread([this] { serve(); });
    return true;
}

void PlcServer::stop()
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

void PlcServer::setItem(const QString &item, const QString &value)
{
    const MapRow *row = m_map.find(item);
    if (!row || !m_memory)
        return;
    const auto encoded = encodeWrite(*row, value, m_map.highWordFirst);
    const Encoded *e = std::get_if<Encoded>(&encoded);
    if (!e)
        return;
    std::lock_guard lock(m_mutex);
    switch (row->table) {
    case Table::Coil:
        m_memory->tab_bits[row->address] = e->bit;
        return;
    case Table::Discrete:
        m_memory->tab_input_bits[row->address] = e->bit;
        return;
    case Table::Holding:
    case Table::Input: {
        uint16_t *regs = row->table == Table::Holding ? m_memory->tab_registers : m_memory->tab_input_registers;
        if (row->type == Type::RegisterBit) {
            const uint16_t mask = uint16_t(1u << row->bit);
            regs[row->address] = e->bit ? uint16_t(regs[row->address] | mask) : uint16_t(regs[row->address] & ~mask);
            return;
        }
        for (qsizetype i = 0; i < e->registers.size(); ++i)
            regs[row->address + i] = e->registers[i];
        return;
    }
    }
}

// One select loop for the listening socket and every client, with a short time-out
// so stop() is seen.
void PlcServer::serve()
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
        timeval wait{0, 200'000};
        if (::select(top + 1, &readable, nullptr, nullptr, &wait) <= 0)
            continue;
        if (FD_ISSET(m_listenFd, &readable)) {
            const int fd = ::accept(m_listenFd, nullptr, nullptr);
            if (fd >= 0 && fd < FD_SETSIZE)
                clients.push_back(fd);
            else if (fd >= 0)
                ::close(fd);
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
                std::lock_guard lock(m_mutex);
                modbus_reply(m_ctx, query.data(), length, m_memory);
            }
            const int function = query[header];
            const int address = query[header + 1] << 8 | query[header + 2];
            const int count = function == 15 || function == 16 ? (query[header + 3] << 8 | query[header + 4]) : 1;
            const bool writes = function == 5 || function == 6 || function == 15 || function == 16
                                || function == MODBUS_FC_MASK_WRITE_REGISTER;
            if (length > header + 4 && writes)
                noteWrite(function, address, count);
            ++it;
        }
    }
    for (const int fd : clients)
        ::close(fd);
}

// The items under a client's write, read back from the memory as the gateway would.
void PlcServer::noteWrite(int function, int address, int count)
{
    const Table table = function == 5 || function == 15 ? Table::Coil : Table::Holding;
    QList<std::pair<QString, QString>> values;
    {
        std::lock_guard lock(m_mutex);
        for (const MapRow &row : m_map.rows) {
            if (row.table != table || row.address + widthOf(row.type) <= address || row.address >= address + count)
                continue;
            if (table == Table::Coil) {
                values.append({row.item, bitText(m_memory->tab_bits[row.address] != 0)});
            } else if (const auto text
                       = registerText(row, m_memory->tab_registers + row.address, m_map.highWordFirst)) {
                values.append({row.item, *text});
            }
        }
    }
    m_handOff->post([this, values] {
        for (const auto &[item, value] : values)
            Q_EMIT written(item, value);
    });
}

} // namespace corvane::gateway
