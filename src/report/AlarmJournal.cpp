#include "report/AlarmJournal.h"

#include "report/LocalClock.h"

#include <QFile>
#include <algorithm>
#include <sqlite3.h>

namespace corvane::report {

namespace {
constexpr size_t kStampLength = 19; // "hh:mm:ss mm/dd/yyyy"
constexpr qint64 kReadBlock = 4 << 20;

std::optional<AlarmKind> kindOf(std::string_view word)
{
    if (word == "FAULT")
        return AlarmKind::Fault;
    if (word == "WARN")
        return AlarmKind::Warn;
    if (word == "CLEAR")
        return AlarmKind::Clear;
    return std::nullopt;
}

bool digits(std::string_view s, size_t at, size_t count, int *value)
{
    int v = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        v = v * 10 + (s[i] - '0');
    }
    *value = v;
    return true;
}

std::optional<qint64> wallMsOfStamp(std::string_view s)
{
    int h, mi, sec, mo, d, y;
    if (s[2] != ':' || s[5] != ':' || s[8] != ' ' || s[11] != '/' || s[14] != '/' || !digits(s, 0, 2, &h)
        || !digits(s, 3, 2, &mi) || !digits(s, 6, 2, &sec) || !digits(s, 9, 2, &mo) || !digits(s, 12, 2, &d)
        || !digits(s, 15, 4, &y))
        return std::nullopt;
    if (h > 23 || mi > 59 || sec > 59 || !QDate::isValid(y, mo, d))
        return std::nullopt;
    return LocalClock::wallMs(y, mo, d, h, mi, sec);
}

std::string_view nextWord(std::string_view &rest)
{
    const size_t start = std::min(rest.find_first_not_of(' '), rest.size());
    rest.remove_prefix(start);
    const size_t end = std::min(rest.find(' '), rest.size());
    const std::string_view word = rest.substr(0, end);
    rest.remove_prefix(end);
    return word;
}

// A line's bytes as text that is safe to print: no control characters (a terminal
// would obey them), at most 200 bytes.
QString shown(std::string_view line)
{
    QString text = QString::fromUtf8(line.data(), qsizetype(std::min<size_t>(line.size(), 200)));
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control)
            c = QChar::ReplacementCharacter;
    }
    return text;
}
} // namespace

qint32 AlarmJournal::itemId(std::string_view name)
{
    const auto it = m_ids.find(name);
    if (it != m_ids.end())
        return it->second;
    const auto id = qint32(items.size());
    items.append(shown(name));
    m_ids.emplace(std::string(name), id);
    return id;
}

void AlarmJournal::addUnread(QString source, QString text)
{
    ++unreadCount;
    if (unread.size() < size_t(kNamedUnread))
        unread.push_back({std::move(source), std::move(text)});
}

AlarmLogReader::AlarmLogReader(const LocalClock &clock, AlarmJournal &journal)
    : m_clock(clock)
    , m_journal(journal)
{
}

void AlarmLogReader::readLine(std::string_view line, qint64 lineNo)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line.find_first_not_of(" \t") == std::string_view::npos)
        return; // an empty line holds nothing to miss
    std::optional<qint64> wall;
    if (line.size() > kStampLength)
        wall = wallMsOfStamp(line.substr(line.size() - kStampLength));
    std::string_view rest = line.substr(0, wall ? line.size() - kStampLength : 0);
    const std::string_view first = nextWord(rest);
    const std::string_view second = nextWord(rest);
    const auto kind = kindOf(first);
    if (wall && first == "DROPPED") {
        qint64 count = 0;
        for (char c : second)
            count = (c >= '0' && c <= '9' && count < (qint64(1) << 40)) ? count * 10 + (c - '0') : count;
        m_journal.droppedByStation += count;
        return;
    }
    if (!wall || !kind || second.empty()) {
        m_journal.addUnread(QStringLiteral("%1:%2").arg(m_path).arg(lineNo), shown(line));
        return;
    }
    const qint64 t = m_clock.resolve(*wall, m_previousMs);
    if (t != m_clock.resolve(*wall, std::nullopt))
        ++m_journal.repeatedHourLines;
    m_previousMs = t;
    m_journal.events.push_back({t, m_journal.itemId(second), *kind});
}

bool AlarmLogReader::read(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    m_journal.sources.append(path);
    m_path = path;
    QByteArray carry;
    qint64 lineNo = 0;
    while (true) {
        QByteArray block = file.read(kReadBlock);
        if (block.isEmpty())
            break;
        if (!carry.isEmpty()) {
            block.prepend(carry);
            carry.clear();
        }
        std::string_view data(block.constData(), size_t(block.size()));
        size_t end;
        while ((end = data.find('\n')) != std::string_view::npos) {
            ++lineNo;
            readLine(data.substr(0, end), lineNo);
            data.remove_prefix(end + 1);
        }
        carry = QByteArray(data.data(), qsizetype(data.size()));
    }
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    if (!carry.isEmpty()) { // the last line without its line end (the station was cut off)
        ++lineNo;
        readLine(std::string_view(carry.constData(), size_t(carry.size())), lineNo);
    }
    return true;
}

bool readAlarmHistory(const QString &path, std::optional<qint64> toMs, AlarmJournal &journal, QString *error)
{
    sqlite3 *db = nullptr;
    auto fail = [&](const QString &what) {
        *error = QStringLiteral("%1: %2").arg(path, what);
        sqlite3_close(db);
        return false;
    };
    // Read-only and never waiting long: the station may be writing it right now.
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return fail(QString::fromUtf8(db ? sqlite3_errmsg(db) : "cannot open"));
    sqlite3_busy_timeout(db, 2000);
    sqlite3_stmt *stmt = nullptr;
    const char *sql = "SELECT t_ms, kind, item, text FROM alarms WHERE t_ms < ?1";
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
        return fail(QStringLiteral("no alarm lines to read (%1)").arg(QString::fromUtf8(sqlite3_errmsg(db))));
    sqlite3_bind_int64(stmt, 1, toMs.value_or(std::numeric_limits<qint64>::max()));
    journal.sources.append(path);
    const size_t firstNew = journal.events.size();
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const qint64 t = sqlite3_column_int64(stmt, 0);
        auto text = [&](int column) {
            const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
            return std::string_view(p ? p : "", size_t(sqlite3_column_bytes(stmt, column)));
        };
        const auto kind = kindOf(text(1));
        const std::string_view item = text(2);
        if (!kind || item.empty()) {
            journal.addUnread(QString::number(t), shown(text(3)));
            continue;
        }
        journal.events.push_back({t, journal.itemId(item), *kind});
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        return fail(QString::fromUtf8(sqlite3_errmsg(db)));
    sqlite3_close(db);
    // The history's times never go back; equal times keep the order they were stored in.
    std::stable_sort(journal.events.begin() + qsizetype(firstNew), journal.events.end(),
                     [](const AlarmEvent &a, const AlarmEvent &b) { return a.tMs < b.tMs; });
    return true;
}

} // namespace corvane::report
