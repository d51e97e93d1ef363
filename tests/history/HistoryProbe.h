#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <sqlite3.h>

namespace corvane::test {

// Reads a history file the way anyone would: its own connection, read-only. Each row's
// first `columns` columns as text joined by blanks (NULL as "NULL"); on failure one row,
// "error: <what SQLite says>".
inline QStringList historyQuery(const QString &path, const QByteArray &sql, int columns)
{
    QStringList rows;
    sqlite3 *db = nullptr;
    sqlite3_stmt *s = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK
        && sqlite3_prepare_v2(db, sql.constData(), -1, &s, nullptr) == SQLITE_OK) {
        while (sqlite3_step(s) == SQLITE_ROW) {
            QStringList row;
            for (int c = 0; c < columns; ++c) {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(s, c));
                row << (text ? QString::fromUtf8(text) : QStringLiteral("NULL"));
            }
            rows << row.join(u' ');
        }
    } else {
        rows << QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    return rows;
}

// The documented view's rows as "item time value", in time order.
inline QStringList historyRows(const QString &path, const char *where = "1")
{
    return historyQuery(
            path, QByteArray("SELECT item, time_utc, value FROM history WHERE ") + where + " ORDER BY time_utc, item",
            3);
}

// The first column of the first row a statement gives; "error: ..." when the file
// cannot be read, empty when the statement gives no row.
inline QString historyAnswer(const QString &path, const char *sql)
{
    return historyQuery(path, sql, 1).value(0);
}

// 2026-12-08T10:00:00.000Z, the start of every recorded test history.
constexpr qint64 kT0 = 1796724000000;

} // namespace corvane::test
