#include "HistoryReader.h"

#include "Sql.h"

#include "core/link/Value.h"

#include <QFile>
#include <QScopeGuard>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <sqlite3.h>

namespace corvane::history {

using sql::kRollupMs;
using sql::Statement;

namespace {

std::optional<double> columnReal(sqlite3_stmt *s, int col)
{
    if (sqlite3_column_type(s, col) == SQLITE_NULL)
        return std::nullopt;
    return sqlite3_column_double(s, col);
}

std::optional<double> columnNumber(sqlite3_stmt *s, int col)
{
    if (sqlite3_column_type(s, col) == SQLITE_NULL)
        return std::nullopt;
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(s, col));
    return readValue(QString::fromUtf8(text, sqlite3_column_bytes(s, col)));
}

std::optional<qint64> itemId(sqlite3 *db, const QString &item)
{
    Statement s(db, "SELECT id FROM items WHERE application = 'DSData' AND topic = 'CVPlc' AND item = ?1");
    s.bind(1, item);
    if (sqlite3_step(s.get()) != SQLITE_ROW)
        return std::nullopt;
    return sqlite3_column_int64(s.get(), 0);
}

// What one bucket saw: its first and last rows, its extremes and its first gap.
struct Bucket
{
    bool any = false;
    TrendPoint first, last, low, high, gap;
    bool hasNumber = false, hasGap = false;

    void add(qint64 t, std::optional<double> v)
    {
        const TrendPoint p{t, v.value_or(0), !v};
        if (!any)
            first = p;
        any = true;
        last = p;
        if (!v) {
            if (!hasGap)
                gap = p;
            hasGap = true;
            return;
        }
        if (!hasNumber || *v < low.value)
            low = p;
        if (!hasNumber || *v > high.value)
            high = p;
        hasNumber = true;
    }

    void emitTo(std::vector<TrendPoint> *out) const
    {
        if (!any)
            return;
        TrendPoint pts[5];
        int n = 0;
        pts[n++] = first;
        if (hasNumber) {
            pts[n++] = low;
            pts[n++] = high;
        }
        if (hasGap)
            pts[n++] = gap;
        pts[n++] = last;
        std::stable_sort(pts, pts + n, [](const TrendPoint &a, const TrendPoint &b) { return a.tMs < b.tMs; });
        for (int i = 0; i < n; ++i) {
            // A repeat of the value already drawn adds nothing to a step line.
            if (!out->empty() && out->back().gap == pts[i].gap && (pts[i].gap || out->back().value == pts[i].value))
                continue;
            out->push_back(pts[i]);
        }
    }
};

} // namespace

