#include "ReplayReader.h"

#include "Sql.h"

#include <QFile>

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
    : m_path(path)
    , m_thread([this] { run(); })
{
}

ReplayReader::~ReplayReader()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_jobs.clear();
    }
    m_wake.notify_all();
    m_thread.join();
    sqlite3_close(m_db);
}

QString ReplayReader::error() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

void ReplayReader::run()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
            if (m_stop)
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
}

bool ReplayReader::ensureOpen()
{
    if (m_db)
        return true;
    QString error;
    if (!QFile::exists(m_path)) {
        error = QStringLiteral("no history file %1").arg(m_path);
    } else if (sqlite3_open_v2(QFile::encodeName(m_path).constData(), &m_db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                               nullptr)
               != SQLITE_OK) {
        error = QStringLiteral("%1: %2").arg(m_path, QString::fromUtf8(sqlite3_errmsg(m_db)));
        sqlite3_close(m_db);
        m_db = nullptr;
    } else {
        sqlite3_busy_timeout(m_db, 200);
        Statement probe(m_db, "SELECT 1 FROM samples LIMIT 1");
        if (probe.rc() != SQLITE_OK) {
            error = QStringLiteral("%1 is not a value history").arg(m_path);
            sqlite3_close(m_db);
            m_db = nullptr;
        }
    }
    std::lock_guard lock(m_mutex);
    m_error = error;
    return m_db != nullptr;
}

void ReplayReader::loadItems()
{
    // Read again at every step: a station recording into the file adds items.
    m_items.clear();
    Statement q(m_db, "SELECT id, application, topic, item FROM items ORDER BY id");
    while (q.step())
        m_items.push_back({q.int64(0), {q.text(1), q.text(2), q.text(3)}});
}

void ReplayReader::range(std::function<void(std::optional<RecordedRange>)> done)
{
    std::lock_guard lock(m_mutex);
    m_jobs.push_back([this, done = std::move(done)] {
        if (!ensureOpen())
            return done(std::nullopt);
        ReadTransaction txn(m_db);
        loadItems();
        done(recordedRange());
    });
    m_wake.notify_one();
}

void ReplayReader::seek(qint64 tMs, std::function<void(ReplayState)> done)
{
    std::lock_guard lock(m_mutex);
    m_jobs.push_back([this, tMs, done = std::move(done)] {
        if (!ensureOpen()) {
            ReplayState none;
            none.tMs = tMs;
            none.linkUp = false;
            return done(none);
        }
        ReadTransaction txn(m_db);
        loadItems();
        // Before the recording began the station was not running: its first moment then.
        const std::optional<RecordedRange> recorded = recordedRange();
        done(stateAt(recorded ? qMax(tMs, recorded->firstMs) : tMs));
    });
    m_wake.notify_one();
}

void ReplayReader::next(qint64 spanMs, std::function<void(std::vector<ReplayEvent>, qint64)> done)
{
    std::lock_guard lock(m_mutex);
    m_jobs.push_back([this, spanMs, done = std::move(done)] {
        const qint64 from = m_positionMs;
        const qint64 to = from + qMax<qint64>(1, spanMs);
        if (!ensureOpen())
            return done({}, to);
        ReadTransaction txn(m_db);
        loadItems();
        done(changes(from, to), to);
    });
    m_wake.notify_one();
}

std::optional<RecordedRange> ReplayReader::recordedRange()
{
    // Item by item through the key: min() over the whole table would read all of it.
    Statement first(m_db, "SELECT min(t_ms) FROM samples WHERE item_id = ?1");
    Statement last(m_db, "SELECT max(t_ms) FROM samples WHERE item_id = ?1");
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

ReplayState ReplayReader::stateAt(qint64 tMs)
{
    ReplayState state;
    state.tMs = tMs;
    m_held.clear();
    Statement q(m_db, "SELECT value FROM samples WHERE item_id = ?1 AND t_ms <= ?2 ORDER BY t_ms DESC LIMIT 1");
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

std::vector<ReplayEvent> ReplayReader::changes(qint64 fromMs, qint64 toMs)
{
    struct Row
    {
        qint64 t;
        size_t item;
        bool gap;
        QString value;
    };
    std::vector<Row> rows;
    Statement q(m_db, "SELECT t_ms, value FROM samples WHERE item_id = ?1 AND t_ms > ?2 AND t_ms <= ?3 ORDER BY t_ms");
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
    std::lock_guard lock(m_mutex);
    m_jobs.push_back([this, fromMs, toMs, done = std::move(done)] {
        std::vector<AlarmRecord> lines;
        if (ensureOpen()) {
            Statement q(m_db, "SELECT t_ms, kind, item, text FROM alarm_lines WHERE t_ms BETWEEN ?1 AND ?2 "
                              "ORDER BY t_ms, rowid");
            q.bind(1, fromMs);
            q.bind(2, toMs);
            while (q.step())
                lines.push_back({q.int64(0), q.text(1), q.text(2), q.text(3)});
        }
        done(std::move(lines));
    });
    m_wake.notify_one();
}

} // namespace corvane::history
