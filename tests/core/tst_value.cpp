#include "TestStation.h"

#include "core/link/Value.h"

#include <limits>

using namespace corvane;

class TestValue : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void reading_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isNumber");
        QTest::addColumn<double>("number");
        QTest::addColumn<bool>("isZero");
        QTest::addColumn<bool>("isOne");
        QTest::newRow("one") << "1" << true << 1.0 << false << true;
        QTest::newRow("zero") << "0" << true << 0.0 << true << false;
        QTest::newRow("blanks around one") << " 1 " << true << 1.0 << false << true;
        QTest::newRow("tab and blanks") << "\t 0  " << true << 0.0 << true << false;
        QTest::newRow("two matches neither") << "2" << true << 2.0 << false << false;
        QTest::newRow("one point zero is one") << "1.0" << true << 1.0 << false << true;
        QTest::newRow("minus zero is zero") << "-0" << true << 0.0 << true << false;
        QTest::newRow("plus one") << "+1" << true << 1.0 << false << true;
        QTest::newRow("fraction") << "0.5" << true << 0.5 << false << false;
        QTest::newRow("leading point") << ".5" << true << 0.5 << false << false;
        QTest::newRow("exponent") << "1e2" << true << 100.0 << false << false;
        QTest::newRow("negative") << "-12.25" << true << -12.25 << false << false;
        QTest::newRow("empty") << "" << false << 0.0 << false << false;
        QTest::newRow("only blanks") << "   " << false << 0.0 << false << false;
        QTest::newRow("word") << "abc" << false << 0.0 << false << false;
        QTest::newRow("trailing garbage") << "1abc" << false << 0.0 << false << false;
        QTest::newRow("inner blank") << "1 0" << false << 0.0 << false << false;
        QTest::newRow("comma decimal") << "1,0" << false << 0.0 << false << false;
        QTest::newRow("nan") << "nan" << false << 0.0 << false << false;
        QTest::newRow("inf") << "inf" << false << 0.0 << false << false;
        QTest::newRow("overflow") << "1e400" << false << 0.0 << false << false;
        QTest::newRow("hex") << "0x1" << false << 0.0 << false << false;
        QTest::newRow("lone sign") << "-" << false << 0.0 << false << false;
        QTest::newRow("lone point") << "." << false << 0.0 << false << false;
        QTest::newRow("dangling exponent") << "1e" << false << 0.0 << false << false;
        QTest::newRow("newline after") << "1\n" << false << 0.0 << false << false;
        QTest::newRow("full-width digit") << QString(QChar(0xFF11)) << false << 0.0 << false << false;
        QTest::newRow("nul inside") << QString::fromUtf8("1\0", 2) << false << 0.0 << false << false;
    }
    void reading()
    {
        QFETCH(QString, text);
        QFETCH(bool, isNumber);
        QFETCH(double, number);
        QFETCH(bool, isZero);
        QFETCH(bool, isOne);
        const auto v = readValue(text);
        QCOMPARE(v.has_value(), isNumber);
        if (isNumber)
            QCOMPARE(*v, number);
        QCOMPARE(readsAs(text, 0), isZero);
        QCOMPARE(readsAs(text, 1), isOne);
    }

    void hugeTextIsNoNumber()
    {
        QVERIFY(!readValue(QString(1 << 20, u'1')));
        QVERIFY(!readsAs(QString(1 << 20, u'0') + u'1', 1));
    }

    void numberText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("full speed") << 65536 / 655.36 << "100";
        QTest::newRow("sixty and a bit") << 39322 / 655.36 << "60.0006103515625";
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("minus zero") << -0.0 << "0";
        QTest::newRow("sixty percent written") << 60 * 655.36 << "39321.6";
        QTest::newRow("forty-five") << 45 * 655.36 << "29491.2";
        QTest::newRow("forty-five and a half") << 45.5 * 655.36 << "29818.88";
        QTest::newRow("hundred written") << 100 * 655.36 << "65536";
        QTest::newRow("vacuum") << 215 / 10.0 << "21.5";
        QTest::newRow("vacuum whole") << 200 / 10.0 << "20";
        QTest::newRow("half") << 5 / 10.0 << "0.5";
        QTest::newRow("small without exponent") << 0.00001 << "0.00001";
        QTest::newRow("large without exponent") << 1e20 << "100000000000000000000";
        QTest::newRow("negative") << -2.5 << "-2.5";
        QTest::newRow("third") << 1.0 / 3 << "0.333333333333333";
        QTest::newRow("rounds at 15 digits") << 0.1 + 0.2 << "0.3";
        // Rounded up, the largest doubles would pass the largest and read as no number.
        QTest::newRow("largest double") << std::numeric_limits<double>::max()
                                        << QStringLiteral("179769313486231") + QString(294, u'0');
        QTest::newRow("largest negative double")
                << -std::numeric_limits<double>::max() << QStringLiteral("-179769313486231") + QString(294, u'0');
        QTest::newRow("just below the cut")
                << 1.79769313486231e308 << QStringLiteral("179769313486231") + QString(294, u'0');
        QTest::newRow("smallest double") << std::numeric_limits<double>::denorm_min()
                                         << QStringLiteral("0.") + QString(323, u'0')
                                                    + QStringLiteral("494065645841247");
    }
    void numberText()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(corvane::numberText(value), text);
        // What the station writes, it reads again as a number.
        QVERIFY(readValue(text).has_value());
    }
};

CORVANE_TEST_MAIN(TestValue)
#include "tst_value.moc"
