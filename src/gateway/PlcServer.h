#pragma once

#include "ItemMap.h"

#include <QObject>
#include <atomic>
#include <mutex>
#include <thread>

typedef struct _modbus modbus_t;
typedef struct _modbus_mapping_t modbus_mapping_t;

namespace corvane {
class HandOff;
}

namespace corvane::gateway {

// A PLC for the simulated car: a Modbus TCP server (libmodbus) on 127.0.0.1 whose
// memory is laid out by the map, so the gateway reads the simulation as it would
// read the car. It serves on a thread of its own; writes of its clients come back
// as item values on the owner's thread.
class PlcServer : public QObject
{
    Q_OBJECT
public:
    PlcServer(const ItemMap &map, quint16 port, QObject *parent = nullptr);
    ~PlcServer() override;

    // False (with the reason) when the port cannot be had.
    bool start(QString *error);
    void stop();

    // The item's value into the PLC memory, coded as its row says; an item without a
    // row, or a value its type cannot hold, leaves the memory as it is.
    void setItem(const QString &item, const QString &value);

Q_SIGNALS:
    // A client wrote the memory under the item.
    void written(const QString &item, const QString &value);

private:
    void serve();
    void noteWrite(int function, int address, int count);

    ItemMap m_map;
    quint16 m_port;
    modbus_t *m_ctx = nullptr;
    modbus_mapping_t *m_memory = nullptr;
    int m_listenFd = -1;
    std::mutex m_mutex; // the memory: the server thread and the owner's thread
    std::atomic<bool> m_stop{false};
    HandOff *m_handOff; // a child: the clients' writes reach the owner's thread through it
    std::thread m_thread;
};

} // namespace corvane::gateway
