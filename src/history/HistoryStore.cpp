#include "HistoryStore.h"

#include "Sql.h"

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

using sql::kRollupMs;
using sql::Statement;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kCommitEvery = 1s;
constexpr auto kRetryOpenEvery = 5s;
constexpr auto kPurgeCheckEvery = std::chrono::minutes(10);
constexpr auto kPurgeSlice = 200ms; // retention work per cycle at most
// Beyond this many samples waiting for a locked database, the oldest become a gap.
constexpr size_t kMaxPending = 1'000'000;
constexpr qint64 kDayMs = 86'400'000;

// Items are numbered once; values are keyed by (item, time) without a rowid, so a
// row is the key itself plus the text: about 15 bytes a change. The views give the
// text form anyone can query; t_ms is the column to filter on (it reaches the key).
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
CREATE TABLE IF NOT EXISTS alarm_lines(
  seq INTEGER PRIMARY KEY,
  t_ms INTEGER NOT NULL,
  kind TEXT NOT NULL,
  item TEXT NOT NULL,
  text TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS alarm_lines_t ON alarm_lines(t_ms);
CREATE TABLE IF NOT EXISTS clock_steps(t_ms INTEGER NOT NULL, step_ms INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS link_changes(t_ms INTEGER NOT NULL, up INTEGER NOT NULL);
CREATE VIEW IF NOT EXISTS alarms(time_utc, t_ms, kind, item, text) AS
  SELECT strftime('%Y-%m-%dT%H:%M:%fZ', t_ms / 1000.0, 'unixepoch'), t_ms, kind, item, text FROM alarm_lines;
)sql";

// Files from before t_ms was in the view get the view again, once.
const char kHistoryView[] = R"sql(
DROP VIEW IF EXISTS history;
CREATE VIEW history(item, time_utc, t_ms, value) AS
  SELECT i.item, strftime('%Y-%m-%dT%H:%M:%fZ', s.t_ms / 1000.0, 'unixepoch'), s.t_ms, s.value
  FROM samples s JOIN items i ON i.id = s.item_id;
PRAGMA user_version = 2;
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

// Each item's last row: one index seek per item, however long the history (a join
// on max(t_ms) would scan every row).
const char kLastRows[] = R"sql(
SELECT id, t, held FROM (
  SELECT i.id AS id,
    (SELECT t_ms FROM samples WHERE item_id = i.id ORDER BY t_ms DESC LIMIT 1) AS t,
    (SELECT value IS NOT NULL FROM samples WHERE item_id = i.id ORDER BY t_ms DESC LIMIT 1) AS held
  FROM items i)
WHERE t IS NOT NULL
)sql";

const char kPurgeItem[] = R"sql(
DELETE FROM samples WHERE item_id = ?1 AND t_ms < coalesce(
  (SELECT t_ms FROM samples WHERE item_id = ?1 AND t_ms < ?2 ORDER BY t_ms LIMIT 1 OFFSET ?3), ?2)
)sql";

void report(const HistoryConfig &config, const QString &message)
{
    if (config.warn)
        config.warn(message);
    else
        std::fprintf(stderr, "corvane-station: history: %s\n", qPrintable(message));
}

