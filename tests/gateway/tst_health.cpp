// Whether the car's data is live, what $diagnostics says, and the gateway's log
// lines and reconnection waits: all on times the test chooses.
#include "gateway/Gateway.h"
#include "gateway/Health.h"

#include <QJsonArray>
#include <QtTest>

using namespace corvane::gateway;

namespace {

ItemMap mapOf(const QString &rows)
{
    const auto parsed = parseItemMap(QStringLiteral("item,table,address,type,write\n") + rows, QStringLiteral("t.csv"));
    return std::get<ItemMap>(parsed);
}

// Rows a (0), b (1), gone (2): one scan at `at` ms in which each row is as given
// ('v' value, 'f' failed, 'r' refused, 'x' bad value).
ScanResult scan(const QString &kinds, qint64 micros = 2000)
{
    ScanResult r;
    r.requests = 2;
    r.micros = micros;
    for (int i = 0; i < kinds.size(); ++i) {
        const char k = kinds.at(i).toLatin1();
        const Reading::Kind kind = k == 'v'   ? Reading::Value
                                   : k == 'f' ? Reading::Failed
                                   : k == 'r' ? Reading::Refused
                                              : Reading::BadValue;
        r.readings.append({i, kind, k == 'v' ? QStringLiteral("1") : QStringLiteral("why %1").arg(i)});
        if (k == 'f')
            r.errors << QStringLiteral("exception 06 (server busy)");
    }
    return r;
}

} // namespace

class tst_health : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Scans every 100 ms (window 1000 ms); the scans' kinds one letter a row, ';'
    // between scans; then how the data stands 100 ms after the last scan, and when
    // it goes stale without another scan.
    void liveRule_data()
    {
        QTest::addColumn<QString>("scans");
        QTest::addColumn<QString>("stale"); // what the reason names, empty: live
        QTest::addColumn<qint64>("staleAt");
        QTest::newRow("all read") << "vvv;vvv"
                                  << "" << qint64(1100);
        QTest::newRow("one busy answer delays a row") << "vvv;vfv;vvv"
                                                      << "" << qint64(1200);
        QTest::newRow("a refused row does not count") << "vvr;vvr"
                                                      << "" << qint64(1100);
        QTest::newRow("a bad value was still read") << "vvx"
                                                    << "" << qint64(1000);
        QTest::newRow("never read") << "vfv"
                                    << "b not read yet: why 1" << qint64(100);
        QTest::newRow("failing past the window") << "vvv;" + QStringList(11, QStringLiteral("vfv")).join(u';')
                                                 << "b not read for 1200 ms: why 1" << qint64(1000);
    }
    void liveRule()
    {
        QFETCH(QString, scans);
        QFETCH(QString, stale);
        QFETCH(qint64, staleAt);
        Health health(mapOf(QStringLiteral("a,coil,0,bit,\nb,coil,1,bit,\ngone,coil,2,bit,\n")), 100);
        qint64 t = 0;
        for (const QString &kinds : scans.split(u';')) {
            health.scanned(scan(kinds), t);
            t += 100;
        }
        const QString reason = health.staleReason(t);
        if (stale.isEmpty())
            QVERIFY2(reason.isEmpty(), qPrintable(reason));
        else
            QCOMPARE(reason, stale);
        if (stale.isEmpty() || !stale.contains(QLatin1String("yet"))) {
            QCOMPARE(health.staleAt(t), staleAt);
            QVERIFY(health.staleReason(staleAt).isEmpty());
            QVERIFY(!health.staleReason(staleAt + 1).isEmpty());
        }
    }

    // A PLC that takes 700 ms a scan is slow, not gone: three of its scans make the
    // window, for a minute after the slow scan.
    void windowGrowsWithTheScan()
    {
        Health health(mapOf(QStringLiteral("a,coil,0,bit,\n")), 100);
        health.scanned(scan(QStringLiteral("v"), 700'000), 0);
        QCOMPARE(health.liveWindowMs(0), 2100);
        QVERIFY(health.staleReason(2000).isEmpty());
        health.scanned(scan(QStringLiteral("v"), 1000), 59'000);
        QCOMPARE(health.liveWindowMs(59'000), 2100);
        QCOMPARE(health.liveWindowMs(60'001), 1000);
    }

    void diagnostics()
    {
        Health health(mapOf(QStringLiteral("a,coil,0,bit,\nb,coil,1,bit,\ngone,coil,2,bit,\n")), 100);
        health.scanned(scan(QStringLiteral("vvr"), 4000), 0);
        health.scanned(scan(QStringLiteral("vfr"), 1000), 100);
        health.scanned(scan(QStringLiteral("vvr"), 2000), 200);
        health.transportError();
        health.writeDone();
        health.writeRefused();
        const QJsonObject j = health.json(200);
        QCOMPARE(j["scan_ms"].toObject()["last"].toDouble(), 2.0);
        QCOMPARE(j["scan_ms"].toObject()["median"].toDouble(), 2.0);
        QCOMPARE(j["scan_ms"].toObject()["max"].toDouble(), 4.0);
        QCOMPARE(j["scans"].toInt(), 3);
        QCOMPARE(j["requests_per_scan"].toInt(), 2);
        QCOMPARE(j["read_errors"].toObject(), (QJsonObject{{"exception 06 (server busy)", 1}, {"transport", 1}}));
        // b read well again: only the row the PLC refuses is left.
        QCOMPARE(j["unreadable"].toArray(), (QJsonArray{QJsonObject{{"item", "gone"}, {"reason", "why 2"}}}));
        QCOMPARE(j["writes"].toObject()["done"].toInt(), 1);
        QCOMPARE(j["writes"].toObject()["refused"].toInt(), 1);
        // A minute later the old scans are out of the figures.
        health.scanned(scan(QStringLiteral("vvr"), 3000), 60'150);
        QCOMPARE(health.json(60'150)["scan_ms"].toObject()["max"].toDouble(), 3.0);
    }

    void reconnectionWaits()
    {
        Backoff backoff(250, 3000);
        QList<int> waits;
        for (int i = 0; i < 7; ++i)
            waits << backoff.next();
        QCOMPARE(waits, (QList<int>{250, 500, 1000, 2000, 3000, 3000, 3000}));
        backoff.reset();
        QCOMPARE(backoff.next(), 250);
    }

    // A /set payload or item from any station goes into the journal: it must stay one
    // line whatever it holds.
    void quotedIsOneLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("logged");
        QTest::newRow("newline forging a line") << "1\nwrite refused: \"c22\""
                                                << "\"1?write refused: \"c22\"\"";
        QTest::newRow("carriage return") << "1\r0"
                                         << "\"1?0\"";
        QTest::newRow("unicode line separator") << QStringLiteral("a\u2028b") << "\"a?b\"";
        QTest::newRow("cut at 64") << QString(70, u'7') << u'"' + QString(64, u'7') + "...\"";
    }
    void quotedIsOneLine()
    {
        QFETCH(QString, text);
        QFETCH(QString, logged);
        QCOMPARE(quoted(text), logged);
    }
};

QTEST_GUILESS_MAIN(tst_health)
#include "tst_health.moc"
