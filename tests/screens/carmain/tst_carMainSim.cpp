#include "TestStation.h"

#include "sim/SimulatedCar.h"

#include <QSet>

using namespace corvane;
using namespace corvane::test;

namespace {

// The PLC image as a plain table that remembers every change.
class RecordingPlc final : public sim::PlcImage
{
public:
    void set(const QString &item, const QString &value) override
    {
        values.insert(item, value);
        written.insert(item);
        changes << Change{*now, item, value};
    }
    QString get(const QString &item) const override { return values.value(item); }

    struct Change
    {
        qint64 ms;
        QString item;
        QString value;
    };
    const qint64 *now = nullptr;
    QHash<QString, QString> values;
    QSet<QString> written;
    QList<Change> changes;
};

// The car-main part of the simulated car on its own, stepped by hand.
struct Car
{
    explicit Car(quint32 seed = 1)
        : rng(seed)
    {
        plc.now = &ctx.nowMs;
        module = sim::makeCarMainSim(ctx);
        module->start();
    }
    void run(qint64 ms)
    {
        for (qint64 end = ctx.nowMs + ms; ctx.nowMs < end;) {
            ctx.nowMs += sim::SimulatedCar::kStepMs;
            module->step();
        }
    }
    double number(const char *item) const
    {
        return readValue(plc.values.value(QString::fromLatin1(item))).value_or(-1);
    }
    QString value(const char *item) const { return plc.values.value(QString::fromLatin1(item)); }
    QString backfeed() const
    {
        QString s;
        for (const char *item : {"y255", "x251", "x252", "x255", "x256", "x253", "y253"})
            s += value(item);
        return s;
    }

    RecordingPlc plc;
    std::mt19937 rng;
    sim::SimContext ctx{plc, rng, 0};
    std::unique_ptr<sim::SimModule> module;
};

const QStringList kGauges
        = {"v10020:b", "v1002:db", "v1000:db", "v1416:b", "v1415:b", "v1422:b", "v1412:b", "v1413:b", "v1414:b"};

} // namespace