std::vector<TrendPoint> HistoryReader::bucketQuery(sqlite3 *db, const BucketRequest &r)
{
    std::vector<TrendPoint> out;
    if (!db || r.toMs <= r.fromMs || r.buckets <= 0)
        return out;
    const auto id = itemId(db, r.item);
    if (!id)
        return out;
    const double span = double(r.toMs - r.fromMs);
    std::vector<Bucket> buckets(size_t(r.buckets));
    const auto bucketOf
            = [&](qint64 t) { return std::clamp(int(double(t - r.fromMs) * r.buckets / span), 0, r.buckets - 1); };

    {
        Statement before(db,
                         "SELECT t_ms, value FROM samples WHERE item_id = ?1 AND t_ms < ?2 ORDER BY t_ms DESC LIMIT 1");
        before.bind(1, *id);
        before.bind(2, r.fromMs);
        if (sqlite3_step(before.get()) == SQLITE_ROW)
            buckets[0].add(r.fromMs, columnNumber(before.get(), 1));
    }

    Statement raw(db, "SELECT t_ms, value FROM samples WHERE item_id = ?1 AND t_ms >= ?2 AND t_ms < ?3 ORDER BY t_ms");
    const auto rawRows = [&](qint64 from, qint64 to) {
        if (to <= from)
            return;
        raw.reset();
        raw.bind(1, *id);
        raw.bind(2, from);
        raw.bind(3, to);
        while (sqlite3_step(raw.get()) == SQLITE_ROW) {
            const qint64 t = sqlite3_column_int64(raw.get(), 0);
            buckets[size_t(bucketOf(t))].add(t, columnNumber(raw.get(), 1));
        }
    };

    // Raw rows when a bucket is narrower than a rollup row; else whole rollup rows,
    // with raw rows only for the partial slots at either end.
    if (span / r.buckets < double(kRollupMs)) {
        rawRows(r.fromMs, r.toMs);
    } else {
        const qint64 firstSlot = (r.fromMs + kRollupMs - 1) / kRollupMs;
        const qint64 endSlot = r.toMs / kRollupMs;
        rawRows(r.fromMs, std::min(r.toMs, firstSlot * kRollupMs));
        Statement roll(db, "SELECT first_ms, first, min, max, last_ms, last, gaps FROM rollup_10s "
                           "WHERE item_id = ?1 AND slot >= ?2 AND slot < ?3 ORDER BY slot");
        roll.bind(1, *id);
        roll.bind(2, firstSlot);
        roll.bind(3, endSlot);
        while (sqlite3_step(roll.get()) == SQLITE_ROW) {
            sqlite3_stmt *s = roll.get();
            const qint64 firstMs = sqlite3_column_int64(s, 0), lastMs = sqlite3_column_int64(s, 4);
            const qint64 mid = (firstMs + lastMs) / 2;
            Bucket &b = buckets[size_t(bucketOf(firstMs))];
            b.add(firstMs, columnReal(s, 1));
            if (const auto low = columnReal(s, 2))
                b.add(mid, low);
            if (const auto high = columnReal(s, 3))
                b.add(mid, high);
            if (sqlite3_column_int64(s, 6) > 0)
                b.add(mid, std::nullopt);
            buckets[size_t(bucketOf(lastMs))].add(lastMs, columnReal(s, 5));
        }
        rawRows(std::max(r.fromMs, endSlot * kRollupMs), r.toMs);
    }
    out.reserve(buckets.size() * 2);
    for (const Bucket &b : buckets)
        b.emitTo(&out);
    return out;
}

HistoryReader::HistoryReader(QString path)
    : m_reads(std::move(path))
{
}

HistoryReader::~HistoryReader()
{
    for (std::thread &t : m_exports)
        t.join();
    // m_reads answers what is asked already, then stops.
}

void HistoryReader::wait()
{
    m_reads.wait();
    for (std::thread &t : m_exports)
        t.join();
    m_exports.clear();
}

void HistoryReader::buckets(const BucketRequest &request, std::function<void(std::vector<TrendPoint>)> done)
{
    post([request, done = std::move(done)](sqlite3 *db) { done(bucketQuery(db, request)); });
}

void HistoryReader::alarmLines(qint64 fromMs, qint64 toMs, const QStringList &items,
                               std::function<void(std::vector<AlarmRecord>)> done)
{
    post([=, done = std::move(done)](sqlite3 *db) {
        std::vector<AlarmRecord> out;
        const QSet<QString> wanted(items.cbegin(), items.cend());
        Statement s(db, "SELECT t_ms, kind, item, text FROM alarm_lines WHERE t_ms >= ?1 AND t_ms < ?2 "
                        "ORDER BY t_ms, seq");
        s.bind(1, fromMs);
        s.bind(2, toMs);
        while (db && s.step()) {
            AlarmRecord r{s.int64(0), s.text(1), s.text(2), s.text(3)};
            if (wanted.isEmpty() || wanted.contains(r.item))
                out.push_back(std::move(r));
        }
        done(std::move(out));
    });
}

void HistoryReader::clockSteps(qint64 fromMs, qint64 toMs, std::function<void(std::vector<ClockStep>)> done)
{
    post([=, done = std::move(done)](sqlite3 *db) {
        std::vector<ClockStep> out;
        Statement s(db, "SELECT t_ms, step_ms FROM clock_steps WHERE t_ms >= ?1 AND t_ms < ?2 ORDER BY t_ms, rowid");
        s.bind(1, fromMs);
        s.bind(2, toMs);
        while (db && s.step())
            out.push_back({s.int64(0), s.int64(1)});
        done(std::move(out));
    });
}

