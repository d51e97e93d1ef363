// The gateway's PLC link, in process and in real time, against a Modbus server of
// the tests' own (libmodbus) with the faults of real PLCs: exceptions, refused gaps,
// a short longest read, a bit the PLC changes between a read and a write, a burst of
// writes. Its thread is under ThreadSanitizer (label threads).
#include "TestPlc.h"

#include "gateway/PlcLink.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace corvane::gateway;
using namespace corvane::test;

namespace {

constexpr int kDeadline = 20'000;

ItemMap mapOf(const QString &text)
{
    const auto parsed = parseItemMap(text, QStringLiteral("t.csv"));
    if (const QString *e = std::get_if<QString>(&parsed))
        qFatal("%s", qPrintable(*e));
    return std::get<ItemMap>(parsed);
}

// A link on the test's PLC, with every scan and write kept.
struct Link
{
    Link(const ItemMap &itemMap, quint16 port, int periodMs = 50)
        : map(itemMap)
    {
        PlcSettings s;
        s.host = QStringLiteral("127.0.0.1");
        s.port = port;
        s.periodMs = periodMs;
        link = std::make_unique<PlcLink>(map, planScan(map), s);
        QObject::connect(link.get(), &PlcLink::scanned, [this](const ScanResult &r) {
            scans << r;
            scanTimes << clock.elapsed();
        });
        QObject::connect(link.get(), &PlcLink::written, [this](int row, const QString &error, const Reading &) {
            writes << (error.isEmpty() ? map.rows[row].item : map.rows[row].item + u' ' + error);
        });
        QObject::connect(link.get(), &PlcLink::outage, [this](const QString &why) { outages << why; });
        clock.start();
        link->start();
    }
    // The value of the item in the last scan that read it.
    QString value(const QString &item) const
    {
        const int row = int(map.find(item) - map.rows.constData());
        for (qsizetype i = scans.size() - 1; i >= 0; --i) {
            for (const Reading &r : scans[i].readings) {
                if (r.row == row)
                    return r.kind == Reading::Value ? r.text : QStringLiteral("<%1>").arg(r.text);
            }
        }
        return {};
    }
    bool write(const QString &item, const QString &text)
    {
        const MapRow *row = map.find(item);
        return link->write(int(row - map.rows.constData()), std::get<Encoded>(encodeWrite(*row, text, false)));
    }

    ItemMap map;
    std::unique_ptr<PlcLink> link;
    QList<ScanResult> scans;
    QList<qint64> scanTimes;
    QStringList writes;
    QStringList outages;
    QElapsedTimer clock;
};

const QString kRegisters = QStringLiteral("item,table,address,type,write\n"
                                          "a,holding,10,u16,yes\n"
                                          "b,holding,11,u16,\n"
                                          "c,holding,12,u16,\n"
                                          "flags:3,holding,13,bit3,yes\n"
                                          "d,holding,14,u16,\n"
                                          "k,coil,0,bit,\n");

} // namespace

