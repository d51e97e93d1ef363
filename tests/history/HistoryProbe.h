#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <sqlite3.h>

namespace corvane::test {

// Reads a history file the way anyone would: its own connection, the documented view.
inline QStringList historyRows(const QString &path, const char *where = "1")
{
    QStringList rows;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return {QStringLiteral("cannot open")};
    }
    const QByteArray sql = QByteArray("SELECT item, time_utc, coalesce(value, 'NULL') FROM history WHERE ") + where
                           + " ORDER BY time_utc, item";
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &s, nullptr) == SQLITE_OK) {
        while (sqlite3_step(s) == SQLITE_ROW) {
            rows << QStringLiteral("%1 %2 %3")
                            .arg(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, 0))),
                                 QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, 1))),
                                 QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, 2))));
        }
    } else {
        rows << QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    return rows;
}

// The first column of the first row a statement gives, as text; "error: ..." when
// the file cannot be read or the statement gives no row.
inline QString historyAnswer(const QString &path, const char *sql)
{
    QString answer;
    sqlite3 *db = nullptr;
    sqlite3_stmt *s = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK
        && sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
        answer = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)));
    else
        answer = QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(s);
    sqlite3_close(db);
    return answer;
}

// 2026-12-08T10:00:00.000Z, the start of every recorded test history.
constexpr qint64 kT0 = 1796724000000;

} // namespace corvane::test
