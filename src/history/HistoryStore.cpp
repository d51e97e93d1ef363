#include "HistoryStore.h"

#include "core/StatePaths.h"
#include "core/link/Value.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sqlite3.h>
#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace corvane::history {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Rows of 10 s (first, min, max, last) beside the raw rows: a week of an item that
// changes 10 times a second is 60 480 of them instead of 6 million.
constexpr qint64 kRollupMs = 10'000;
constexpr auto kCommitEvery = 1s;
constexpr auto kRetryOpenEvery = 5s;
constexpr auto kPurgeCheckEvery = std::chrono::minutes(10);
constexpr auto kPurgeSlice = 200ms; // retention work per cycle at most
// Beyond this many samples waiting for a locked database, the oldest become a gap.
constexpr size_t kMaxPending = 1'000'000;

// Items are numbered once; values are keyed by (item, time) without a rowid, so a
// row is the key itself plus the text: about 15 bytes a change. The view gives the
// text form anyone can query.
const char kSchema[] = R"sql(
CREATE TABLE IF NOT EXISTS items(
  id INTEGER PRIMARY KEY,
  application TEXT NOT NULL,
  topic TEXT NOT NULL,
  item TEXT NOT NULL,
  UNIQUE(application, topic, item));
CREATE TABLE IF NOT EXISTS samples(
  item_id INTEGER NOT NULL,
  t_ms INTEGER NOT NULL,
  value TEXT,
  PRIMARY KEY(item_id, t_ms)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS rollup_10s(
  item_id INTEGER NOT NULL,
  slot INTEGER NOT NULL,
  first_ms INTEGER NOT NULL,
  first REAL,
  min REAL,
  max REAL,
  last_ms INTEGER NOT NULL,
  last REAL,
  gaps INTEGER NOT NULL,
  PRIMARY KEY(item_id, slot)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value) WITHOUT ROWID;
CREATE VIEW IF NOT EXISTS history(item, time_utc, value) AS
  SELECT i.item, strftime('%Y-%m-%dT%H:%M:%fZ', s.t_ms / 1000.0, 'unixepoch'), s.value
  FROM samples s JOIN items i ON i.id = s.item_id;
)sql";

const char kUpsertRollup[] = R"sql(
INSERT INTO rollup_10s(item_id, slot, first_ms, first, min, max, last_ms, last, gaps)
VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)
ON CONFLICT(item_id, slot) DO UPDATE SET
  first = CASE WHEN excluded.first_ms < first_ms THEN excluded.first ELSE first END,
  first_ms = min(first_ms, excluded.first_ms),
  min = min(coalesce(min, excluded.min), coalesce(excluded.min, min)),
  max = max(coalesce(max, excluded.max), coalesce(excluded.max, max)),
  last = CASE WHEN excluded.last_ms >= last_ms THEN excluded.last ELSE last END,
  last_ms = max(last_ms, excluded.last_ms),
  gaps = gaps + excluded.gaps
)sql";

// After a crash the last values of every item held to the last commit we know of,
// not for ever: a gap there. One index seek per item, however long the history.
const char kCloseOpenSeries[] = R"sql(
INSERT OR IGNORE INTO samples(item_id, t_ms, value)
SELECT id, max(t + 1, ?1), NULL FROM (
  SELECT i.id AS id,
    (SELECT t_ms FROM samples WHERE item_id = i.id ORDER BY t_ms DESC LIMIT 1) AS t,
    (SELECT value IS NOT NULL FROM samples WHERE item_id = i.id ORDER BY t_ms DESC LIMIT 1) AS held
  FROM items i)
WHERE held
)sql";

const char kPurgeItem[] = R"sql(
DELETE FROM samples WHERE item_id = ?1 AND t_ms < coalesce(
  (SELECT t_ms FROM samples WHERE item_id = ?1 AND t_ms < ?2 ORDER BY t_ms LIMIT 1 OFFSET ?3), ?2)
)sql";

