// The broker option as an installer types it: what is accepted, and the exact line the
// station prints (and its exit code) for what is not.
#include "TestStation.h"

#include "app/Options.h"
#include "history/ReplayLaunch.h"

#include <QProcess>

using namespace corvane;

class TestOptions : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void brokerOption_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("host"); // empty: refused
        QTest::addColumn<int>("port");
        QTest::newRow("host") << "broker.car"
                              << "broker.car" << 1883;
        QTest::newRow("host:port") << "10.0.0.7:8883"
                                   << "10.0.0.7" << 8883;
        QTest::newRow("[v6]:port") << "[::1]:1883"
                                   << "::1" << 1883;
        QTest::newRow("highest port") << "broker.car:65535"
                                      << "broker.car" << 65535;
        QTest::newRow("port 0") << "broker.car:0" << QString() << 0;
        QTest::newRow("port 65536") << "broker.car:65536" << QString() << 0;
        QTest::newRow("empty host") << ":1883" << QString() << 0;
        QTest::newRow("empty") << "" << QString() << 0;
    }
    void brokerOption()
    {
        QFETCH(QString, text);
        QFETCH(QString, host);
        QFETCH(int, port);
        QString parsedHost = QStringLiteral("untouched");
        quint16 parsedPort = 1;
        QCOMPARE(parseBroker(text, &parsedHost, &parsedPort), !host.isEmpty());
        if (!host.isEmpty()) {
            QCOMPARE(parsedHost, host);
            QCOMPARE(int(parsedPort), port);
            return;
        }
        // Refused before any window or connection: one line on stderr, exit code 2.
        QProcess station;
        station.start(QStringLiteral(CORVANE_STATION), {QStringLiteral("--broker"), text});
        QVERIFY(station.waitForFinished(30'000));
        QCOMPARE(station.exitCode(), 2);
        QCOMPARE(QString::fromUtf8(station.readAllStandardError()),
                 QStringLiteral("corvane-station: --broker wants host[:port], not '%1'\n").arg(text));
    }

    // The replay's time as an engineer types it; the empty expectation is a refusal.
    void replayTime_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("expected");
        const QDateTime local(QDate(2026, 12, 9), QTime(3, 55), Qt::LocalTime);
        const QDateTime utc(QDate(2026, 12, 9), QTime(3, 55), Qt::UTC);
        QTest::newRow("local, blank between") << "2026-12-09 03:55:00" << local;
        QTest::newRow("local, no seconds") << "2026-12-09T03:55" << local;
        QTest::newRow("UTC") << "2026-12-09T03:55:00Z" << utc;
        QTest::newRow("an offset") << "2026-12-09 04:55:00+01:00" << utc;
        QTest::newRow("a date alone") << "2026-12-09" << QDateTime();
        QTest::newRow("a time alone") << "03:55:00" << QDateTime();
        QTest::newRow("month 13") << "2026-13-09 03:55:00" << QDateTime();
        QTest::newRow("trailing words") << "2026-12-09 03:55:00 please" << QDateTime();
    }
    void replayTime()
    {
        QFETCH(QString, text);
        QFETCH(QDateTime, expected);
        const auto parsed = parseReplayTime(text);
        QCOMPARE(parsed.has_value(), expected.isValid());
        if (parsed)
            QCOMPARE(parsed->toMSecsSinceEpoch(), expected.toMSecsSinceEpoch());
    }

    // "Replay from here" hands the pinned moment to the second process as text: it
    // comes back to the millisecond (a cursor pinned on a change must land on it).
    void replayFromHereKeepsTheMoment()
    {
        const qint64 t = 1'796'000'000'123;
        const QStringList args = history::replayArguments(QStringLiteral("/h.sqlite"), t);
        QCOMPARE(args.mid(2), (QStringList{QStringLiteral("--history"), QStringLiteral("/h.sqlite")}));
        QCOMPARE(args[0], QStringLiteral("--replay"));
        const auto back = parseReplayTime(args[1]);
        QVERIFY(back);
        QCOMPARE(back->toMSecsSinceEpoch(), t);
    }

    // A replay of a file that is not there ends at once, saying so, and writes nothing.
    void replayWithoutHistory()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("none.sqlite"));
        QProcess station;
        station.start(QStringLiteral(CORVANE_STATION),
                      {QStringLiteral("--replay"), QStringLiteral("2026-12-09 03:55:00"), QStringLiteral("--history"),
                       missing, QStringLiteral("--speed"), QStringLiteral("64")});
        QVERIFY(station.waitForFinished(30'000));
        QCOMPARE(station.exitCode(), 2);
        QCOMPARE(QString::fromUtf8(station.readAllStandardError()),
                 QStringLiteral("corvane-station: no history to replay at %1\n").arg(missing));
        QVERIFY(!QFile::exists(missing));
    }
};

CORVANE_TEST_MAIN(TestOptions)
#include "tst_options.moc"