void HistoryReader::linkDown(qint64 fromMs, qint64 toMs, std::function<void(std::vector<TimeSpan>)> done)
{
    post([=, done = std::move(done)](sqlite3 *db) {
        std::vector<TimeSpan> out;
        // From the last change before the range, so a link down already at its start counts.
        Statement s(db, "SELECT t_ms, up FROM link_changes WHERE t_ms < ?2 AND t_ms >= "
                        "coalesce((SELECT max(t_ms) FROM link_changes WHERE t_ms < ?1), ?1) ORDER BY t_ms, rowid");
        s.bind(1, fromMs);
        s.bind(2, toMs);
        std::optional<qint64> downSince;
        const auto close = [&](qint64 until) {
            const qint64 from = std::max(*downSince, fromMs), to = std::min(until, toMs);
            if (to > from)
                out.push_back({from, to});
            downSince.reset();
        };
        while (db && s.step()) {
            const qint64 t = s.int64(0);
            if (s.int64(1) != 0 && downSince)
                close(t);
            else if (s.int64(1) == 0 && !downSince)
                downSince = t;
        }
        if (downSince)
            close(toMs);
        done(std::move(out));
    });
}

void HistoryReader::recordedItems(std::function<void(QStringList)> done)
{
    post([done = std::move(done)](sqlite3 *db) {
        QStringList out;
        Statement s(db, "SELECT item FROM items i WHERE application = 'DSData' AND topic = 'CVPlc' "
                        "AND EXISTS(SELECT 1 FROM samples WHERE item_id = i.id AND value IS NOT NULL)");
        while (db && s.step())
            out << s.text(0);
        out.sort();
        done(out);
    });
}

ExportTicket HistoryReader::exportCsv(const QStringList &items, qint64 fromMs, qint64 toMs, const QString &file,
                                      std::function<void(double)> progress, std::function<void(QString)> done)
{
    ExportTicket ticket;
    // A thread and a connection of its own: a week takes seconds, and the trends keep
    // asking meanwhile.
    m_exports.emplace_back([=, path = m_reads.path(), progress = std::move(progress), done = std::move(done)] {
        sqlite3 *db = openHistoryReadOnly(path);
        const auto closing = qScopeGuard([db] { sqlite3_close_v2(db); });
        if (!db)
            return done(QStringLiteral("the history is not available"));
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
            return done(out.errorString());
        out.write("item,time_utc,value\n");
        // Slices of rows, each its own read: a week of an item is millions of rows, and
        // one long read would keep the writer's log from being checkpointed meanwhile.
        constexpr int kSlice = 20'000;
        Statement s(db, "SELECT s.t_ms, strftime('%Y-%m-%dT%H:%M:%fZ', s.t_ms / 1000.0, 'unixepoch'), s.value "
                        "FROM samples s JOIN items i ON i.id = s.item_id "
                        "WHERE i.application = 'DSData' AND i.topic = 'CVPlc' AND i.item = ?1 "
                        "AND s.t_ms >= ?2 AND s.t_ms < ?3 ORDER BY s.t_ms LIMIT ?4");
        const auto csv = [](const QByteArray &field) {
            if (!field.contains(',') && !field.contains('"') && !field.contains('\n'))
                return field;
            QByteArray q = field;
            q.replace("\"", "\"\"");
            return "\"" + q + "\"";
        };
        const double span = double(std::max<qint64>(1, toMs - fromMs));
        for (qsizetype n = 0; n < items.size(); ++n) {
            const QByteArray item = csv(items[n].toUtf8()) + ',';
            qint64 next = fromMs;
            for (int rows = kSlice; rows == kSlice;) {
                if (ticket.cancelled()) {
                    out.close();
                    out.remove();
                    return done(QStringLiteral("cancelled"));
                }
                s.reset();
                s.bind(1, items[n]);
                s.bind(2, next);
                s.bind(3, toMs);
                s.bind(4, qint64(kSlice));
                for (rows = 0; s.step(); ++rows) {
                    next = s.int64(0) + 1;
                    out.write(item);
                    for (int col = 1; col < 3; ++col) {
                        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(s.get(), col));
                        out.write(csv(QByteArray(text ? text : "", sqlite3_column_bytes(s.get(), col))));
                        out.write(col < 2 ? "," : "\n");
                    }
                }
                if (progress)
                    progress((double(n) + double(next - fromMs) / span) / double(items.size()));
            }
        }
        if (progress)
            progress(1.0);
        done(out.flush() ? QString() : out.errorString());
    });
    return ticket;
}

} // namespace corvane::history
