#pragma once

#include <QString>

namespace corvane {

class AlarmLogger;
class Link;

// One monitored item of a screen that raises alarm lines: the value that raises its
// FAULT or WARN line and the value that raises its CLEAR line, with both messages
// exactly as logged (their trailing blanks separate them from the time stamp).
struct AlarmRule
{
    const char16_t *item;
    double active;
    double inactive;
    const char16_t *raised;
    const char16_t *cleared;
};

// The change handler of a monitored item: two independent tests on the value, no
// memory of the previous state; any other value (2, a word) raises nothing.
void raiseAlarmTransition(AlarmLogger &logger, const Link &link, const AlarmRule &rule);

} // namespace corvane
