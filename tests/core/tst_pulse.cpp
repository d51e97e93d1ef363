#include "TestStation.h"

#include "core/time/Pulse.h"
#include "core/time/Timer.h"

#include <QPushButton>

using namespace corvane;
using namespace corvane::test;

namespace {

// A screen with one command pulse on c22, like the backfeed stop.
class PulseScreen : public Screen
{
public:
    PulseScreen(Station &station, int intervalMs, bool runningAtLoad)
        : Screen(station, QStringLiteral("pulser"), QStringLiteral("Pulser"))
        , m_interval(intervalMs)
        , m_runningAtLoad(runningAtLoad)
    {
    }
    Pulse *pulse = nullptr;

protected:
    void build(QWidget *form) override
    {
        m_link = addLink(QStringLiteral("lblC22"), QStringLiteral("c22"), QStringLiteral("0"), LinkMode::Manual);
        Timer *t = addTimer(QStringLiteral("tmrStop"), m_interval, m_runningAtLoad);
        pulse = new Pulse(t, m_link, form);
        auto *b = makeButton(form, QStringLiteral("cmdStop"), QStringLiteral("Stop"));
        QObject::connect(b, &QPushButton::clicked, pulse, &Pulse::click);
    }
    void released() override
    {
        pulse = nullptr;
        m_link = nullptr;
    }

private:
    Link *m_link = nullptr;
    int m_interval;
    bool m_runningAtLoad;
};

struct Fixture
{
    explicit Fixture(int interval = 3000, bool runningAtLoad = false)
    {
        screen = static_cast<PulseScreen *>(
                t.screens().add(std::make_unique<PulseScreen>(*t.station, interval, runningAtLoad)));
        screen->show();
    }
    void click() { screen->control<QPushButton>(QStringLiteral("cmdStop"))->click(); }
    TestStation t{false};
    PulseScreen *screen;
};

} // namespace

class TestPulse : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void onePulseOfTheTimersLength()
    {
        Fixture f;
        f.t.advance(500);
        f.click();
        f.t.advance(5000);
        QCOMPARE(f.t.pokes("c22"), QStringList({"1@500", "0@3500"}));
    }

    void aSecondClickDuringThePulseWritesNothingAndDoesNotStretchIt()
    {
        Fixture f;
        f.click();
        f.t.advance(1000);
        f.click();
        f.t.advance(5000);
        QCOMPARE(f.t.pokes("c22"), QStringList({"1@0", "0@3000"}));
        f.click(); // idle again: a new pulse
        f.t.advance(3000);
        QCOMPARE(f.t.pokes("c22"), QStringList({"1@0", "0@3000", "1@6000", "0@9000"}));
    }

    void unloadWithinThePulseStillEndsItOnTime()
    {
        Fixture f;
        f.click();
        f.t.advance(1000);
        f.screen->unload();
        f.t.server.clearOperations();
        f.t.advance(5000);
        // Its own short-lived manual link: open, the "0", close, at 3 s.
        QCOMPARE(f.t.operations(), QStringList({"open c22 manual@3000", "poke c22 0@3000", "close c22@3000"}));
        QCOMPARE(f.t.server.value(QStringLiteral("c22")), QStringLiteral("0"));
    }

    void reloadBeforeThePendingZeroTakesThePulseBack()
    {
        Fixture f;
        f.click();
        f.t.advance(1000);
        f.screen->unload();
        f.t.advance(500);
        f.screen->show();
        f.click(); // the reloaded screen knows its pulse runs: no second "1"
        f.t.advance(5000);
        QCOMPARE(f.t.pokes("c22"), QStringList({"1@0", "0@3000"}));
        QCOMPARE(f.t.station->pulses().pendingCount(), 0);
    }

    void aTimerRunningFromLoadKeepsItsOwnWrite()
    {
        Fixture f(200, true); // writes "0" 200 ms after every load
        f.t.advance(300);
        f.click();
        f.t.advance(100);
        f.screen->unload();
        f.t.advance(50);
        f.screen->show();
        f.t.advance(1000);
        QCOMPARE(f.t.pokes("c22"), QStringList({"0@200", "1@300", "0@500", "0@650"}));
    }

    void aCleanExitWritesThePendingZeros()
    {
        Fixture f;
        f.click();
        f.t.advance(1000);
        f.t.station->shutDown();
        QCOMPARE(f.t.pokes("c22"), QStringList({"1@0", "0@1000"}));
        f.t.advance(5000);
        QCOMPARE(f.t.pokes("c22").size(), 2);
    }

    // A pulse's "0" that could not go out is owed until the link is back; a "1" never is.
    // Steps: "click", "down", "up", "unload", "late failure of 0", each at its time.
    void aZeroThatCouldNotBeWrittenGoesOutOnceTheLinkIsBack_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("due while down") << QStringList{"click@0", "down@1000", "up@4000"}
                                        << QStringList{"1@0", "0@4000"};
        QTest::newRow("owed once, not at every return")
                << QStringList{"click@0", "down@1000", "up@4000", "down@5000", "up@6000"}
                << QStringList{"1@0", "0@4000"};
        QTest::newRow("a newer pulse started meanwhile")
                << QStringList{"click@0", "down@1000", "click@3500", "up@4000"} << QStringList{"1@0", "0@6500"};
        QTest::newRow("the keeper's zero after the screen closed")
                << QStringList{"click@0", "unload@500", "down@1000", "up@5000"} << QStringList{"1@0", "0@5000"};
        QTest::newRow("a refused one is never replayed")
                << QStringList{"down@0", "click@100", "up@1000"} << QStringList{"0@3100"};
        QTest::newRow("sent, then not acknowledged")
                << QStringList{"click@0", "late failure of 0@3200"} << QStringList{"1@0", "0@3000", "0@3200"};
        QTest::newRow("not acknowledged, but a newer pulse runs")
                << QStringList{"click@0", "click@3100", "late failure of 0@3200"}
                << QStringList{"1@0", "0@3000", "1@3100", "0@6100"};
    }
    void aZeroThatCouldNotBeWrittenGoesOutOnceTheLinkIsBack()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, sent);
        Fixture f;
        qint64 now = 0;
        for (const QString &step : steps) {
            const qint64 at = step.section(u'@', 1).toLongLong();
            f.t.advance(at - now);
            now = at;
            const QString what = step.section(u'@', 0, 0);
            if (what == "click")
                f.click();
            else if (what == "down" || what == "up")
                f.t.server.setPresent(what == "up");
            else if (what == "unload")
                f.screen->unload();
            else
                Q_EMIT f.t.server.pokeFailed(TagAddress{"DSData", "CVPlc", "c22"}, "0");
        }
        f.t.advance(10'000);
        QStringList out;
        for (const auto &op : f.t.server.operations()) {
            if (op.kind == InProcessServer::Operation::Poke && op.ok)
                out << op.value + u'@' + QString::number(op.timeMs);
        }
        QCOMPARE(out, sent);
    }

    void withTheServerAbsentThePulseStillRuns()
    {
        Fixture f;
        f.t.server.setPresent(false);
        f.click();
        auto *link = f.t.link(QStringLiteral("pulser"), QStringLiteral("lblC22"));
        QCOMPARE(link->value(), QStringLiteral("1"));
        f.t.advance(3000);
        QCOMPARE(link->value(), QStringLiteral("0"));
    }
};

CORVANE_TEST_MAIN(TestPulse)
#include "tst_pulse.moc"