// At equal times a gap goes first: the value after it is what holds.
bool earlier(const HistoryStore::Sample &a, const HistoryStore::Sample &b)
{
    return a.tMs != b.tMs ? a.tMs < b.tMs : a.gap > b.gap;
}

} // namespace

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

    void cycle(std::vector<Sample> batch, std::vector<Event> events, bool retryNow)
    {
        if (!m_db && (retryNow || Clock::now() >= m_nextOpen))
            open();
        if (!m_pending.empty()) {
            m_pending.insert(m_pending.end(), std::make_move_iterator(batch.begin()),
                             std::make_move_iterator(batch.end()));
            batch.swap(m_pending);
            m_pending.clear();
        }
        // Alarm lines and link changes are few: they wait in memory through any fault.
        m_events.insert(m_events.end(), std::make_move_iterator(events.begin()), std::make_move_iterator(events.end()));
        if (m_events.size() > kMaxPending)
            m_events.erase(m_events.begin(), m_events.begin() + qsizetype(m_events.size() - kMaxPending));
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
        report(m_config, message);
    }

    QString errorText(int rc) const
    {
        return QStringLiteral("%1 (%2)").arg(QString::fromUtf8(sqlite3_errstr(rc)), m_config.path);
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
        m_alarm = {};
        m_event = {};
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
                && exec("PRAGMA secure_delete=OFF", &rc) && exec(kSchema, &rc) && migrate(&rc)) {
                m_insert = Statement(m_db, "INSERT OR REPLACE INTO samples(item_id, t_ms, value) VALUES(?1, ?2, ?3)");
                m_rollup = Statement(m_db, kUpsertRollup);
                m_alive = Statement(m_db, "INSERT OR REPLACE INTO meta(key, value) VALUES('alive_ms', ?1)");
                m_alarm = Statement(m_db, "INSERT INTO alarm_lines(t_ms, kind, item, text) VALUES(?1, ?2, ?3, ?4)");
                m_event = Statement(m_db, "INSERT INTO link_changes(t_ms, up) VALUES(?1, ?2)");
                m_step = Statement(m_db, "INSERT INTO clock_steps(t_ms, step_ms) VALUES(?1, ?2)");
                for (const Statement *s : {&m_insert, &m_rollup, &m_alive, &m_alarm, &m_event, &m_step})
                    rc = rc ? rc : s->rc();
            }
            // Only the file as the last run left it can hold lines that run never ended.
            if (rc == SQLITE_OK && !m_started)
                rc = closeAfterCrash();
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

    bool migrate(int *rc)
    {
        Statement version(m_db, "PRAGMA user_version");
        if ((*rc = version.rc()) != SQLITE_OK)
            return false;
        if (version.step() && version.int64(0) >= 2)
            return true;
        return exec(kHistoryView, rc);
    }

    // The station's first open of the file. A station killed mid-run queued no gaps:
    // every item's line ends at the last commit the file knows of instead of holding
    // across the time the station was gone, in the 10 s rows too. Recorded times go
    // on from there, and retention counts from there.
    int closeAfterCrash()
    {
        std::optional<qint64> alive;
        {
            Statement last(m_db, "SELECT value FROM meta WHERE key = 'alive_ms'");
            if (last.rc())
                return last.rc();
            if (last.step())
                alive = last.int64(0);
        }
        qint64 floor = alive.value_or(std::numeric_limits<qint64>::min());
        if (alive) {
            int rc = SQLITE_OK;
            if (!exec("BEGIN IMMEDIATE", &rc))
                return rc;
            Statement rows(m_db, kLastRows);
            rc = rows.rc();
            QHash<QPair<qint64, qint64>, Roll> rolls;
            while (rc == SQLITE_OK && rows.step()) {
                if (!rows.int64(2))
                    continue;
                const qint64 t = std::max(rows.int64(1) + 1, *alive);
                floor = std::max(floor, t);
                rc = insertRow(rows.int64(0), t, nullptr, rolls);
            }
            if (rc == SQLITE_OK)
                rc = writeRolls(rolls);
            if (rc != SQLITE_OK || !exec("COMMIT", &rc)) {
                rollback();
                return rc;
            }
        }
        m_started = true;
        m_floor = alive ? floor + 1 : floor;
        m_store.m_clock.notBefore(m_floor);
        m_retentionFrom = alive.value_or(m_store.m_clock.now());
        m_retentionMono = m_store.m_clock.monotonicMs();
        return SQLITE_OK;
    }

    void rollback()
    {
        // A failed statement may have ended the transaction already; a second end
        // would replace the error worth reporting.
        if (!sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
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

    // One row into samples and its 10 s slot; value null: a gap.
    int insertRow(qint64 id, qint64 t, const QString *value, QHash<QPair<qint64, qint64>, Roll> &rolls)
    {
        m_insert.bind(1, id);
        m_insert.bind(2, t);
        if (!value)
            sqlite3_bind_null(m_insert.get(), 3);
        else
            m_insert.bind(3, *value);
        if (const int rc = m_insert.run(); rc != SQLITE_OK)
            return rc;
        const std::optional<double> v = value ? readValue(*value) : std::nullopt;
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
        } else if (!value) {
            ++r.gaps;
        }
        return SQLITE_OK;
    }

    int writeRolls(const QHash<QPair<qint64, qint64>, Roll> &rolls)
    {
        int rc = SQLITE_OK;
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
        return rc;
    }

    int writeEvents()
    {
        int rc = SQLITE_OK;
        for (const Event &e : m_events) {
            switch (e.kind) {
            case Event::AlarmLine: {
                m_alarm.bind(1, e.tMs);
                m_alarm.bind(2, e.text.section(u' ', 0, 0));
                m_alarm.bind(3, e.text.section(u' ', 1, 1));
                m_alarm.bind(4, e.text);
                rc = m_alarm.run();
                break;
            }
            case Event::LinkState:
                m_event.bind(1, e.tMs);
                m_event.bind(2, e.number);
                rc = m_event.run();
                break;
            case Event::ClockStep:
                m_step.bind(1, e.tMs);
                m_step.bind(2, e.number);
                rc = m_step.run();
                break;
            }
            if (rc != SQLITE_OK)
                break;
        }
        return rc;
    }

    // Back after a loss: a gap from its start for every item, then each item's latest
    // value again, also of the items that did not change meanwhile (their rows before
    // the loss end at the gap).
    void resume(std::vector<Sample> &batch)
    {
        const qint64 lostFrom = *m_lostFrom;
        const qint64 now = std::max(m_store.m_clock.now(), lostFrom);
        std::vector<Sample> resumed;
        for (auto it = m_held.cbegin(); it != m_held.cend(); ++it) {
            if (!it->gap && !m_lost.contains(it.key())) {
                resumed.push_back(Sample{lostFrom, it.key(), QString(), true});
                resumed.push_back(Sample{now, it.key(), it->value, false});
            }
        }
        for (auto it = m_lost.begin(); it != m_lost.end(); ++it) {
            resumed.push_back(Sample{lostFrom, it.key(), QString(), true});
            if (it->tMs > lostFrom || !it->gap)
                resumed.push_back(*it);
        }
        std::stable_sort(resumed.begin(), resumed.end(), earlier);
        resumed.insert(resumed.end(), std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()));
        batch.swap(resumed);
        m_lost.clear();
        m_lostFrom.reset();
    }

    void write(std::vector<Sample> batch)
    {
        if (m_lostFrom)
            resume(batch);
        int rc = SQLITE_OK;
        if (!exec("BEGIN IMMEDIATE", &rc)) {
            keepOrFold(batch, rc);
            return;
        }
        QHash<QPair<qint64, qint64>, Roll> rolls;
        qint64 latest = std::numeric_limits<qint64>::min();
        for (const Sample &s : batch) {
            const qint64 id = idOf(s.channel, &rc);
            if (!id)
                break;
            // Two values in one millisecond keep their order a millisecond apart.
            qint64 t = std::max(s.tMs, m_floor);
            const auto last = m_lastT.constFind(id);
            if (last != m_lastT.constEnd() && t <= *last && *last - t < 1000)
                t = *last + 1;
            m_lastT.insert(id, t);
            latest = std::max(latest, t);
            if ((rc = insertRow(id, t, s.gap ? nullptr : &s.value, rolls)) != SQLITE_OK)
                break;
        }
        if (rc == SQLITE_OK)
            rc = writeRolls(rolls);
        if (rc == SQLITE_OK)
            rc = writeEvents();
        if (rc == SQLITE_OK) {
            // Every cycle, values or not: a crash loses at most the last cycle.
            m_alive.bind(1, std::max(m_store.m_clock.now(), latest));
            rc = m_alive.run();
        }
        if (rc == SQLITE_OK && exec("COMMIT", &rc)) {
            m_events.clear();
            for (Sample &s : batch)
                m_held[s.channel] = std::move(s);
            if (m_fault != Fault::None) {
                m_fault = Fault::None;
                report(m_config, QStringLiteral("recording again"));
            }
            return;
        }
        rollback();
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
    // most a slice of each cycle, so batches never wait long behind it. The cutoff
    // moves with the time the station has run, never with the wall clock: a clock
    // set wrong, or a long pause, cannot make it delete early.
    void purge()
    {
        if (m_config.retentionDays <= 0 || Clock::now() < m_nextPurge)
            return;
        const auto until = Clock::now() + kPurgeSlice;
        const qint64 ran = m_store.m_clock.monotonicMs() - m_retentionMono;
        const qint64 cutoff = m_retentionFrom + ran - qint64(m_config.retentionDays) * kDayMs;
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
        if (m_purgeItems.empty()) {
            Statement old(m_db, "DELETE FROM alarm_lines WHERE t_ms < ?1");
            old.bind(1, cutoff);
            old.run();
            m_nextPurge = Clock::now() + kPurgeCheckEvery;
        }
    }

    HistoryStore &m_store;
    const HistoryConfig &m_config;
    sqlite3 *m_db = nullptr;
    Statement m_insert, m_rollup, m_alive, m_alarm, m_event, m_step;
    std::vector<qint64> m_ids;
    QHash<qint64, qint64> m_lastT;
    Fault m_fault = Fault::None;
    bool m_retriedFresh = false;
    bool m_started = false; // the file was opened once in this run
    qint64 m_floor = std::numeric_limits<qint64>::min();
    qint64 m_retentionFrom = 0, m_retentionMono = 0;
    Clock::time_point m_nextOpen = Clock::now();
    Clock::time_point m_nextPurge = Clock::now();
    std::vector<qint64> m_purgeItems;
    std::vector<Sample> m_pending;
    std::vector<Event> m_events;
    std::optional<qint64> m_lostFrom;
    QHash<int, Sample> m_lost;
    QHash<int, Sample> m_held; // each channel's last row written
};

