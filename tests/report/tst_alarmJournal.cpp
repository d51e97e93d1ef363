// Reading alarm lines: the station's log file (local times, a clock change, broken
// lines), the history's `alarms` view, and the report's time options.
#include "report/AlarmJournal.h"
#include "report/LocalClock.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

using namespace corvane::report;

namespace {
QString utc(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc()).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"));
}

QStringList eventsOf(const AlarmJournal &j)
{
    static const char *const kinds[] = {"FAULT", "WARN", "CLEAR"};
    QStringList out;
    for (const AlarmEvent &e : j.events)
        out << QStringLiteral("%1 %2 %3").arg(utc(e.tMs), QLatin1StringView(kinds[int(e.kind)]), j.items[e.item]);
    return out;
}

void exec(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    QVERIFY2(sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK, error);
}
} // namespace

class tst_alarmJournal : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // The test runs with TZ=Europe/Berlin: on 25 October 2026 the clocks go from
        // 03:00 summer time (UTC+2) back to 02:00 (UTC+1), so 02:00-03:00 comes twice.
        QCOMPARE(QTimeZone::systemTimeZone().offsetFromUtc(QDateTime(QDate(2026, 7, 1), QTime(0, 0), QTimeZone::utc())),
                 7200);
    }

    // The repeated hour is read in file order: 02:10 and 02:50 after 01:50 are the
    // first pass (00:10Z, 00:50Z); 02:20 after 02:50 can only be the second (01:20Z),
    // and so is 02:40 after it (01:40Z, not 00:40Z: X200 was active 50 min, not -10).
    // Line 5 is torn, line 7 has hour 25: both are counted and named, the rest read.
    // The DROPPED note counts its lines; the empty line is nothing; the last line has
    // no line end (the station was cut off after writing it) and is read.
    void logWithClockChangeAndBrokenLines()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("alarm_log.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("FAULT C27 Handbrake ON, Car Moving  01:50:00 10/25/2026\r\n"
                   "CLEAR C27 Handbrake ON, Car Moving  02:10:00 10/25/2026\r\n"
                   "FAULT X200 Phase Fault Relay  02:50:00 10/25/2026\r\n"
                   "WARN C300 Water Level Low  02:20:00 10/25/2026\r\n"
                   "FAULT C302 Fuel Lev\r\n"
                   "CLEAR X200 Phase Fault Relay  02:40:00 10/25/2026\r\n"
                   "CLEAR C300 Water Level Low  25:00:00 10/25/2026\r\n"
                   "DROPPED 3 alarm lines, log file not writable  02:45:00 10/25/2026\r\n"
                   "\r\n"
                   "FAULT DSDATA Data Server Link Lost  03:10:00 10/25/2026\r\n"
                   "CLEAR DSDATA Data Server Link Lost  03:15:00 10/25/2026");
        file.close();

        const LocalClock clock;
        AlarmJournal journal;
        AlarmLogReader reader(clock, journal);
        QString error;
        QVERIFY2(reader.read(path, &error), qPrintable(error));
        QCOMPARE(eventsOf(journal), (QStringList{"2026-10-24T23:50:00Z FAULT C27", "2026-10-25T00:10:00Z CLEAR C27",
                                                 "2026-10-25T00:50:00Z FAULT X200", "2026-10-25T01:20:00Z WARN C300",
                                                 "2026-10-25T01:40:00Z CLEAR X200", "2026-10-25T02:10:00Z FAULT DSDATA",
                                                 "2026-10-25T02:15:00Z CLEAR DSDATA"}));
        QCOMPARE(journal.unreadCount, qint64(2));
        QCOMPARE(journal.unread.size(), size_t(2));
        QCOMPARE(journal.unread[0].source, path + QStringLiteral(":5"));
        QCOMPARE(journal.unread[0].text, QStringLiteral("FAULT C302 Fuel Lev"));
        QCOMPARE(journal.unread[1].source, path + QStringLiteral(":7"));
        QCOMPARE(journal.droppedByStation, qint64(3));
        QCOMPARE(journal.repeatedHourLines, qint64(2));
    }

    // The history's view, opened read-only: lines before --to only, equal times in the
    // order stored, a line of an unknown kind named, never a file made where none was.
    void history()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("history.sqlite"));
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
        exec(db, "CREATE TABLE alarm_lines(seq INTEGER PRIMARY KEY, t_ms INTEGER NOT NULL, kind TEXT NOT NULL,"
                 " item TEXT NOT NULL, text TEXT NOT NULL);"
                 "CREATE VIEW alarms(time_utc, t_ms, kind, item, text) AS SELECT"
                 " strftime('%Y-%m-%dT%H:%M:%fZ', t_ms/1000.0, 'unixepoch'), t_ms, kind, item, text FROM alarm_lines;"
                 "INSERT INTO alarm_lines(t_ms, kind, item, text) VALUES"
                 " (1000, 'FAULT', 'C27', 'FAULT C27 Handbrake ON, Car Moving  01:00:01 01/01/1970'),"
                 " (1000, 'CLEAR', 'C27', 'CLEAR C27 Handbrake ON, Car Moving  01:00:01 01/01/1970'),"
                 " (2000, 'NOTE', 'x', 'NOTE x 01:00:02 01/01/1970'),"
                 " (5000, 'FAULT', 'X200', 'FAULT X200 Phase Fault Relay  01:00:05 01/01/1970');");
        sqlite3_close(db);

        AlarmJournal journal;
        QString error;
        QVERIFY2(readAlarmHistory(path, 5000, journal, &error), qPrintable(error));
        QCOMPARE(eventsOf(journal), (QStringList{"1970-01-01T00:00:01Z FAULT C27", "1970-01-01T00:00:01Z CLEAR C27"}));
        QCOMPARE(journal.unreadCount, qint64(1));
        QCOMPARE(journal.unread[0].text, QStringLiteral("NOTE x 01:00:02 01/01/1970"));

        const QString missing = dir.filePath(QStringLiteral("none.sqlite"));
        QVERIFY(!readAlarmHistory(missing, std::nullopt, journal, &error));
        QVERIFY(!QFile::exists(missing));
        QVERIFY(sqlite3_open(dir.filePath(QStringLiteral("other.sqlite")).toUtf8().constData(), &db) == SQLITE_OK);
        exec(db, "CREATE TABLE t(x);");
        sqlite3_close(db);
        QVERIFY(!readAlarmHistory(dir.filePath(QStringLiteral("other.sqlite")), std::nullopt, journal, &error));
        QVERIFY2(error.contains(QStringLiteral("no alarm lines")), qPrintable(error));
    }

    void timeOptions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isEnd");
        QTest::addColumn<QString>("expected"); // UTC; empty: refused
        QTest::newRow("local, repeated hour: first pass") << "2026-10-25 02:30" << false << "2026-10-25T00:30:00Z";
        QTest::newRow("with an offset") << "2026-10-25T02:30+01:00" << false << "2026-10-25T01:30:00Z";
        QTest::newRow("UTC") << "2026-10-25T02:30:00Z" << false << "2026-10-25T02:30:00Z";
        QTest::newRow("a date, as start") << "2026-12-01" << false << "2026-11-30T23:00:00Z";
        QTest::newRow("a date, as end: the day included") << "2026-12-01" << true << "2026-12-01T23:00:00Z";
        QTest::newRow("the log's own form") << "13:00:00 07/01/2026" << false << "2026-07-01T11:00:00Z";
        QTest::newRow("no such day") << "2026-02-30" << false << "";
        QTest::newRow("words") << "yesterday" << false << "";
    }
    void timeOptions()
    {
        QFETCH(QString, text);
        QFETCH(bool, isEnd);
        QFETCH(QString, expected);
        const auto ms = parseTimeOption(text, LocalClock(), isEnd);
        QCOMPARE(ms ? utc(*ms) : QString(), expected);
    }
};

QTEST_GUILESS_MAIN(tst_alarmJournal)
#include "tst_alarmJournal.moc"
