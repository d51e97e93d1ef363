#pragma once

#include "ui/ColourRef.h"

namespace corvane {

// The red and yellow flash generators of one screen. Each ticks on its own timer;
// both share one direction flag, so a missed tick can only shift their phase.
// Owned by the screen object, not its window: it carries on across unload and reload.
class FlashGenerators
{
public:
    void advanceRed() { advance(m_redCounter, m_red, Colours::red); }
    void advanceYellow() { advance(m_yellowCounter, m_yellow, Colours::yellow); }

    ColourRef red() const { return m_red; }
    ColourRef yellow() const { return m_yellow; }
    qint16 redCounter() const { return m_redCounter; }
    qint16 yellowCounter() const { return m_yellowCounter; }
    bool directionDown() const { return m_down; }

private:
    void advance(qint16 &counter, ColourRef &colour, ColourRef lit)
    {
        if (counter == 0)
            colour = Colours::buttonFace;
        if (counter > 200)
            m_down = true;
        else if (counter < 200)
            m_down = false;
        counter = qint16(m_down ? counter - 100 : counter + 100);
        if (counter > 200)
            colour = Colours::buttonFace;
        else if (counter < 200)
            colour = lit;
    }

    qint16 m_redCounter = 0;
    qint16 m_yellowCounter = 0;
    bool m_down = false;
    ColourRef m_red = Colours::black;
    ColourRef m_yellow = Colours::black;
};

} // namespace corvane
