#pragma once

#include "ui/ColourRef.h"

#include <QString>
#include <array>
#include <functional>

class QWidget;

namespace corvane {

class FlashGenerators;
class Link;

// The back colour of one outcome: steady, or the current colour of the screen's red
// or yellow flash generator.
struct Paint
{
    enum Kind : quint8 { Steady, RedFlash, YellowFlash };
    Kind kind = Steady;
    ColourRef colour{};

    // Flash paints need the screen's generators; a screen without them has none.
    ColourRef resolve(const FlashGenerators *flash) const;
};

namespace Paints {
constexpr Paint steady(ColourRef c)
{
    return Paint{Paint::Steady, c};
}
inline constexpr Paint redFlash{Paint::RedFlash, {}};
inline constexpr Paint yellowFlash{Paint::YellowFlash, {}};
} // namespace Paints

// What a status label shows for one outcome of its rule.
struct Outcome
{
    const char16_t *caption = nullptr;
    Paint paint{};
};

// One test of a rule: "this link reads exactly this value". A test without a link
// name reads the link the rule belongs to. An outcome without a caption changes the
// colour only (the caption is left as it stands).
struct IndicatorTest
{
    const char16_t *link = nullptr;
    double value = 0;
    Outcome outcome{};
    bool used = false;
};

// The repaint rule of one status label: its tests in order, the first that matches
// paints; when none matches (another value, a word, an empty caption) the otherwise
// outcome paints. A later test's link is read only when the earlier ones failed.
struct Indicator
{
    std::array<IndicatorTest, 2> tests{};
    Outcome otherwise{};
};

// The general rule shapes; the screens' rule kinds are built from these.
constexpr Indicator whenValue(const char16_t *link, double value, Outcome match, Outcome other)
{
    return Indicator{{IndicatorTest{link, value, match, true}, IndicatorTest{}}, other};
}
constexpr Indicator whenEither(const char16_t *first, double firstValue, Outcome firstMatch, const char16_t *second,
                               double secondValue, Outcome secondMatch, Outcome other)
{
    return Indicator{
            {IndicatorTest{first, firstValue, firstMatch, true}, IndicatorTest{second, secondValue, secondMatch, true}},
            other};
}

// A rule bound to its controls on a loaded window.
class LiveIndicator
{
public:
    // find(name) gives the link of that name on the window, find(nullptr) the rule's own.
    using LinkLookup = std::function<const Link *(const char16_t *name)>;
    LiveIndicator(QWidget *status, const Indicator &rule, const LinkLookup &find);

    // Reads the links, then sets the back colour and then the caption.
    void repaint(const FlashGenerators *flash) const;
    QWidget *status() const { return m_status; }
    // The links the rule reads, in test order (a test's link may be missing).
    const std::array<const Link *, 2> &links() const { return m_links; }

private:
    QWidget *m_status;
    const Indicator *m_rule;
    std::array<const Link *, 2> m_links{};
};

} // namespace corvane
