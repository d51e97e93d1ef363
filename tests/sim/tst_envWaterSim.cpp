// The simulated environmental and water systems: what they drive must agree with itself
// (a running compressor has its condenser on, outputs follow their thermostats, the
// summary bits follow the faults and warnings), and the demo must show events that the
// screens' "Alarm Warning Reset" clears.
#include "TestStation.h"

#include "sim/SimulatedCar.h"

#include <QPushButton>

using namespace corvane;
using namespace corvane::test;

namespace {

struct Car
{
    TestStation t;
    sim::DemoCar demo{t.scheduler, t.server, 7};

    bool bit(const char *item) const { return t.server.value(QString::fromLatin1(item)) == QLatin1String("1"); }
    bool zero(const char *item) const { return t.server.value(QString::fromLatin1(item)) == QLatin1String("0"); }
    bool anyOf(std::initializer_list<const char *> ones, std::initializer_list<const char *> zeros = {}) const
    {
        for (const char *i : ones)
            if (bit(i))
                return true;
        for (const char *i : zeros)
            if (zero(i))
                return true;
        return false;
    }
    // Runs the car for ms, calling check after every step of the car.
    template<typename F>
    void run(qint64 ms, F check)
    {
        for (qint64 done = 0; done < ms; done += sim::SimulatedCar::kStepMs) {
            t.advance(sim::SimulatedCar::kStepMs);
            check();
        }
    }
};

// The station's reset button, as a screen writes it.
void pulse(TestStation &t, const char *form, const char *button)
{
    t.screens().show(QString::fromLatin1(form));
    t.control<QPushButton>(QString::fromLatin1(form), QString::fromLatin1(button))->click();
    t.advance(3000);
}

} // namespace