class TestCarMainSim : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void startsHealthyAndWritesOnlyItsOwnItems()
    {
        Car car;
        QCOMPARE(car.value("c27"), QStringLiteral("0"));
        QCOMPARE(car.value("x200"), QStringLiteral("1"));
        QCOMPARE(car.value("x226"), QStringLiteral("1"));
        QCOMPARE(car.value("c302"), QStringLiteral("0"));
        QCOMPARE(car.backfeed(), QStringLiteral("0000000"));
        for (const QString &g : kGauges)
            QVERIFY2(readValue(car.plc.values.value(g)).has_value(), qPrintable(g));

        car.run(3 * 3600 * 1000);
        QSet<QString> own(kGauges.begin(), kGauges.end());
        own += QSet<QString>{"x227", "c27",  "x200", "x226", "c302", "y253",
                             "y255", "x251", "x252", "x255", "x253", "x256"};
        QCOMPARE(car.plc.written, own); // never c500-c511 nor c750/c751, nor c22
    }

    void aLongRunHasEveryEventWithItsClearAndPlausibleValues_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::newRow("seed 1") << 1u;
        QTest::newRow("seed 7") << 7u;
        QTest::newRow("seed 42") << 42u;
    }
    void aLongRunHasEveryEventWithItsClearAndPlausibleValues()
    {
        QFETCH(quint32, seed);
        Car car(seed);
        car.run(3 * 3600 * 1000);

        QHash<QString, QString> transitions; // item -> its values in order, repeats folded
        QStringList backfeedStates;
        QHash<QString, QString> now;
        QHash<QString, double> low, high, last;
        for (const auto &c : car.plc.changes) {
            QString &seq = transitions[c.item];
            if (!seq.endsWith(c.value))
                seq += c.value;
            now[c.item] = c.value;
            const double v = readValue(c.value).value_or(-1);
            low[c.item] = low.contains(c.item) ? qMin(low[c.item], v) : v;
            high[c.item] = high.contains(c.item) ? qMax(high[c.item], v) : v;
            if (c.item.endsWith(u":db") && last.contains(c.item))
                QVERIFY2(v >= last[c.item], "an odometer went back");
            last[c.item] = v;
            if (c.item == u"c27" && c.value == u"1")
                QVERIFY(now.value("x227") == u"0" && readValue(now.value("v10020:b")).value_or(0) > 0);
        }
        for (const auto &[item, pattern] : {std::pair{"c27", "010"}, std::pair{"x200", "101"}, std::pair{"x226", "101"},
                                            std::pair{"c302", "010"}, std::pair{"x227", "010"}})
            QVERIFY2(transitions.value(item).contains(pattern), item);

        QVERIFY(high["v10020:b"] >= 35 && low["v10020:b"] == 0);
        QVERIFY(high["v10020:b"] < 90);
        QVERIFY(high["v1002:db"] > low["v1002:db"]);
        QVERIFY(high["v1000:db"] > low["v1000:db"]);
        QVERIFY(low["v1416:b"] < high["v1416:b"] && low["v1416:b"] >= 0 && high["v1416:b"] <= 200);
        QVERIFY(low["v1422:b"] < kFuelLowLimit && high["v1422:b"] > kFuelLowLimit);
        QVERIFY(low["v1413:b"] >= 60 && high["v1413:b"] <= 95 && low["v1413:b"] < 85);
        QVERIFY(low["v1414:b"] >= 0 && high["v1414:b"] <= 60 && high["v1414:b"] > 20);
        QVERIFY(low["v1415:b"] >= 100 && high["v1415:b"] <= 140);
        QVERIFY(low["v1412:b"] >= 20 && high["v1412:b"] <= 90);
    }

    void theBackfeedGoesThroughItsSevenStepsInOrder()
    {
        Car car;
        QStringList states;
        for (int i = 0; i < 3 * 36000; ++i) {
            car.run(100);
            if (states.isEmpty() || states.last() != car.backfeed())
                states << car.backfeed();
        }
        const QStringList cycle
                = {"0000000", "1000000", "1100000", "1110000", "1111000", "1111100", "0111110", "0000001"};
        QVERIFY(states.size() > 2 * cycle.size());
        for (int i = 0; i < states.size(); ++i)
            QCOMPARE(states.at(i), cycle.at(i % cycle.size()));
    }

    void aStopRequestEndsARunningSequence()
    {
        Car car;
        while (car.value("x252") != u"1")
            car.run(100);
        car.plc.set(QStringLiteral("c22"), QStringLiteral("1"));
        car.module->write(QStringLiteral("c22"), QStringLiteral("1"));
        QCOMPARE(car.backfeed(), QStringLiteral("0000001")); // backfeed off at once
        car.run(10'000);
        QCOMPARE(car.backfeed(), QStringLiteral("0000000"));
        car.module->write(QStringLiteral("c22"), QStringLiteral("1")); // idle: nothing to stop
        QCOMPARE(car.backfeed(), QStringLiteral("0000000"));
    }

    void theDemoFeedsTheMainScreenAndTheAlarmLog()
    {
        TestStation t;
        sim::DemoCar demo(t.scheduler, t.server, 7);
        t.screens().show(QStringLiteral("frmCVCarmain"));
        QStringList speeds;
        for (int minute = 0; minute < 30; ++minute) {
            t.advance(60'000);
            speeds << t.captionOf(QStringLiteral("frmCVCarmain"), QStringLiteral("lblMPHV10020"));
        }
        speeds.removeDuplicates();
        QVERIFY(speeds.size() > 5); // it moves
        QVERIFY(t.alarmLogLines().size() > 10);
        QCOMPARE(t.alarmListLines(), t.alarmLogLines());
        QVERIFY(t.alarmLogLines().filter(QStringLiteral("FAULT")).size() >= 3);
    }

private:
    static constexpr double kFuelLowLimit = 100;
};

CORVANE_TEST_MAIN(TestCarMainSim)
#include "tst_carMainSim.moc"
