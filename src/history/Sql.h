#pragma once

#include <QString>
#include <optional>
#include <sqlite3.h>
#include <utility>

namespace corvane::history::sql {

// Rows of 10 s (first, min, max, last) beside the raw rows: a week of an item that
// changes 10 times a second is 60 480 of them instead of 6 million.
constexpr qint64 kRollupMs = 10'000;

// A prepared statement that finalizes itself.
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
    bool step() const { return sqlite3_step(m_stmt) == SQLITE_ROW; }
    qint64 int64(int col) const { return sqlite3_column_int64(m_stmt, col); }
    QString text(int col) const
    {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, col)),
                                 sqlite3_column_bytes(m_stmt, col));
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

} // namespace corvane::history::sql