qint64 utcNowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

// A statement that finalizes itself.
class Statement
{
public:
    Statement() = default;
    Statement(sqlite3 *db, const char *sql) { m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(Statement &&o) noexcept
        : m_stmt(std::exchange(o.m_stmt, nullptr))
        , m_rc(o.m_rc)
    {
    }
    Statement &operator=(Statement &&o) noexcept
    {
        std::swap(m_stmt, o.m_stmt);
        m_rc = o.m_rc;
        return *this;
    }
    int rc() const { return m_rc; }
    sqlite3_stmt *get() const { return m_stmt; }
    void reset() const
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    void bind(int i, qint64 v) const { sqlite3_bind_int64(m_stmt, i, v); }
    void bind(int i, const QString &text) const
    {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(m_stmt, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    void bindReal(int i, std::optional<double> v) const
    {
        if (v)
            sqlite3_bind_double(m_stmt, i, *v);
        else
            sqlite3_bind_null(m_stmt, i);
    }
    // The result of a statement run to its end.
    int run() const
    {
        int rc;
        while ((rc = sqlite3_step(m_stmt)) == SQLITE_ROW) {
        }
        sqlite3_reset(m_stmt);
        return rc == SQLITE_DONE ? SQLITE_OK : rc;
    }

private:
    sqlite3_stmt *m_stmt = nullptr;
    int m_rc = SQLITE_OK;
};

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

std::vector<TrendPoint> HistoryStore::bucketQuery(sqlite3 *db, const BucketRequest &r)
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

// The writer thread's side: the connection, the fault state and the retention.
class HistoryStore::Writer
{
public:
    Writer(HistoryStore &store)
        : m_store(store)
        , m_config(store.m_config)
    {
    }
    ~Writer() { closeDb(); }

    sqlite3 *db() const { return m_db; }

    void cycle(std::vector<Sample> batch, bool retryNow)
    {
        if (!m_db && (retryNow || Clock::now() >= m_nextOpen))
            open();
        if (!m_pending.empty()) {
            m_pending.insert(m_pending.end(), std::make_move_iterator(batch.begin()),
                             std::make_move_iterator(batch.end()));
            batch.swap(m_pending);
            m_pending.clear();
        }
        if (!m_db) {
            if (m_fault == Fault::Locked && batch.size() < kMaxPending)
                m_pending.swap(batch); // nothing is lost while another program holds the lock
            else
                fold(batch);
            return;
        }
        write(std::move(batch));
        if (m_db)
            purge();
    }

private:
    enum class Fault { None, Unavailable, Locked, Full, Corrupt };

    void warn(Fault fault, const QString &message)
    {
        if (fault == m_fault)
            return;
        m_fault = fault;
        if (m_config.warn)
            m_config.warn(message);
        else
            std::fprintf(stderr, "corvane-station: history: %s\n", qPrintable(message));
    }

    QString errorText(int rc) const
    {
        return QStringLiteral("%1 (%2)").arg(QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc)),
                                             m_config.path);
    }

    // Ends a failure the way its kind needs; the samples are kept by the caller.
    void fail(int rc)
    {
        const int primary = rc & 0xff;
        if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
            warn(Fault::Locked, QStringLiteral("database locked by another program, retrying: %1").arg(errorText(rc)));
            return; // the connection stays; the batch waits
        }
        if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB) {
            const QString aside = moveAside();
            warn(Fault::Corrupt, QStringLiteral("corrupt file moved aside to %1, starting a new one").arg(aside));
            m_nextOpen = Clock::now(); // at once: the new file needs nothing to mend
            return;
        }
        if (primary == SQLITE_FULL)
            warn(Fault::Full, QStringLiteral("disk full, not recording until there is room: %1").arg(errorText(rc)));
        else
            warn(Fault::Unavailable, QStringLiteral("cannot write, not recording until it can: %1").arg(errorText(rc)));
        closeDb();
        m_nextOpen = Clock::now() + kRetryOpenEvery;
    }

    QString moveAside()
    {
        closeDb();
        const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddTHHmmssZ"));
        const QString aside = m_config.path + QStringLiteral(".corrupt-") + stamp;
        QFile::remove(m_config.path + QStringLiteral("-shm"));
        QFile::rename(m_config.path + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
        if (!QFile::rename(m_config.path, aside))
            QFile::remove(m_config.path);
        return aside;
    }

    void closeDb()
    {
        m_insert = {};
        m_rollup = {};
        m_alive = {};
        m_ids.clear();
        m_lastT.clear();
        if (m_db)
            sqlite3_close_v2(m_db);
        m_db = nullptr;
    }

    bool exec(const char *sql, int *rc)
    {
        *rc = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
        return *rc == SQLITE_OK;
    }

    void open()
    {
        m_nextOpen = Clock::now() + kRetryOpenEvery;
        const QString folder = QFileInfo(m_config.path).absolutePath();
        if (!QDir().mkpath(folder)) {
            warn(Fault::Unavailable,
                 QStringLiteral("cannot create the folder %1, not recording until it can").arg(folder));
            return;
        }
        int rc = sqlite3_open_v2(QFile::encodeName(m_config.path).constData(), &m_db,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_busy_timeout(m_db, 100);
            sqlite3_extended_result_codes(m_db, 1);
            // NORMAL in WAL: a commit survives the process being killed; at most the
            // batch not yet committed (under a second) is lost.
            if (exec("PRAGMA journal_mode=WAL", &rc) && exec("PRAGMA synchronous=NORMAL", &rc)
                && exec("PRAGMA secure_delete=OFF", &rc) && exec(kSchema, &rc)) {
                m_insert = Statement(m_db, "INSERT OR REPLACE INTO samples(item_id, t_ms, value) VALUES(?1, ?2, ?3)");
                m_rollup = Statement(m_db, kUpsertRollup);
                m_alive = Statement(m_db, "INSERT OR REPLACE INTO meta(key, value) VALUES('alive_ms', ?1)");
                rc = m_insert.rc() ? m_insert.rc() : m_rollup.rc() ? m_rollup.rc() : m_alive.rc();
            }
            if (rc == SQLITE_OK)
                rc = closeOpenSeries();
        }
        if (rc != SQLITE_OK) {
            if (!m_db)
                rc = SQLITE_CANTOPEN;
            fail(rc);
            if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED) {
                closeDb(); // open again on the next cycle
                m_nextOpen = Clock::now();
            }
            if (m_fault == Fault::Corrupt && !m_db && !m_retriedFresh) {
                m_retriedFresh = true;
                open();
            }
            return;
        }
        m_retriedFresh = false;
        m_nextPurge = Clock::now(); // a station started after a long pause purges first
    }

    int closeOpenSeries()
    {
        Statement last(m_db, "SELECT value FROM meta WHERE key = 'alive_ms'");
        if (last.rc())
            return last.rc();
        if (sqlite3_step(last.get()) != SQLITE_ROW)
            return SQLITE_OK;
        Statement close(m_db, kCloseOpenSeries);
        close.bind(1, sqlite3_column_int64(last.get(), 0));
        return close.rc() ? close.rc() : close.run();
    }

    // Samples that cannot be written: the time the loss began and the latest value of
    // each channel, so that recording resumes with a gap and the value then holding.
    void fold(std::vector<Sample> &batch)
    {
        for (Sample &s : batch) {
            if (!m_lostFrom)
                m_lostFrom = s.tMs;
            m_lost[s.channel] = std::move(s);
        }
        batch.clear();
    }

    qint64 idOf(int channel, int *rc)
    {
        if (size_t(channel) < m_ids.size() && m_ids[size_t(channel)])
            return m_ids[size_t(channel)];
        TagAddress a;
        {
            std::lock_guard lock(m_store.m_mutex);
            a = m_store.m_channels[size_t(channel)];
        }
        Statement ins(m_db, "INSERT OR IGNORE INTO items(application, topic, item) VALUES(?1, ?2, ?3)");
        Statement sel(m_db, "SELECT id FROM items WHERE application = ?1 AND topic = ?2 AND item = ?3");
        for (const Statement *s : {&ins, &sel}) {
            s->bind(1, a.application);
            s->bind(2, a.topic);
            s->bind(3, a.item);
        }
        if ((*rc = ins.rc() ? ins.rc() : ins.run()) != SQLITE_OK)
            return 0;
        if ((*rc = sel.rc()) != SQLITE_OK || sqlite3_step(sel.get()) != SQLITE_ROW) {
            *rc = *rc ? *rc : sqlite3_errcode(m_db);
            return 0;
        }
        const qint64 id = sqlite3_column_int64(sel.get(), 0);
        if (m_ids.size() <= size_t(channel))
            m_ids.resize(size_t(channel) + 1);
        m_ids[size_t(channel)] = id;
        return id;
    }

    struct Roll
    {
        bool any = false;
        qint64 firstMs = 0, lastMs = 0;
        std::optional<double> first, last, low, high;
        qint64 gaps = 0;
    };

    void write(std::vector<Sample> batch)
    {
        if (!m_lost.empty()) {
            // Resuming: a gap from the first loss, then each channel's latest value.
            std::vector<Sample> resumed;
            for (auto it = m_lost.begin(); it != m_lost.end(); ++it) {
                resumed.push_back(Sample{*m_lostFrom, it.key(), QString(), true});
                if (it->tMs > *m_lostFrom || !it->gap)
                    resumed.push_back(*it);
            }
            std::sort(resumed.begin(), resumed.end(), [](const Sample &a, const Sample &b) { return a.tMs < b.tMs; });
            resumed.insert(resumed.end(), std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()));
            batch.swap(resumed);
            m_lost.clear();
            m_lostFrom.reset();
        }
        if (batch.empty())
            return;
        int rc = SQLITE_OK;
        if (!exec("BEGIN IMMEDIATE", &rc)) {
            keepOrFold(batch, rc);
            return;
        }
        QHash<QPair<qint64, qint64>, Roll> rolls;
        for (const Sample &s : batch) {
            const qint64 id = idOf(s.channel, &rc);
            if (!id)
                break;
            // Two values in one millisecond keep their order a millisecond apart.
            qint64 t = s.tMs;
            const auto last = m_lastT.constFind(id);
            if (last != m_lastT.constEnd() && t <= *last && *last - t < 1000)
                t = *last + 1;
            m_lastT.insert(id, t);
            m_insert.bind(1, id);
            m_insert.bind(2, t);
            if (s.gap)
                sqlite3_bind_null(m_insert.get(), 3);
            else
                m_insert.bind(3, s.value);
            if ((rc = m_insert.run()) != SQLITE_OK)
                break;
            const std::optional<double> v = s.gap ? std::nullopt : readValue(s.value);
            Roll &r = rolls[{id, t / kRollupMs}];
            if (!r.any) {
                r.any = true;
                r.firstMs = t;
                r.first = v;
            }
            r.lastMs = t;
            r.last = v;
            if (v) {
                r.low = r.low ? std::min(*r.low, *v) : *v;
                r.high = r.high ? std::max(*r.high, *v) : *v;
            } else {
                ++r.gaps;
            }
        }
        for (auto it = rolls.cbegin(); rc == SQLITE_OK && it != rolls.cend(); ++it) {
            const Roll &r = *it;
            m_rollup.bind(1, it.key().first);
            m_rollup.bind(2, it.key().second);
            m_rollup.bind(3, r.firstMs);
            m_rollup.bindReal(4, r.first);
            m_rollup.bindReal(5, r.low);
            m_rollup.bindReal(6, r.high);
            m_rollup.bind(7, r.lastMs);
            m_rollup.bindReal(8, r.last);
            m_rollup.bind(9, r.gaps);
            rc = m_rollup.run();
        }
        if (rc == SQLITE_OK) {
            m_alive.bind(1, std::max(utcNowMs(), batch.back().tMs));
            rc = m_alive.run();
        }
        if (rc == SQLITE_OK && exec("COMMIT", &rc)) {
            if (m_fault != Fault::None) {
                m_fault = Fault::None;
                if (m_config.warn)
                    m_config.warn(QStringLiteral("recording again"));
                else
                    std::fprintf(stderr, "corvane-station: history: recording again\n");
            }
            return;
        }
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        m_lastT.clear();
        keepOrFold(batch, rc);
    }

    void keepOrFold(std::vector<Sample> &batch, int rc)
    {
        fail(rc);
        const int primary = rc & 0xff;
        if ((primary == SQLITE_BUSY || primary == SQLITE_LOCKED) && batch.size() < kMaxPending) {
            m_pending.swap(batch);
            return;
        }
        fold(batch);
        if (!m_db && m_fault == Fault::Corrupt)
            open(); // a fresh file takes the folded values at the next cycle
    }

    // Deletes rows older than the retention, a few thousand per transaction, for at
    // most a slice of each cycle, so batches never wait long behind it.
    void purge()
    {
        if (m_config.retentionDays <= 0 || Clock::now() < m_nextPurge)
            return;
        const auto until = Clock::now() + kPurgeSlice;
        const qint64 cutoff = utcNowMs() - qint64(m_config.retentionDays) * 86'400'000;
        if (m_purgeItems.empty()) {
            Statement items(m_db, "SELECT id FROM items");
            while (sqlite3_step(items.get()) == SQLITE_ROW)
                m_purgeItems.push_back(sqlite3_column_int64(items.get(), 0));
        }
        Statement del(m_db, kPurgeItem);
        Statement delRoll(m_db, "DELETE FROM rollup_10s WHERE item_id = ?1 AND slot < ?2");
        while (!m_purgeItems.empty() && Clock::now() < until) {
            const qint64 id = m_purgeItems.back();
            del.reset();
            del.bind(1, id);
            del.bind(2, cutoff);
            del.bind(3, qint64(m_config.purgeStep));
            int rc = del.run();
            const int deleted = sqlite3_changes(m_db);
            if (rc == SQLITE_OK && deleted < m_config.purgeStep) {
                delRoll.reset();
                delRoll.bind(1, id);
                delRoll.bind(2, cutoff / kRollupMs);
                rc = delRoll.run();
                m_purgeItems.pop_back();
            }
            if (rc != SQLITE_OK) {
                m_purgeItems.clear();
                if ((rc & 0xff) != SQLITE_BUSY)
                    fail(rc);
                return;
            }
        }
        if (m_purgeItems.empty())
            m_nextPurge = Clock::now() + kPurgeCheckEvery;
    }

    HistoryStore &m_store;
    const HistoryConfig &m_config;
    sqlite3 *m_db = nullptr;
    Statement m_insert, m_rollup, m_alive;
    std::vector<qint64> m_ids;
    QHash<qint64, qint64> m_lastT;
    Fault m_fault = Fault::None;
    bool m_retriedFresh = false;
    Clock::time_point m_nextOpen = Clock::now();
    Clock::time_point m_nextPurge = Clock::now();
    std::vector<qint64> m_purgeItems;
    std::vector<Sample> m_pending;
    std::optional<qint64> m_lostFrom;
    QHash<int, Sample> m_lost;
};

