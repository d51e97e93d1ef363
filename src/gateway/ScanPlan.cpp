#include "ScanPlan.h"

#include <algorithm>

namespace corvane::gateway {

QList<ScanRequest> planScan(const ItemMap &map)
{
    QList<ScanRequest> plan;
    for (const Table table : {Table::Coil, Table::Discrete, Table::Holding, Table::Input}) {
        QList<int> rows;
        for (int i = 0; i < map.rows.size(); ++i) {
            if (map.rows[i].table == table)
                rows << i;
        }
        std::stable_sort(rows.begin(), rows.end(),
                         [&](int a, int b) { return map.rows[a].address < map.rows[b].address; });
        // A request costs a round trip to the PLC, dearer than any gap the limits let
        // us read through, so a gap is read through whenever the range still fits.
        // Taking rows in address order and opening a request only when the next one
        // does not fit is the fewest requests for a line of ranges.
        const int limit = isBitTable(table) ? kMaxReadBits : kMaxReadRegisters;
        for (const int i : rows) {
            const MapRow &row = map.rows[i];
            const int end = row.address + widthOf(row.type);
            if (!plan.isEmpty() && plan.last().table == table && end - plan.last().start <= limit) {
                ScanRequest &r = plan.last();
                r.count = std::max(r.count, end - r.start);
                r.rows << i;
                continue;
            }
            plan.append(ScanRequest{table, row.address, end - row.address, {i}});
        }
    }
    return plan;
}

QString describePlan(const ItemMap &map, const QList<ScanRequest> &plan)
{
    QString out;
    int bytes = 0;
    for (const ScanRequest &r : plan) {
        out += QStringLiteral("%1 %2-%3: %4 rows, %5 bytes\n")
                       .arg(tableName(r.table))
                       .arg(r.start)
                       .arg(r.start + r.count - 1)
                       .arg(r.rows.size())
                       .arg(r.bytes());
        bytes += r.bytes();
    }
    out += QStringLiteral("%1 requests, %2 rows, %3 bytes a scan\n").arg(plan.size()).arg(map.rows.size()).arg(bytes);
    return out;
}

} // namespace corvane::gateway