HistoryStore::HistoryStore(HistoryConfig config)
    : m_config(std::move(config))
    , m_clock(m_config.wallClock, m_config.monotonicClock)
{
    m_queue.reserve(4096);
    // Found at most a cycle late, since the writer asks the time at every commit.
    m_clock.setStepHandler([this](qint64 tMs, qint64 stepMs) {
        report(m_config, QStringLiteral("the wall clock stepped %1 by %2 s; recorded times go on without going back")
                                 .arg(stepMs > 0 ? QStringLiteral("forward") : QStringLiteral("back"))
                                 .arg(double(std::abs(stepMs)) / 1000.0));
        std::lock_guard lock(m_mutex);
        m_events.push_back(Event{Event::ClockStep, tMs, stepMs, QString()});
    });
    m_writer = std::make_unique<Writer>(*this);
    m_thread = std::thread([this] {
#ifdef Q_OS_LINUX
        // Background work: when the cores are busy, the UI thread goes first.
        setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), 5);
#endif
        std::unique_lock lock(m_mutex);
        auto next = Clock::now() + kCommitEvery;
        for (;;) {
            m_wake.wait_until(lock, next, [&] { return m_stop || m_flushTicket > m_flushDone; });
            const quint64 ticket = m_flushTicket;
            const bool stopping = m_stop;
            std::vector<Sample> batch;
            batch.swap(m_queue);
            m_queue.reserve(batch.capacity());
            std::vector<Event> events;
            events.swap(m_events);
            lock.unlock();
            m_writer->cycle(std::move(batch), std::move(events), ticket > m_flushDone);
            m_open = m_writer->db() != nullptr;
            lock.lock();
            if (Clock::now() >= next)
                next = Clock::now() + kCommitEvery;
            m_flushDone = ticket;
            m_flushed.notify_all();
            if (stopping && m_queue.empty() && m_events.empty())
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

void HistoryStore::addAlarmLine(qint64 utcMs, const QString &line)
{
    std::lock_guard lock(m_mutex);
    m_events.push_back(Event{Event::AlarmLine, utcMs, 0, line});
}

void HistoryStore::addLinkState(qint64 utcMs, bool up)
{
    std::lock_guard lock(m_mutex);
    m_events.push_back(Event{Event::LinkState, utcMs, up ? 1 : 0, QString()});
}

void HistoryStore::warn(const QString &message)
{
    report(m_config, message);
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

QString HistoryStore::defaultPath(const QString &alarmLogPath)
{
    return QFileInfo(alarmLogPath).dir().filePath(QStringLiteral("history.sqlite"));
}

} // namespace corvane::history