HistoryStore::HistoryStore(HistoryConfig config)
    : m_config(std::move(config))
{
    m_queue.reserve(4096);
    m_writer = std::make_unique<Writer>(*this);
    m_thread = std::thread([this] {
#ifdef Q_OS_LINUX
        // Background work: when the cores are busy, the UI thread goes first.
        setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), 5);
#endif
        std::unique_lock lock(m_mutex);
        auto next = Clock::now() + kCommitEvery;
        for (;;) {
            m_wake.wait_until(lock, next, [&] { return m_stop || m_flushTicket > m_flushDone || !m_jobs.empty(); });
            const quint64 ticket = m_flushTicket;
            const bool stopping = m_stop;
            std::vector<Sample> batch;
            batch.swap(m_queue);
            m_queue.reserve(batch.capacity());
            std::deque<std::function<void(sqlite3 *)>> jobs;
            jobs.swap(m_jobs);
            lock.unlock();
            // A question opens the file too, if it is not open yet.
            if (!batch.empty() || !jobs.empty() || ticket > m_flushDone || Clock::now() >= next)
                m_writer->cycle(std::move(batch), ticket > m_flushDone);
            for (auto &job : jobs)
                job(m_writer->db());
            m_open = m_writer->db() != nullptr;
            lock.lock();
            if (Clock::now() >= next)
                next = Clock::now() + kCommitEvery;
            m_flushDone = ticket;
            m_flushed.notify_all();
            if (stopping && m_queue.empty() && m_jobs.empty())
                break;
        }
    });
}

