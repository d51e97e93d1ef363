// Value coding both ways, written out by hand from the Modbus registers a PLC holds.
#include "gateway/ValueCoding.h"

#include <QtTest>

using namespace corvane::gateway;

Q_DECLARE_METATYPE(QList<quint16>)

namespace {

MapRow rowOf(const QString &type)
{
    const QString text = QStringLiteral("item,table,address,type,write\nv,holding,10,%1,yes\n").arg(type);
    const auto map = parseItemMap(text, QStringLiteral("t.csv"));
    if (const QString *e = std::get_if<QString>(&map))
        qFatal("%s", qPrintable(*e));
    return std::get<ItemMap>(map).rows.first();
}

} // namespace

class tst_valueCoding : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void decode_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QList<quint16>>("registers");
        QTest::addColumn<bool>("highFirst");
        QTest::addColumn<QString>("text"); // empty: no value (a read error)
        QTest::newRow("u16 top") << "u16" << QList<quint16>{0xFFFF} << false << "65535";
        QTest::newRow("s16 -1") << "s16" << QList<quint16>{0xFFFF} << false << "-1";
        QTest::newRow("s16 min") << "s16" << QList<quint16>{0x8000} << false << "-32768";
        QTest::newRow("bcd16") << "bcd16" << QList<quint16>{0x1234} << false << "1234";
        QTest::newRow("bcd16 bad nibble") << "bcd16" << QList<quint16>{0x12A4} << false << "";
        QTest::newRow("u32 low first") << "u32" << QList<quint16>{0x0000, 0x0001} << false << "65536";
        QTest::newRow("u32 high first") << "u32" << QList<quint16>{0x0001, 0x0000} << true << "65536";
        QTest::newRow("u32 setpoint") << "u32" << QList<quint16>{39322, 0} << false << "39322";
        QTest::newRow("s32 -2") << "s32" << QList<quint16>{0xFFFE, 0xFFFF} << false << "-2";
        QTest::newRow("bcd32") << "bcd32" << QList<quint16>{0x5678, 0x1234} << false << "12345678";
        QTest::newRow("bcd32 high first") << "bcd32" << QList<quint16>{0x1234, 0x5678} << true << "12345678";
        QTest::newRow("bcd32 bad high word") << "bcd32" << QList<quint16>{0x0000, 0x00F0} << false << "";
        QTest::newRow("f32 1.5") << "f32" << QList<quint16>{0x0000, 0x3FC0} << false << "1.5";
        // The shortest text that reads back as the PLC's float, not its double's digits.
        QTest::newRow("f32 0.1") << "f32" << QList<quint16>{0xCCCD, 0x3DCC} << false << "0.1";
        QTest::newRow("f32 21.7") << "f32" << QList<quint16>{0x999A, 0x41AD} << false << "21.7";
        QTest::newRow("f32 1e-7, no exponent") << "f32" << QList<quint16>{0xBF95, 0x33D6} << false << "0.0000001";
        QTest::newRow("f32 -2 high first") << "f32" << QList<quint16>{0xC000, 0x0000} << true << "-2";
        QTest::newRow("f32 NaN") << "f32" << QList<quint16>{0x0000, 0x7FC0} << false << "";
        QTest::newRow("bit3 set") << "bit3" << QList<quint16>{0x0008} << false << "1";
        QTest::newRow("bit3 clear among ones") << "bit3" << QList<quint16>{0xFFF7} << false << "0";
        QTest::newRow("bit15") << "bit15" << QList<quint16>{0x8000} << false << "1";
    }
    void decode()
    {
        QFETCH(QString, type);
        QFETCH(QList<quint16>, registers);
        QFETCH(bool, highFirst);
        QFETCH(QString, text);
        const auto got = registerText(rowOf(type), registers.constData(), highFirst);
        QCOMPARE(got.value_or(QString()), text);
    }

    void encode_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("highFirst");
        QTest::addColumn<QList<quint16>>("registers"); // for bit types: {0} or {1}
        QTest::addColumn<QString>("refusal");          // part of the reason; empty: accepted
        using L = QList<quint16>;
        QTest::newRow("setpoint rounds up") << "u32"
                                            << "39321.6" << false << L{39322, 0} << "";
        QTest::newRow("setpoint high first") << "u32"
                                             << "65536" << true << L{1, 0} << "";
        QTest::newRow("half away from zero") << "u16"
                                             << "2.5" << false << L{3} << "";
        QTest::newRow("negative half away") << "s16"
                                            << "-2.5" << false << L{0xFFFD} << "";
        QTest::newRow("u16 top after rounding") << "u16"
                                                << "65535.4" << false << L{65535} << "";
        QTest::newRow("u16 over after rounding") << "u16"
                                                 << "65535.5" << false << L{} << "out of range";
        QTest::newRow("u16 -0.4 is 0") << "u16"
                                       << "-0.4" << false << L{0} << "";
        QTest::newRow("u16 -0.5 is -1") << "u16"
                                        << "-0.5" << false << L{} << "out of range";
        QTest::newRow("s16 under") << "s16"
                                   << "-32769" << false << L{} << "out of range";
        QTest::newRow("s32 -2 high first") << "s32"
                                           << "-2" << true << L{0xFFFF, 0xFFFE} << "";
        QTest::newRow("bcd16") << "bcd16"
                               << "1234" << false << L{0x1234} << "";
        QTest::newRow("bcd16 five digits") << "bcd16"
                                           << "10000" << false << L{} << "out of range";
        QTest::newRow("bcd32") << "bcd32"
                               << "12345678" << false << L{0x5678, 0x1234} << "";
        QTest::newRow("f32") << "f32"
                             << "1.5" << false << L{0x0000, 0x3FC0} << "";
        QTest::newRow("f32 beyond float") << "f32"
                                          << "1e39" << false << L{} << "out of range";
        QTest::newRow("f32 below float") << "f32"
                                         << "1e-50" << false << L{} << "too small";
        QTest::newRow("bitN on") << "bit4"
                                 << "1" << false << L{1} << "";
        QTest::newRow("bitN 2") << "bit4"
                                << "2" << false << L{} << "0 or 1";
        QTest::newRow("bitN 0.5") << "bit4"
                                  << "0.5" << false << L{} << "0 or 1";
        QTest::newRow("words") << "u16"
                               << "on" << false << L{} << "not a number";
        QTest::newRow("empty") << "u16"
                               << "" << false << L{} << "not a number";
        QTest::newRow("trailing garbage") << "u16"
                                          << "12x" << false << L{} << "not a number";
    }
    void encode()
    {
        QFETCH(QString, type);
        QFETCH(QString, text);
        QFETCH(bool, highFirst);
        QFETCH(QList<quint16>, registers);
        QFETCH(QString, refusal);
        const auto got = encodeWrite(rowOf(type), text, highFirst);
        if (!refusal.isEmpty()) {
            const QString *reason = std::get_if<QString>(&got);
            QVERIFY2(reason, "accepted");
            QVERIFY2(reason->contains(refusal), qPrintable(*reason));
            return;
        }
        if (const QString *e = std::get_if<QString>(&got))
            QFAIL(qPrintable(*e));
        const Encoded e = std::get<Encoded>(got);
        if (type.startsWith(QLatin1String("bit")))
            QCOMPARE(QList<quint16>{quint16(e.bit)}, registers);
        else
            QCOMPARE(QList<quint16>(e.registers.begin(), e.registers.end()), registers);
    }
};

QTEST_GUILESS_MAIN(tst_valueCoding)
#include "tst_valueCoding.moc"
