#pragma once

#include "ItemMap.h"

#include <QList>
#include <QString>

namespace corvane::gateway {

// One read request of a scan: a range of one table and the rows it serves.
struct ScanRequest
{
    Table table = Table::Coil;
    int start = 0;
    int count = 0;   // bits or registers
    QList<int> rows; // indexes into the map's rows

    // Data bytes of the answer.
    int bytes() const { return isBitTable(table) ? (count + 7) / 8 : count * 2; }
};

// The protocol's limits of one read request.
constexpr int kMaxReadBits = 2000;
constexpr int kMaxReadRegisters = 125;

// Every row of the map read with the fewest requests the protocol's limits allow.
QList<ScanRequest> planScan(const ItemMap &map);

// One line per request, then the totals: what --print-plan shows.
QString describePlan(const ItemMap &map, const QList<ScanRequest> &plan);

} // namespace corvane::gateway
