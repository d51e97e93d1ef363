// The map file: every bad row stops the gateway with its line, and the shipped map
// covers what the screens link, numbered by the rule its header gives.
#include "gateway/ItemMap.h"

#include "TestStation.h"

#include <QFile>

using namespace corvane;
using namespace corvane::gateway;

class tst_itemMap : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void errors_data()
    {
        QTest::addColumn<QString>("rows"); // after the header on line 3
        QTest::addColumn<QString>("error");
        QTest::newRow("unknown table") << "a,coils,1,bit,"
                                       << "m.csv:3: unknown table 'coils'";
        QTest::newRow("bit in a register") << "a,holding,1,bit,"
                                           << "m.csv:3: type bit is not allowed for table holding";
        QTest::newRow("u16 in a coil") << "a,coil,1,u16,"
                                       << "m.csv:3: type u16 is not allowed for table coil";
        QTest::newRow("address too big") << "a,coil,65536,bit,"
                                         << "m.csv:3: address '65536' is not 0-65535";
        QTest::newRow("address negative") << "a,coil,-1,bit,"
                                          << "m.csv:3: address '-1' is not 0-65535";
        QTest::newRow("address octal-looking text") << "a,coil,0x10,bit,"
                                                    << "m.csv:3: address '0x10' is not 0-65535";
        QTest::newRow("duplicate on a later line") << "a,coil,1,bit,\n# note\nb,coil,2,bit,\na,coil,3,bit,"
                                                   << "m.csv:6: duplicate item a";
        QTest::newRow("u32 at the end") << "a,holding,65535,u32,"
                                        << "m.csv:3: u32 at 65535 crosses the end of the address space";
        QTest::newRow("f32 just fits") << "a,holding,65534,f32,\nb,input,70000,u16,"
                                       << "m.csv:4: address '70000' is not 0-65535";
        QTest::newRow("bit16") << "a,holding,1,bit16,"
                               << "m.csv:3: unknown type 'bit16'";
        QTest::newRow("writing an input") << "a,input,1,u16,yes"
                                          << "m.csv:3: table input cannot be written";
        QTest::newRow("write is yes or empty") << "a,coil,1,bit,no"
                                               << "m.csv:3: write must be yes or empty, not 'no'";
        QTest::newRow("too few cells") << "a,coil,1,bit"
                                       << "m.csv:3: 4 cells, not 5";
        QTest::newRow("topic wildcard") << "a+,coil,1,bit,"
                                        << "m.csv:3: 'a+' cannot be an item";
        QTest::newRow("u16 inside a u32") << "a,holding,112,u32,\nb,holding,113,u16,"
                                          << "m.csv:4: u16 at 113 overlaps a of line 3";
        QTest::newRow("u32 over a u16 before it") << "a,holding,113,u16,\nb,holding,112,u32,"
                                                  << "m.csv:4: u32 at 112 overlaps a of line 3";
        QTest::newRow("u16 on a u32's first word") << "a,holding,112,u32,\nb,holding,112,u16,"
                                                   << "m.csv:4: u16 at 112 overlaps a of line 3";
        QTest::newRow("65 characters") << QString(65, u'x') + ",coil,1,bit,"
                                       << "m.csv:3: item of 65 characters, more than 64";
    }
    void errors()
    {
        QFETCH(QString, rows);
        QFETCH(QString, error);
        const QString text = QStringLiteral("# a map\r\nitem,table,address,type,write\r\n") + rows + u'\n';
        const auto map = parseItemMap(text, QStringLiteral("m.csv"));
        QVERIFY2(std::holds_alternative<QString>(map), "accepted");
        QCOMPARE(std::get<QString>(map), error);
    }

    // What a spreadsheet writes and what a register may legitimately share.
    void accepted()
    {
        const auto parsed = parseItemMap(QStringLiteral("# bit-writes: read-modify-write\n"
                                                        "item,table,address,type,write\n"
                                                        "\"c27\",coil,1047,bit,\n"
                                                        "v9:0,holding,9,bit0,yes\n"
                                                        "v9:2,holding,9,bit2,yes\n"
                                                        "v9:b,holding,9,u16,\n"
                                                        "v10:db,holding,10,u32,\n"
                                                        "v10:f,holding,10,f32,\n")
                                                 + QString(64, u'y') + QStringLiteral(",coil,1,bit,\n"),
                                         QStringLiteral("m.csv"));
        if (const QString *e = std::get_if<QString>(&parsed))
            QFAIL(qPrintable(*e));
        const ItemMap map = std::get<ItemMap>(parsed);
        QVERIFY(map.find(QStringLiteral("c27")));
        QCOMPARE(map.rows.size(), 7);
        QVERIFY(map.readModifyWriteBits);
        QVERIFY(!std::get<ItemMap>(parseItemMap(QStringLiteral("item,table,address,type,write\n"), {}))
                         .readModifyWriteBits);
    }

    void wordOrderOnlyFromTheHeader()
    {
        const auto high = parseItemMap(QStringLiteral("# words: high-first\nitem,table,address,type,write\n"), {});
        QVERIFY(std::get<ItemMap>(high).highWordFirst);
        const auto late = parseItemMap(QStringLiteral("item,table,address,type,write\n# words: high-first\n"), {});
        QVERIFY(!std::get<ItemMap>(late).highWordFirst);
    }

    // Every item a screen links has its row; the write column is yes exactly where a
    // screen links the item to write it; each row follows the numbering rule.
    void shippedMapCoversTheScreens()
    {
        const auto parsed = readItemMap(QStringLiteral(CORVANE_MAP));
        if (const QString *e = std::get_if<QString>(&parsed))
            QFAIL(qPrintable(*e));
        const ItemMap map = std::get<ItemMap>(parsed);

        test::TestStation t;
        for (const QString &form : t.screens().formNames()) {
            t.screens().load(form);
            t.settle();
        }
        QMap<QString, bool> linked; // item -> written
        for (const auto &op : t.server.operations()) {
            if (op.kind == InProcessServer::Operation::Open)
                linked[op.item] = linked.value(op.item) || op.mode == LinkMode::Manual;
        }
        QVERIFY(linked.size() > 200);
        // The data server's own items about its link; not in the PLC.
        linked.remove(QStringLiteral("Status"));
        linked.remove(QStringLiteral("Enable"));
        QStringList missing, wrongWrite;
        for (auto it = linked.cbegin(); it != linked.cend(); ++it) {
            const MapRow *row = map.find(it.key());
            if (!row)
                missing << it.key();
            else if (row->writable != it.value())
                wrongWrite << it.key();
        }
        QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("no row: ") + missing.join(u' ')));
        QVERIFY2(wrongWrite.isEmpty(), qPrintable(QStringLiteral("write column wrong: ") + wrongWrite.join(u' ')));

        static const QRegularExpression itemPattern(
                QStringLiteral("^([xyctvXYCTV])([0-7]+)(?::(b|db|1[0-5]|[0-9]))?$"));
        for (const MapRow &row : map.rows) {
            const auto m = itemPattern.match(row.item);
            QVERIFY2(m.hasMatch(), qPrintable(row.item));
            QVERIFY2(linked.contains(row.item), qPrintable(row.item + QStringLiteral(": no screen links it")));
            const QChar kind = m.captured(1).at(0).toLower();
            const int n = m.captured(2).toInt(nullptr, 8);
            const QString suffix = m.captured(3);
            QString expected;
            if (kind == u'x')
                expected = QStringLiteral("discrete %1 bit").arg(n);
            else if (kind == u't')
                expected = QStringLiteral("discrete %1 bit").arg(1024 + n);
            else if (kind == u'y')
                expected = QStringLiteral("coil %1 bit").arg(n);
            else if (kind == u'c')
                expected = QStringLiteral("coil %1 bit").arg(1024 + n);
            else
                expected = QStringLiteral("holding %1 %2")
                                   .arg(n)
                                   .arg(suffix == u"b"    ? QStringLiteral("u16")
                                        : suffix == u"db" ? QStringLiteral("u32")
                                                          : QStringLiteral("bit") + suffix);
            QCOMPARE(QStringLiteral("%1 %2 %3").arg(tableName(row.table)).arg(row.address).arg(typeName(row)),
                     expected);
        }
    }
};

CORVANE_TEST_MAIN(tst_itemMap)
#include "tst_itemMap.moc"
