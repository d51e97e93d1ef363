#include "station/DataServerWatch.h"

#include "core/alarm/AlarmLogger.h"
#include "core/link/TagSource.h"
#include "core/time/Scheduler.h"
#include "station/ScreenRegistry.h"

namespace corvane {

DataServerWatch::DataServerWatch(Scheduler &scheduler, TagSource &tags, ScreenRegistry &screens, AlarmLogger &alarms)
    : m_scheduler(scheduler)
    , m_tags(tags)
    , m_screens(screens)
    , m_alarms(alarms)
    , m_everUp(tags.isLinkUp())
{
    connect(&tags, &TagSource::linkStateChanged, this, &DataServerWatch::linkStateChanged);
    connect(&screens, &ScreenRegistry::screenLoaded, this, &DataServerWatch::screenLoaded);
    connect(&screens, &ScreenRegistry::screenUnloaded, this, &DataServerWatch::screenUnloaded);
}

bool DataServerWatch::mainLoaded() const
{
    return !m_watched.isEmpty() && m_screens.isLoaded(m_watched);
}

void DataServerWatch::linkStateChanged(bool up)
{
    const bool wasEverUp = m_everUp;
    m_everUp = m_everUp || up;
    if (!mainLoaded())
        return;
    if (!up && !m_faultRaised && wasEverUp) {
        m_faultRaised = true;
        m_alarms.raise(QString::fromUtf16(kFault));
    } else if (up && m_faultRaised) {
        m_faultRaised = false;
        m_alarms.raise(QString::fromUtf16(kClear));
    }
}

void DataServerWatch::screenLoaded(const QString &formName)
{
    if (formName != m_watched || m_tags.isLinkUp() || !m_everUp)
        return;
    // After the load has run: its own lines (and the fresh alarm list) come first.
    m_scheduler.post(this, [this] {
        if (mainLoaded() && !m_tags.isLinkUp() && !m_faultRaised) {
            m_faultRaised = true;
            m_alarms.raise(QString::fromUtf16(kFault));
        }
    });
}

void DataServerWatch::screenUnloaded(const QString &formName)
{
    if (formName == m_watched)
        m_faultRaised = false;
}

} // namespace corvane
