#include "TestStation.h"

#include "sim/SimulatedCar.h"

#include <QLineEdit>
#include <QPushButton>

using namespace corvane;
using namespace corvane::test;

namespace {

const QString kA = QStringLiteral("frmBlowASpeeds");

// The simulated car behind the station, with the A end speed screen open.
struct Car
{
    Car()
    {
        t.screens().show(kA);
        t.advance(300);
    }
    void write(const QString &key, const QString &part, const QString &percent)
    {
        auto *e = t.control<QLineEdit>(kA, "txt" + key + part);
        e->selectAll();
        QTest::keyClicks(e, percent);
        t.control<QPushButton>(kA, "cmdWrt" + part)->click();
        t.settle();
    }
    double percent(const QString &item) const { return readValue(t.server.value(item)).value_or(-1) / 655.36; }
    TestStation t;
    sim::DemoCar demo{t.scheduler, t.server, 5};
};

const std::pair<const char *, const char *> kARows[]
        = {{"AEndNo", "DV10200"}, {"AEndHeat", "DV10202"}, {"AEnd1Cool", "DV10204"}, {"AEnd2Cool", "DV10206"}};

} // namespace

class TestBlowerSim : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void aWrittenSetpointIsStoredAndShownBack()
    {
        Car car;
        car.write("AEndNo", "DV10200", "60");
        QCOMPARE(car.t.pokes("v10200:db"), QStringList({"39321.6@300"}));
        QCOMPARE(car.t.server.value("v10200:db"), QStringLiteral("39322")); // the register holds whole units
        QCOMPARE(car.t.captionOf(kA, "lblAEndNoDV10200Status"), QStringLiteral("60.0006103515625"));

        // A text that is no number leaves the register as it was.
        car.t.link(kA, "txtAEndNoWrtDV10200")->write("junk");
        car.t.settle();
        QCOMPARE(car.t.server.value("v10200:db"), QStringLiteral("39322"));
        QCOMPARE(car.t.captionOf(kA, "lblAEndNoDV10200Status"), QStringLiteral("60.0006103515625"));
    }

    // Whatever the unit's mode, its measured speed ramps to the setpoint, at no more
    // than 10 % a second, and then stays within 0.3 % of it.
    void theActualSpeedRampsToTheModesSetpoint()
    {
        Car car;
        const double start = car.percent("v7024:db");
        QVERIFY(start >= 45 && start <= 100);
        for (const auto &[key, part] : kARows)
            car.write(key, part, "100");
        double last = car.percent("v7024:db");
        for (int i = 0; i < 10; ++i) { // one second
            car.t.advance(100);
            const double now = car.percent("v7024:db");
            QVERIFY2(now - last <= 1.0 + 0.6 + 1e-9, qPrintable(QString::number(now - last)));
            last = now;
        }
        QVERIFY(last < start + 11);
        car.t.advance(6000);
        QVERIFY(car.percent("v7024:db") >= 99.6);
        for (const auto &[key, part] : kARows)
            car.write(key, part, "45");
        car.t.advance(8000);
        QVERIFY(qAbs(car.percent("v7024:db") - 45) <= 0.31);
        QCOMPARE(car.t.captionOf(kA, "lblAEndActDV7024Status"),
                 numberText(readValue(car.t.server.value("v7024:db")).value() / 655.36));
    }

    void eachUnitHasItsOwnActualSpeed()
    {
        Car car;
        car.t.advance(1000);
        for (const char *item : {"v7024:db", "v7030:db", "v7026:db"})
            QVERIFY2(car.percent(QString::fromLatin1(item)) >= 45, item);
    }
};

CORVANE_TEST_MAIN(TestBlowerSim)
#include "tst_BlowerSim.moc"
