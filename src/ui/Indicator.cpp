#include "ui/Indicator.h"

#include "core/link/Link.h"
#include "ui/Controls.h"
#include "ui/FlashGenerator.h"

namespace corvane {

ColourRef Paint::resolve(const FlashGenerators *flash) const
{
    switch (kind) {
    case RedFlash:
        return flash ? flash->red() : Colours::red;
    case YellowFlash:
        return flash ? flash->yellow() : Colours::yellow;
    case Steady:
        break;
    }
    return colour;
}

LiveIndicator::LiveIndicator(QWidget *status, const Indicator &rule, const LinkLookup &find)
    : m_status(status)
    , m_rule(&rule)
{
    Q_ASSERT(status); // every status label of a table stands in a row of its frames
    for (std::size_t i = 0; i < rule.tests.size(); ++i) {
        const IndicatorTest &test = rule.tests[i];
        m_links[i] = test.used ? find(test.link) : nullptr;
        Q_ASSERT(!test.used || m_links[i]);
    }
}

void LiveIndicator::repaint(const FlashGenerators *flash) const
{
    const Outcome *outcome = &m_rule->otherwise;
    for (std::size_t i = 0; i < m_rule->tests.size(); ++i) {
        const IndicatorTest &test = m_rule->tests[i];
        if (m_links[i] && m_links[i]->reads(test.value)) { // a missing link matches nothing
            outcome = &test.outcome;
            break;
        }
    }
    if (outcome->caption)
        paintStatus(m_status, outcome->paint.resolve(flash), QStringView(outcome->caption));
    else
        setBackColour(m_status, outcome->paint.resolve(flash));
}

} // namespace corvane
