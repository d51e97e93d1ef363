#include "TestStation.h"

#include "ui/FlashGenerator.h"

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
        const ColourRef colours[]
                = {Colours::red, Colours::red, Colours::buttonFace, Colours::buttonFace, Colours::red, Colours::red};
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
        // Yellow runs two ticks ahead and turns at 300 while red stands at 200: red
        // follows the shared flag down. With a flag of its own it would go on up to
        // 300 and show button face.
        FlashGenerators g;
        g.advanceYellow(); // 100
        g.advanceYellow(); // 200
        g.advanceYellow(); // 300
        g.advanceRed();    // 100
        g.advanceRed();    // 200
        g.advanceYellow(); // 200, turning down
        g.advanceRed();
        QCOMPARE(g.redCounter(), qint16(100));
        QCOMPARE(g.red(), Colours::red);
        QCOMPARE(g.yellowCounter(), qint16(200));
    }
};

CORVANE_TEST_MAIN(TestFlash)
#include "tst_flash.moc"
