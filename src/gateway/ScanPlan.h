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

// The longest read a PLC takes; some take less than the protocol allows.
struct ReadLimits
{
    int maxRegisters = kMaxReadRegisters;
    int maxBits = kMaxReadBits;

    int of(Table table) const { return isBitTable(table) ? maxBits : maxRegisters; }
};

// Every row of the map read with the fewest requests the limits allow.
QList<ScanRequest> planScan(const ItemMap &map, const ReadLimits &limits = {});

// A request the PLC refused as a whole, as smaller ones: its runs of rows without a
// gap between them when it reads through gaps, else its rows in two halves (rows of
// one address stay together). Empty when it cannot be split.
QList<ScanRequest> splitRequest(const ItemMap &map, const ScanRequest &request);

// The requests of a PLC that refuses every gap: runs of rows without a gap, each cut
// at the limits. What a scan costs at most once its refusals are split.
int contiguousRuns(const ItemMap &map, const ReadLimits &limits = {});

// One line per request, then the totals: what --print-plan shows.
QString describePlan(const ItemMap &map, const QList<ScanRequest> &plan);

} // namespace corvane::gateway
