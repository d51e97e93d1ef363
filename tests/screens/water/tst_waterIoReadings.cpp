// What the anti-freeze and air/vacuum screens show besides their points: the water
// temperature as delivered, the scaled vacuum reading, the drain timers row.
#include "TestStation.h"

using namespace corvane;
using namespace corvane::test;

namespace {
const QString kAntiFreeze = QStringLiteral("frmAntiFreezeIO");
const QString kAirVac = QStringLiteral("frmAirVacIO");
} // namespace

class TestWaterIoReadings : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void theWaterTemperatureIsShownCharacterForCharacter_data()
    {
        QTest::addColumn<QString>("value");
        for (const char *v : {"72", "45.50", "-3", " 68 ", "1e2", "0072", "n/a", "<b>99</b>", ""})
            QTest::newRow(v) << QString::fromLatin1(v);
    }
    void theWaterTemperatureIsShownCharacterForCharacter()
    {
        QFETCH(QString, value);
        TestStation t;
        t.screens().show(kAntiFreeze);
        QCOMPARE(t.captionOf(kAntiFreeze, "lblWaterTempv1415"), QStringLiteral("0"));
        t.server.setValue("v1415:b", value);
        t.advance(1000); // five ticks: the timer never touches it
        QCOMPARE(t.captionOf(kAntiFreeze, "lblWaterTempv1415"), value);
        auto *l = t.control<QLabel>(kAntiFreeze, "lblWaterTempv1415");
        QCOMPARE(l->textFormat(), Qt::PlainText);
        QVERIFY(l->isVisible());
    }

    void theVacuumIsTheValueOverTen_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("shown");
        QTest::newRow("0") << QStringList{"0"} << "0";
        QTest::newRow("5") << QStringList{"5"} << "0.5";
        QTest::newRow("215") << QStringList{"215"} << "21.5";
        QTest::newRow("200") << QStringList{"200"} << "20";
        QTest::newRow("3") << QStringList{"3"} << "0.3";
        QTest::newRow("-12") << QStringList{"-12"} << "-1.2";
        QTest::newRow("blanks") << QStringList{" 187 "} << "18.7";
        QTest::newRow("fraction") << QStringList{"123.45"} << "12.345";
        QTest::newRow("a word keeps the last reading") << QStringList{"190", "FAIL"} << "19";
    }
    void theVacuumIsTheValueOverTen()
    {
        QFETCH(QStringList, values);
        QFETCH(QString, shown);
        TestStation t;
        t.screens().show(kAirVac);
        t.advance(199);
        QCOMPARE(t.captionOf(kAirVac, "lblVacuum"), QStringLiteral("0")); // until the first tick
        for (const QString &v : values) {
            t.server.setValue("v1426:b", v);
            t.advance(200);
        }
        QCOMPARE(t.captionOf(kAirVac, "lblVacuum"), shown);
    }

    // The row stands as designed ("OFF" on button face) and y303 never drives it: its
    // link is declared but never opened, so the data server hears nothing of y303.
    void theDrainTimersRowStandsAsDesignedAndIsNeverDriven()
    {
        TestStation t;
        t.server.setValue("y303", "1");
        t.server.setValue("y317", "1");
        t.screens().show(kAirVac);
        t.advance(1000);
        QCOMPARE(t.captionOf(kAirVac, "Label9"), QStringLiteral("Air Compressor Drain Timers"));
        QCOMPARE(t.captionOf(kAirVac, "lblY303Status"), QStringLiteral("OFF"));
        QCOMPARE(t.colourOf(kAirVac, "lblY303Status"), Colours::buttonFace);
        QVERIFY(t.control(kAirVac, "lblY303Status")->isEnabled());
        QCOMPARE(t.captionOf(kAirVac, "lblY317Status"), QStringLiteral("ON"));
        QVERIFY(t.link(kAirVac, "lblY303") && !t.link(kAirVac, "lblY303")->isLinkOpen());
        QVERIFY(t.operations().filter(QStringLiteral(" y303")).isEmpty());
    }
};

CORVANE_TEST_MAIN(TestWaterIoReadings)
#include "tst_waterIoReadings.moc"