class TestEnvWaterSim : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void theEnvironmentalPointsAgreeAllCycleLong()
    {
        Car c;
        QSet<QString> seen;
        c.run(300'000, [&] {
            QCOMPARE(c.bit("x224"), c.bit("x220")); // a condenser runs with its compressor
            QCOMPARE(c.bit("x225"), c.bit("x221"));
            if (c.anyOf({"c204", "c203", "c200"}, {"x364"}))
                QVERIFY(!c.bit("x220"));
            if (c.anyOf({"c214", "c213", "c210"}, {"x374"}))
                QVERIFY(!c.bit("x221"));
            QCOMPARE(c.bit("y204"), c.bit("x400") || c.bit("x404")); // solenoids follow the stages
            QCOMPARE(c.bit("y200"), c.bit("x404"));
            QVERIFY(!(c.bit("x233") && c.bit("x237")));
            if (c.bit("y314"))
                QVERIFY(c.bit("x214") || c.bit("x211")); // a heat relay only on its thermostat's call
            QCOMPARE(c.bit("y311"), c.bit("x211"));
            for (auto [th, out] : {std::pair{"x212", "y234"}, {"x216", "y231"}, {"x415", "y230"}, {"x417", "y222"}})
                QCOMPARE(c.bit(out), c.bit(th));
            if (c.bit("C12"))
                QVERIFY(!c.anyOf({"x202", "x206", "x203"}));
            if (c.zero("x407"))
                QVERIFY(!c.bit("x403"));
            QCOMPARE(c.bit("c510"), c.anyOf({"c204", "c203", "c200", "c214", "c213", "c210", "c355", "c356", "c357"},
                                            {"x407", "x234", "x377"}));
            QCOMPARE(c.bit("c511"), c.anyOf({"c133", "x360", "c143", "x370", "C442", "C446", "C447", "C451", "C440",
                                             "C444", "C441", "C12"},
                                            {"x364", "x374"}));
            for (const char *i : {"c203", "x360", "c143", "C12", "C446", "c356", "c10", "y310", "y240", "x266"})
                if (c.bit(i))
                    seen << QString::fromLatin1(i);
            for (const char *i : {"x407", "x374", "c10"})
                if (c.zero(i))
                    seen << QStringLiteral("!") + QString::fromLatin1(i);
        });
        // Every event of the story happened, and both seasons.
        QCOMPARE(seen.size(), 13);
    }

    void theWaterPointsAgreeAllCycleLong()
    {
        Car c;
        QSet<QString> seen;
        c.run(300'000, [&] {
            const bool winter = c.zero("c10");
            for (const char *tape : {"y262", "y266", "y303", "y306", "y307", "y317"})
                QCOMPARE(c.bit(tape), winter); // winter mode turns the heat tapes on
            if (!c.bit("c366"))
                QCOMPARE(c.bit("y203"), c.bit("x460")); // heaters follow their thermostats
            else if (c.bit("y203"))
                QVERIFY(c.bit("x460"));
            QCOMPARE(c.bit("y261"), c.bit("x425"));
            QCOMPARE(c.bit("y265"), c.bit("x422"));
            QCOMPARE(c.bit("y213"), c.bit("x402"));
            if (!c.bit("c354"))
                QCOMPARE(c.bit("x222"), c.bit("y213"));
            if (c.zero("x465"))
                QVERIFY(c.bit("c300")); // a low tank is a latched warning
            QVERIFY(!(c.zero("x465") && c.bit("x461")));
            const auto vacuum = readValue(c.t.server.value(QStringLiteral("v1426:b")));
            QVERIFY(vacuum && *vacuum >= 100 && *vacuum <= 220 && *vacuum == std::floor(*vacuum));
            QCOMPARE(c.bit("c500"), c.anyOf({"t340", "t341", "t342", "t343", "t344", "c301", "c354"}));
            QCOMPARE(c.bit("c501"), c.anyOf({"c300", "c366", "c363"}));
            for (const char *i : {"c300", "c366", "c363", "c354", "t341", "t344", "c301", "y260", "y217", "y221"})
                if (c.bit(i))
                    seen << QString::fromLatin1(i);
        });
        QCOMPARE(seen.size(), 10);
    }

    void theResetClearsLatchedWarningsOnlyOnceTheirConditionHasGone()
    {
        Car c;
        c.t.advance(57'000); // the tank has drained below the low float
        QVERIFY(c.zero("x465"));
        QVERIFY(c.bit("c300") && c.bit("c501"));
        pulse(c.t, "frmWtrSystem", "cmdWtrSysRst");
        QVERIFY(c.bit("c300")); // still low: the reset cannot clear it
        c.t.advance(30'000);    // refilled
        QVERIFY(c.bit("x465"));
        QVERIFY(c.bit("c300"));
        pulse(c.t, "frmWtrSystem", "cmdWtrSysRst");
        QVERIFY(c.zero("c300"));
        QVERIFY(c.zero("c501"));
    }

    void theDemoShowsAnOvertempUntilTheOperatorResetsIt()
    {
        Car c;
        const QString env = QStringLiteral("frmEnvSystem");
        c.t.screens().load(env); // as the main screen loads it, hidden
        c.t.advance(190'000);    // past the A end overtemp
        QVERIFY(c.bit("C446"));
        QCOMPARE(c.t.captionOf(env, "lblC446Status"), QStringLiteral("TRIPPED"));
        const QStringList before = c.t.alarmLogLines().filter(QStringLiteral(" C446 "));
        QCOMPARE(before.size(), 2); // the first delivery's CLEAR, then the WARN
        QVERIFY(before.last().startsWith(QStringLiteral("WARN C446 ")));
        pulse(c.t, "frmEnvSystem", "cmdEnvIntRst");
        c.t.advance(200);
        QCOMPARE(c.t.captionOf(env, "lblC446Status"), QStringLiteral("OK"));
        const QStringList after = c.t.alarmLogLines().filter(QStringLiteral(" C446 "));
        QCOMPARE(after.size(), 3);
        QVERIFY(after.last().startsWith(QStringLiteral("CLEAR C446 ")));
        QCOMPARE(c.t.pokes("c512").size(), 2);
    }
};

CORVANE_TEST_MAIN(TestEnvWaterSim)
#include "tst_envWaterSim.moc"
