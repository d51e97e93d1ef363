// The scan plan: fewest requests within the protocol's limits, no network needed.
#include "gateway/ScanPlan.h"

#include <QtTest>

using namespace corvane::gateway;

class tst_scanPlan : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void requests_data()
    {
        QTest::addColumn<QString>("rows"); // "table address type" separated by ';'
        QTest::addColumn<QString>("plan"); // "table first-last/rows" separated by ' | '
        QTest::newRow("gap read through") << "holding 0 u16; holding 124 u16"
                                          << "holding 0-124/2";
        QTest::newRow("126 registers are two") << "holding 0 u16; holding 125 u16"
                                               << "holding 0-0/1 | holding 125-125/1";
        QTest::newRow("u32 ending at the limit") << "holding 0 u16; holding 123 u32"
                                                 << "holding 0-124/2";
        QTest::newRow("u32 past the limit") << "holding 0 u16; holding 124 u32"
                                            << "holding 0-0/1 | holding 124-125/1";
        QTest::newRow("2000 coils are one") << "coil 0 bit; coil 1999 bit"
                                            << "coil 0-1999/2";
        QTest::newRow("2001 coils are two") << "coil 0 bit; coil 2000 bit"
                                            << "coil 0-0/1 | coil 2000-2000/1";
        QTest::newRow("tables apart") << "coil 7 bit; discrete 7 bit; input 7 u16; holding 7 u16"
                                      << "coil 7-7/1 | discrete 7-7/1 | holding 7-7/1 | input 7-7/1";
        QTest::newRow("two spellings, one read") << "coil 300 bit; coil 300 bit"
                                                 << "coil 300-300/2";
        QTest::newRow("out of order") << "holding 200 u16; holding 5 u16; holding 100 u16"
                                      << "holding 5-100/2 | holding 200-200/1";
        QTest::newRow("bits of one register") << "holding 9 bit0; holding 9 bit2; holding 10 f32"
                                              << "holding 9-11/3";
    }
    void requests()
    {
        QFETCH(QString, rows);
        QFETCH(QString, plan);
        QCOMPARE(text(planScan(mapOf(rows))), plan);
    }

    // A request the PLC refuses: its runs when it reads through gaps, else halves.
    void splits_data()
    {
        QTest::addColumn<QString>("rows");  // all in one planned request
        QTest::addColumn<QString>("split"); // empty: cannot be split
        QTest::newRow("gaps: runs") << "holding 0 u16; holding 1 u32; holding 10 u16; holding 11 u16; holding 50 u16"
                                    << "holding 0-2/2 | holding 10-11/2 | holding 50-50/1";
        QTest::newRow("coils with a gap") << "coil 0 bit; coil 1 bit; coil 3 bit"
                                          << "coil 0-1/2 | coil 3-3/1";
        QTest::newRow("one run: halves") << "holding 0 u16; holding 1 u16; holding 2 u16; holding 3 u16"
                                         << "holding 0-1/2 | holding 2-3/2";
        QTest::newRow("a register's bits stay together")
                << "holding 0 bit0; holding 0 bit1; holding 0 bit2; holding 1 u16"
                << "holding 0-0/3 | holding 1-1/1";
        QTest::newRow("one register") << "holding 5 bit0; holding 5 bit3"
                                      << "";
    }
    void splits()
    {
        QFETCH(QString, rows);
        QFETCH(QString, split);
        const ItemMap map = mapOf(rows);
        const QList<ScanRequest> plan = planScan(map);
        QCOMPARE(plan.size(), 1);
        QCOMPARE(text(splitRequest(map, plan.first())), split);
    }

    // What a PLC that refuses every gap costs, and a PLC's shorter limit.
    void runsAndLimits()
    {
        const ItemMap map = mapOf(QStringLiteral("holding 0 u16; holding 1 u16; holding 2 u16; holding 10 u16; "
                                                 "coil 0 bit; coil 1 bit; coil 2 bit; coil 5 bit"));
        QCOMPARE(contiguousRuns(map), 4);
        const ReadLimits two{2, 2};
        QCOMPARE(contiguousRuns(map, two), 6);
        QCOMPARE(text(planScan(map, two)),
                 QStringLiteral(
                         "coil 0-1/2 | coil 2-2/1 | coil 5-5/1 | holding 0-1/2 | holding 2-2/1 | holding 10-10/1"));
    }

private:
    static ItemMap mapOf(const QString &rows)
    {
        QString text = QStringLiteral("item,table,address,type,write\n");
        int n = 0;
        for (const QString &row : rows.split(u';')) {
            const QStringList f = row.trimmed().split(u' ');
            text += QStringLiteral("i%1,%2,%3,%4,\n").arg(n++).arg(f[0], f[1], f[2]);
        }
        const auto map = parseItemMap(text, QStringLiteral("t.csv"));
        if (const QString *e = std::get_if<QString>(&map))
            qFatal("%s", qPrintable(*e));
        return std::get<ItemMap>(map);
    }
    static QString text(const QList<ScanRequest> &plan)
    {
        QStringList got;
        for (const ScanRequest &r : plan)
            got << QStringLiteral("%1 %2-%3/%4")
                            .arg(tableName(r.table))
                            .arg(r.start)
                            .arg(r.start + r.count - 1)
                            .arg(r.rows.size());
        return got.join(QLatin1String(" | "));
    }
};

QTEST_GUILESS_MAIN(tst_scanPlan)
#include "tst_scanPlan.moc"