HistoryStore::~HistoryStore()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
    m_writer.reset();
}

int HistoryStore::channel(const TagAddress &address)
{
    const auto it = m_channelOf.constFind(address);
    if (it != m_channelOf.constEnd())
        return *it;
    std::lock_guard lock(m_mutex);
    const int c = int(m_channels.size());
    m_channels.push_back(address);
    m_channelOf.insert(address, c);
    return c;
}

void HistoryStore::query(const BucketRequest &request, std::function<void(std::vector<TrendPoint>)> done)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back([request, done = std::move(done)](sqlite3 *db) { done(bucketQuery(db, request)); });
    }
    m_wake.notify_all();
}

void HistoryStore::exportCsv(const QStringList &items, qint64 fromMs, qint64 toMs, const QString &file,
                             std::function<void(QString)> done)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back([=](sqlite3 *db) {
            if (!db)
                return done(QStringLiteral("the history is not available"));
            QFile out(file);
            if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
                return done(out.errorString());
            out.write("item,time_utc,value\n");
            Statement s(db, "SELECT i.item, strftime('%Y-%m-%dT%H:%M:%fZ', s.t_ms / 1000.0, 'unixepoch'), s.value "
                            "FROM samples s JOIN items i ON i.id = s.item_id "
                            "WHERE i.application = 'DSData' AND i.topic = 'CVPlc' AND i.item = ?1 "
                            "AND s.t_ms >= ?2 AND s.t_ms < ?3 ORDER BY s.t_ms");
            const auto csv = [](const QByteArray &field) {
                if (!field.contains(',') && !field.contains('"') && !field.contains('\n'))
                    return field;
                QByteArray q = field;
                q.replace("\"", "\"\"");
                return "\"" + q + "\"";
            };
            for (const QString &item : items) {
                s.reset();
                s.bind(1, item);
                s.bind(2, fromMs);
                s.bind(3, toMs);
                while (sqlite3_step(s.get()) == SQLITE_ROW) {
                    for (int col = 0; col < 3; ++col) {
                        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(s.get(), col));
                        out.write(csv(QByteArray(text ? text : "", sqlite3_column_bytes(s.get(), col))));
                        out.write(col < 2 ? "," : "\n");
                    }
                }
            }
            done(out.flush() ? QString() : out.errorString());
        });
    }
    m_wake.notify_all();
}

void HistoryStore::flush()
{
    std::unique_lock lock(m_mutex);
    const quint64 ticket = ++m_flushTicket;
    m_wake.notify_all();
    m_flushed.wait(lock, [&] { return m_flushDone >= ticket; });
}

bool HistoryStore::isOpen() const
{
    return m_open.load();
}

QString HistoryStore::defaultPath()
{
    // Beside the alarm log's default, in the same folder.
    return stateFile(QStringLiteral("history.sqlite"));
}

} // namespace corvane::history
