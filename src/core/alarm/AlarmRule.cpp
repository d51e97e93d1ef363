#include "core/alarm/AlarmRule.h"

#include "core/alarm/AlarmLogger.h"
#include "core/link/Link.h"

namespace corvane {

void raiseAlarmTransition(AlarmLogger &logger, const Link &link, const AlarmRule &rule)
{
    if (link.reads(rule.active))
        logger.raise(QString::fromUtf16(rule.raised));
    if (link.reads(rule.inactive))
        logger.raise(QString::fromUtf16(rule.cleared));
}

} // namespace corvane
