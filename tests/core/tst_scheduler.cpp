#include "TestStation.h"

#include "core/time/Timer.h"

using namespace corvane;

class TestScheduler : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void timersFireInDeadlineOrderWithPostsBetween()
    {
        VirtualScheduler s;
        QStringList log;
        QObject owner;
        Timer a(s, QStringLiteral("a"), 300, true, &owner);
        Timer b(s, QStringLiteral("b"), 200, true, &owner);
        connect(&a, &Timer::tick, [&] { log << QStringLiteral("a@%1").arg(s.elapsedMs()); });
        connect(&b, &Timer::tick, [&] {
            log << QStringLiteral("b@%1").arg(s.elapsedMs());
            s.post(&owner, [&] { log << QStringLiteral("post@%1").arg(s.elapsedMs()); });
        });
        a.setEnabled(true);
        b.setEnabled(true);
        s.advance(600);
        QCOMPARE(log, QStringList({"b@200", "post@200", "a@300", "b@400", "post@400", "a@600", "b@600", "post@600"}));
    }

    void nothingHappensUntilTimeMoves()
    {
        VirtualScheduler s;
        QObject owner;
        Timer t(s, QStringLiteral("t"), 100, true, &owner);
        int ticks = 0;
        connect(&t, &Timer::tick, [&] { ++ticks; });
        t.setEnabled(true);
        s.runPending();
        QCOMPARE(ticks, 0);
        s.advance(99);
        QCOMPARE(ticks, 0);
        s.advance(1);
        QCOMPARE(ticks, 1);
    }

    void enablingARunningTimerKeepsItsSchedule()
    {
        VirtualScheduler s;
        QObject owner;
        Timer t(s, QStringLiteral("tmrBkfdStop"), 3000, false, &owner);
        QList<qint64> ticks;
        connect(&t, &Timer::tick, [&] {
            ticks << s.elapsedMs();
            t.setEnabled(false);
        });
        t.setEnabled(true);
        s.advance(1000);
        t.setEnabled(true); // a second click one second later
        s.advance(5000);
        QCOMPARE(ticks, QList<qint64>({3000}));
    }

    void disablingAndEnablingStartsAFreshInterval()
    {
        VirtualScheduler s;
        QObject owner;
        Timer t(s, QStringLiteral("t"), 1000, false, &owner);
        QList<qint64> ticks;
        connect(&t, &Timer::tick, [&] { ticks << s.elapsedMs(); });
        t.setEnabled(true);
        s.advance(600);
        t.setEnabled(false);
        t.setEnabled(true);
        s.advance(1000);
        QCOMPARE(ticks, QList<qint64>({1600}));
        QCOMPARE(t.remainingMs(), 1000);
    }

    void resumeTakesOverARunningSchedule()
    {
        VirtualScheduler s;
        QObject owner;
        Timer t(s, QStringLiteral("t"), 1000, false, &owner);
        QList<qint64> ticks;
        connect(&t, &Timer::tick, [&] { ticks << s.elapsedMs(); });
        t.resume(250);
        s.advance(2300);
        QCOMPARE(ticks, QList<qint64>({250, 1250, 2250}));
    }

    void destroyedGuardDropsItsPosts()
    {
        VirtualScheduler s;
        bool ran = false;
        {
            QObject guard;
            s.post(&guard, [&] { ran = true; });
        }
        s.runPending();
        QVERIFY(!ran);
    }

    void timerDestroyedInsideAnotherTickIsNotFired()
    {
        VirtualScheduler s;
        QObject owner;
        auto *victim = new Timer(s, QStringLiteral("victim"), 100, true, &owner);
        Timer killer(s, QStringLiteral("killer"), 100, true, &owner);
        int victimTicks = 0;
        connect(victim, &Timer::tick, [&] { ++victimTicks; });
        connect(&killer, &Timer::tick, [&] { delete std::exchange(victim, nullptr); });
        killer.setEnabled(true);
        victim->setEnabled(true);
        s.advance(500);
        QCOMPARE(victimTicks, 0);
    }

    void wallClockMovesWithVirtualTime()
    {
        VirtualScheduler s(QDateTime(QDate(2004, 6, 21), QTime(14, 3, 7)));
        s.advance(1500);
        QCOMPARE(s.now(), QDateTime(QDate(2004, 6, 21), QTime(14, 3, 8, 500)));
        s.setWallClock(QDateTime(QDate(2026, 7, 3), QTime(9, 5)));
        s.advance(60'000);
        QCOMPARE(s.now(), QDateTime(QDate(2026, 7, 3), QTime(9, 6)));
    }
};

CORVANE_TEST_MAIN(TestScheduler)
#include "tst_scheduler.moc"
