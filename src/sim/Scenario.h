#pragma once

#include <QtGlobal>
#include <span>

namespace corvane::sim {

// One event of a subsystem's story: which, when it starts and how long it lasts
// within the repeating cycle, in seconds.
struct Episode
{
    int event;
    int startS;
    int lengthS;
};

// Whether `event` is under way at nowMs of a story that repeats every cycleMs.
inline bool during(std::span<const Episode> story, int event, qint64 nowMs, qint64 cycleMs)
{
    const qint64 t = nowMs % cycleMs;
    for (const Episode &ep : story) {
        if (ep.event == event && t >= ep.startS * 1000LL && t < (ep.startS + ep.lengthS) * 1000LL)
            return true;
    }
    return false;
}

} // namespace corvane::sim
