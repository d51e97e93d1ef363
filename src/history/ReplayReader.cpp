#include "ReplayReader.h"

#include "Sql.h"

#include <algorithm>
#include <utility>

namespace corvane::history {

namespace {

using sql::Statement;

bool isNull(const Statement &s, int col)
{
    return sqlite3_column_type(s.get(), col) == SQLITE_NULL;
}

// One snapshot for the whole job: a live writer committing meanwhile changes nothing
// it sees, and is not held up by it (WAL).
class ReadTransaction
{
public:
    explicit ReadTransaction(sqlite3 *db)
        : m_db(db)
    {
        sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr);
    }
    ~ReadTransaction() { sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr); }

private:
    sqlite3 *m_db;
};

} // namespace

ReplayReader::ReplayReader(const QString &path)
    : m_reads(path)
{
}

ReplayReader::~ReplayReader()
{
    m_reads.dropPending(); // no answer runs on for a replay that has ended
}

void ReplayReader::loadItems(sqlite3 *db)
{
    // Read again at every step: a station recording into the file adds items.
    m_items.clear();
    Statement q(db, "SELECT id, application, topic, item FROM items ORDER BY id");
    while (q.step())
        m_items.push_back({q.int64(0), {q.text(1), q.text(2), q.text(3)}});
}

void ReplayReader::range(std::function<void(std::optional<RecordedRange>)> done)
{
    m_reads.post([this, done = std::move(done)](sqlite3 *db) {
        if (!db)
            return done(std::nullopt);
        ReadTransaction txn(db);
        loadItems(db);
        done(recordedRange(db));
    });
}

void ReplayReader::seek(qint64 tMs, std::function<void(ReplayState)> done)
{
    m_reads.post([this, tMs, done = std::move(done)](sqlite3 *db) {
        if (!db) {
            ReplayState none;
            none.tMs = tMs;
            none.linkUp = false;
            return done(none);
        }
        ReadTransaction txn(db);
        loadItems(db);
        // Before the recording began the station was not running: its first moment then.
        const std::optional<RecordedRange> recorded = recordedRange(db);
        done(stateAt(db, recorded ? qMax(tMs, recorded->firstMs) : tMs));
    });
}

void ReplayReader::next(qint64 spanMs, std::function<void(std::vector<ReplayEvent>, qint64)> done)
{
    m_reads.post([this, spanMs, done = std::move(done)](sqlite3 *db) {
        const qint64 from = m_positionMs;
        const qint64 to = from + qMax<qint64>(1, spanMs);
        if (!db)
            return done({}, to);
        ReadTransaction txn(db);
        loadItems(db);
        done(changes(db, from, to), to);
    });
}

std::optional<RecordedRange> ReplayReader::recordedRange(sqlite3 *db)
{
    // Item by item through the key: min() over the whole table would read all of it.
    Statement first(db, "SELECT min(t_ms) FROM samples WHERE item_id = ?1");
    Statement last(db, "SELECT max(t_ms) FROM samples WHERE item_id = ?1");
    std::optional<RecordedRange> r;
    for (const Item &item : m_items) {
        first.reset();
        last.reset();
        first.bind(1, item.id);
        last.bind(1, item.id);
        if (!first.step() || isNull(first, 0) || !last.step())
            continue;
        const RecordedRange one{first.int64(0), last.int64(0)};
        r = r ? RecordedRange{qMin(r->firstMs, one.firstMs), qMax(r->lastMs, one.lastMs)} : one;
    }
    return r;
}

ReplayState ReplayReader::stateAt(sqlite3 *db, qint64 tMs)
{
    ReplayState state;
    state.tMs = tMs;
    m_held.clear();
    Statement q(db, "SELECT value FROM samples WHERE item_id = ?1 AND t_ms <= ?2 ORDER BY t_ms DESC LIMIT 1");
    for (const Item &item : m_items) {
        q.reset();
        q.bind(1, item.id);
        q.bind(2, tMs);
        if (!q.step() || isNull(q, 0))
            continue; // never recorded yet, or unknown since a gap
        state.values.insert(item.address, q.text(0));
        m_held.insert(item.id);
    }
    // Every known value ended at once only where the link went down (or nothing was
    // recorded yet): no value held means no data.
    state.linkUp = !m_held.isEmpty();
    m_linkUp = state.linkUp;
    m_positionMs = tMs;
    return state;
}

std::vector<ReplayEvent> ReplayReader::changes(sqlite3 *db, qint64 fromMs, qint64 toMs)
{
    struct Row
    {
        qint64 t;
        size_t item;
        bool gap;
        QString value;
    };
    std::vector<Row> rows;
    Statement q(db, "SELECT t_ms, value FROM samples WHERE item_id = ?1 AND t_ms > ?2 AND t_ms <= ?3 ORDER BY t_ms");
    for (size_t i = 0; i < m_items.size(); ++i) {
        q.reset();
        q.bind(1, m_items[i].id);
        q.bind(2, fromMs);
        q.bind(3, toMs);
        while (q.step())
            rows.push_back({q.int64(0), i, isNull(q, 1), isNull(q, 1) ? QString() : q.text(1)});
    }
    std::stable_sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) { return a.t < b.t; });

    std::vector<ReplayEvent> out;
    out.reserve(rows.size() + 2);
    for (size_t at = 0; at < rows.size();) {
        const qint64 t = rows[at].t;
        size_t end = at;
        while (end < rows.size() && rows[end].t == t)
            ++end;
        // The link going down ends every held value in the same instant; an item whose
        // screens all closed ends alone.
        if (m_linkUp && !m_held.isEmpty()) {
            qsizetype gapsOfHeld = 0;
            for (size_t i = at; i < end; ++i)
                gapsOfHeld += rows[i].gap && m_held.contains(m_items[rows[i].item].id) ? 1 : 0;
            if (gapsOfHeld == m_held.size()) {
                m_linkUp = false;
                out.push_back({t, ReplayEvent::LinkDown, {}, {}});
            }
        }
        for (size_t i = at; i < end; ++i) {
            const Row &r = rows[i];
            const Item &item = m_items[r.item];
            if (r.gap) {
                m_held.remove(item.id);
                out.push_back({t, ReplayEvent::Gap, item.address, {}});
                continue;
            }
            if (!m_linkUp) {
                m_linkUp = true;
                out.push_back({t, ReplayEvent::LinkUp, {}, {}});
            }
            m_held.insert(item.id);
            out.push_back({t, ReplayEvent::Value, item.address, r.value});
        }
        at = end;
    }
    m_positionMs = toMs;
    return out;
}

void ReplayReader::alarmLines(qint64 fromMs, qint64 toMs, std::function<void(std::vector<AlarmRecord>)> done)
{
    m_reads.post([fromMs, toMs, done = std::move(done)](sqlite3 *db) {
        std::vector<AlarmRecord> lines;
        if (db) {
            Statement q(db, "SELECT t_ms, kind, item, text FROM alarm_lines WHERE t_ms BETWEEN ?1 AND ?2 "
                            "ORDER BY t_ms, rowid");
            q.bind(1, fromMs);
            q.bind(2, toMs);
            while (q.step())
                lines.push_back({q.int64(0), q.text(1), q.text(2), q.text(3)});
        }
        done(std::move(lines));
    });
}

} // namespace corvane::history
