#include "TestStation.h"

#include "core/time/FlashGenerator.h"

using namespace corvane;

class TestFlash : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void blackBeforeTheFirstTick()
    {
        FlashGenerators g;
        QCOMPARE(g.red(), Colours::black);
        QCOMPARE(g.yellow(), Colours::black);
    }

    void firstSixTicks()
    {
        FlashGenerators g;
        const qint16 counters[] = {100, 200, 300, 200, 100, 200};
        const ColourRef colours[] = {Colours::red, Colours::red, Colours::buttonFace,
                                     Colours::buttonFace, Colours::red, Colours::red};
        for (int i = 0; i < 6; ++i) {
            g.advanceRed();
            QCOMPARE(g.redCounter(), counters[i]);
            QCOMPARE(g.red(), colours[i]);
        }
    }

    void counterStaysInRangeAndPeriodIsFourTicks()
    {
        FlashGenerators g;
        g.advanceRed();
        for (int i = 1; i < 1000; ++i) {
            const ColourRef before = g.red();
            g.advanceRed();
            QVERIFY(g.redCounter() >= 100 && g.redCounter() <= 300);
            // Lit and unlit halves of two ticks each.
            if (i % 2 == 0)
                QVERIFY(g.red() != before);
            else
                QCOMPARE(g.red(), before);
        }
    }

    void generatorsInStepShowTheSamePattern()
    {
        FlashGenerators g;
        for (int i = 0; i < 40; ++i) {
            g.advanceYellow();
            g.advanceRed();
            QCOMPARE(g.redCounter(), g.yellowCounter());
            QCOMPARE(g.red() == Colours::red, g.yellow() == Colours::yellow);
        }
    }

    void sharedFlagShiftsPhaseAfterAMissedTick()
    {
        // The yellow timer misses one tick: the shared flag keeps both in range but
        // out of step by one tick.
        FlashGenerators g;
        g.advanceYellow();
        g.advanceRed();
        g.advanceRed(); // red 200, yellow 100
        for (int i = 0; i < 20; ++i) {
            g.advanceYellow();
            g.advanceRed();
            QVERIFY(g.redCounter() >= 100 && g.redCounter() <= 300);
            QVERIFY(g.yellowCounter() >= 100 && g.yellowCounter() <= 300);
        }
        QVERIFY(g.redCounter() != g.yellowCounter() || g.red().value() != g.yellow().value());
    }
};

CORVANE_TEST_MAIN(TestFlash)
#include "tst_flash.moc"
