#include "ScanPlan.h"

#include <algorithm>

namespace corvane::gateway {

namespace {

ScanRequest requestOf(const ItemMap &map, Table table, const QList<int> &rows)
{
    ScanRequest r{table, map.rows[rows.first()].address, 0, rows};
    for (const int i : rows)
        r.count = std::max(r.count, map.rows[i].address + widthOf(map.rows[i].type) - r.start);
    return r;
}

// The request's rows (in address order) cut wherever the next row does not start
// where the ones before end.
QList<QList<int>> runsOf(const ItemMap &map, const QList<int> &rows)
{
    QList<QList<int>> runs;
    int end = -1;
    for (const int i : rows) {
        const MapRow &row = map.rows[i];
        if (runs.isEmpty() || row.address > end)
            runs.append(QList<int>{});
        runs.last() << i;
        end = std::max(end, row.address + widthOf(row.type));
    }
    return runs;
}

} // namespace

QList<ScanRequest> planScan(const ItemMap &map, const ReadLimits &limits)
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
        const int limit = limits.of(table);
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

QList<ScanRequest> splitRequest(const ItemMap &map, const ScanRequest &request)
{
    const QList<QList<int>> runs = runsOf(map, request.rows);
    QList<ScanRequest> out;
    if (runs.size() > 1) {
        for (const QList<int> &run : runs)
            out << requestOf(map, request.table, run);
        return out;
    }
    // One run the PLC still refuses: too long for it, or an address in it is missing.
    // Halves find either in a few scans; rows of one address are one value.
    const QList<int> &rows = request.rows;
    qsizetype half = rows.size() / 2;
    const auto addressAt = [&](qsizetype k) { return map.rows[rows[k]].address; };
    while (half > 0 && addressAt(half) == addressAt(half - 1))
        --half;
    if (half == 0) {
        half = rows.size() / 2;
        while (half < rows.size() && addressAt(half) == addressAt(half - 1))
            ++half;
    }
    if (half == 0 || half == rows.size())
        return out;
    return {requestOf(map, request.table, rows.mid(0, half)), requestOf(map, request.table, rows.mid(half))};
}

int contiguousRuns(const ItemMap &map, const ReadLimits &limits)
{
    int count = 0;
    for (const ScanRequest &r : planScan(map, limits))
        count += int(runsOf(map, r.rows).size());
    return count;
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
