#include "station/Station.h"

#include "core/StatePaths.h"
#include "core/alarm/AlarmLogger.h"
#include "core/time/Pulse.h"
#include "station/DataServerWatch.h"
#include "station/FrmAlarmlist.h"
#include "station/ScreenRegistry.h"

namespace corvane {

Station::Station(Scheduler &scheduler, TagSource &tags, const QString &alarmLogPath)
    : m_scheduler(scheduler)
    , m_tags(tags)
    , m_screens(std::make_unique<ScreenRegistry>())
    , m_pulses(std::make_unique<PulseKeeper>(scheduler, tags))
    , m_alarms(std::make_unique<AlarmLogger>(scheduler, alarmLogPath))
    , m_dataServerWatch(std::make_unique<DataServerWatch>(scheduler, tags, *m_screens, *m_alarms))
{
    m_screens->add(std::make_unique<FrmAlarmlist>(*this));
}

Station::~Station()
{
    // Screens go first: their windows hold links into the tag source.
    m_screens.reset();
}

void Station::shutDown()
{
    m_screens->unloadAll();
    m_pulses->flushAll();
}

QString Station::defaultAlarmLogPath()
{
    return corvane::defaultAlarmLogPath();
}

} // namespace corvane