class tst_plcLink : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Any exception fails that request alone: the connection stays, the next scan
    // reads it. A PLC answering busy once must not cost the car its connection.
    void exceptionFailsOneRequest_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("logged");
        QTest::newRow("04") << 4 << "exception 04 (server failure)";
        QTest::newRow("06") << 6 << "exception 06 (server busy)";
        QTest::newRow("0A") << 10 << "exception 0A (gateway path unavailable)";
        QTest::newRow("0B") << 11 << "exception 0B (gateway target failed to respond)";
    }
    void exceptionFailsOneRequest()
    {
        QFETCH(int, code);
        QFETCH(QString, logged);
        TestPlc plc;
        QVERIFY(plc.start());
        plc.setRegister(11, 7);
        Link l(mapOf(kRegisters), plc.port());
        QTRY_COMPARE_WITH_TIMEOUT(l.value("b"), QStringLiteral("7"), kDeadline);
        plc.setRegister(11, 8);
        plc.failReads(11, 11, code, 2);
        const auto failed = [&] {
            for (const ScanResult &s : l.scans) {
                if (!s.errors.isEmpty())
                    return s;
            }
            return ScanResult{};
        };
        QTRY_VERIFY_WITH_TIMEOUT(!failed().errors.isEmpty(), kDeadline);
        const ScanResult bad = failed();
        QCOMPARE(bad.errors, QStringList{logged});
        // Only that request failed: the coil was read in the same scan.
        const int k = int(l.map.find(QStringLiteral("k")) - l.map.rows.constData());
        QVERIFY(std::any_of(bad.readings.begin(), bad.readings.end(),
                            [&](const Reading &r) { return r.row == k && r.kind == Reading::Value; }));
        QTRY_COMPARE_WITH_TIMEOUT(l.value("b"), QStringLiteral("8"), kDeadline);
        QCOMPARE(plc.connections(), 1);
        QVERIFY(l.outages.isEmpty());
    }

    // A PLC that has only the mapped addresses: the plan's read-through of gaps is
    // split into runs once, and from then on a scan costs the runs, no more.
    void gapsRefused()
    {
        const ItemMap map = mapOf(QStringLiteral("item,table,address,type,write\n"
                                                 "a,holding,0,u16,\nb,holding,1,u32,\nc,holding,10,u16,\n"
                                                 "f0,holding,11,bit0,\nf2,holding,11,bit2,\nd,holding,50,u16,\n"
                                                 "k0,coil,0,bit,\nk1,coil,1,bit,\nk9,coil,9,bit,\n"));
        TestPlc plc;
        QVERIFY(plc.start());
        plc.onlyHave({0, 1, 2, 10, 11, 50}, {0, 1, 9});
        plc.setRegister(50, 42);
        plc.setRegister(11, 4);
        Link l(map, plc.port());
        QTRY_VERIFY_WITH_TIMEOUT(l.scans.size() >= 3, kDeadline);
        const ScanResult last = l.scans.last();
        // holding 0-2, 10-11, 50; coils 0-1, 9
        QCOMPARE(last.requests, 5);
        QCOMPARE(contiguousRuns(map), 5);
        QCOMPARE(l.value("d"), QStringLiteral("42"));
        QCOMPARE(l.value("f2"), QStringLiteral("1"));
        QCOMPARE(l.value("f0"), QStringLiteral("0"));
        for (const Reading &r : last.readings)
            QVERIFY2(r.kind == Reading::Value, qPrintable(r.text));
        QCOMPARE(plc.connections(), 1);
    }

    // A PLC that takes at most 3 registers a read answers longer ones with 03: the
    // request is halved until it fits, and the halves are kept.
    void longestRead()
    {
        TestPlc plc;
        QVERIFY(plc.start());
        plc.setLongestRead(3);
        for (int a = 10; a <= 14; ++a)
            plc.setRegister(a, quint16(100 + a));
        Link l(mapOf(kRegisters), plc.port());
        QTRY_VERIFY_WITH_TIMEOUT(l.scans.size() >= 3, kDeadline);
        QCOMPARE(l.value("a"), QStringLiteral("110"));
        QCOMPARE(l.value("d"), QStringLiteral("114"));
        // holding 10-11, 12-14 and the coil
        QCOMPARE(l.scans.last().requests, 3);
        QCOMPARE(plc.connections(), 1);
    }

    // The PLC sets bit 1 between a client's read and its write: a mask write (22)
    // keeps it; the read-modify-write a map may ask for loses it (what the README
    // warns of).
    void bitWrite_data()
    {
        QTest::addColumn<QString>("header");
        QTest::addColumn<QList<int>>("functions");
        QTest::addColumn<int>("expected");
        QTest::newRow("mask write") << "" << QList<int>{22} << 0b1010;
        QTest::newRow("read-modify-write") << "# bit-writes: read-modify-write\n" << QList<int>{6} << 0b1000;
    }
    void bitWrite()
    {
        QFETCH(QString, header);
        QFETCH(QList<int>, functions);
        QFETCH(int, expected);
        TestPlc plc;
        QVERIFY(plc.start());
        plc.setBitAfterRead(13, 1);
        Link l(mapOf(header + kRegisters), plc.port(), 10'000);
        QTRY_VERIFY_WITH_TIMEOUT(!l.scans.isEmpty(), kDeadline);
        QVERIFY(l.write(QStringLiteral("flags:3"), QStringLiteral("1")));
        QTRY_COMPARE_WITH_TIMEOUT(l.writes, QStringList{"flags:3"}, kDeadline);
        QCOMPARE(plc.writeFunctions(), functions);
        QCOMPARE(int(plc.holding(13)), expected);
    }

    // 1000 writes at once: all reach the PLC in order while the scans go on; one
    // more than 1000 waiting is refused.
    void writeBurst()
    {
        TestPlc plc;
        QVERIFY(plc.start());
        Link l(mapOf(kRegisters), plc.port(), 100);
        QTRY_VERIFY_WITH_TIMEOUT(!l.scans.isEmpty(), kDeadline);
        const qsizetype scansBefore = l.scans.size();
        const qint64 start = l.clock.elapsed();
        for (int v = 1; v <= 1000; ++v)
            QVERIFY(l.write(QStringLiteral("a"), QString::number(v)));
        QTRY_VERIFY_WITH_TIMEOUT(plc.writtenValues(10).size() == 1000, 60'000);
        QList<quint16> expected;
        for (int v = 1; v <= 1000; ++v)
            expected << quint16(v);
        QCOMPARE(plc.writtenValues(10), expected);
        QTRY_COMPARE_WITH_TIMEOUT(l.writes.size(), 1000, kDeadline);
        const qint64 end = l.clock.elapsed();
        // Scans went on through the burst: no gap near the live window (1 s).
        qint64 widest = 0, previous = start;
        for (qsizetype i = scansBefore; i < l.scans.size() && l.scanTimes[i] <= end; ++i) {
            widest = std::max(widest, l.scanTimes[i] - previous);
            previous = l.scanTimes[i];
        }
        widest = std::max(widest, end - previous);
        qInfo("1000 writes in %lld ms, widest gap between scans %lld ms", end - start, widest);
        QVERIFY2(widest < 1000, qPrintable(QString::number(widest)));

        // Slow answers keep them waiting: beyond 1000 waiting, writes are refused.
        plc.setDelayMs(50);
        int accepted = 0;
        for (int v = 0; v < 1100; ++v)
            accepted += l.write(QStringLiteral("a"), QStringLiteral("5")) ? 1 : 0;
        QVERIFY2(accepted >= 1000 && accepted < 1100, qPrintable(QString::number(accepted)));
        l.link->stop(); // what still waits goes with the link
    }
};

QTEST_GUILESS_MAIN(tst_plcLink)
#include "tst_plcLink.moc"
