#include "AllScreens.h"

#include "core/alarm/AlarmLogger.h"
#include "screens/carmain/frmCVCarmain.h"
#include "station/DataServerWatch.h"
#include "station/FrmAlarmlist.h"
#include "station/ScreenRegistry.h"
#include "station/Station.h"

namespace corvane {

void registerAllScreens(Station &station)
{
    registerStartScreens(station);
    registerCarMainScreens(station);
    registerEnvironmentScreens(station);
    registerWaterScreens(station);
    registerPorterScreens(station);
    registerBlowerScreens(station);
    wireStation(station);
}

void wireStation(Station &station)
{
    // Connected before anyone else listens: the list has a line before it is echoed.
    if (auto *list = qobject_cast<FrmAlarmlist *>(station.screens().find(QString::fromLatin1(FrmAlarmlist::kFormName))))
        QObject::connect(&station.alarms(), &AlarmLogger::lineRaised, list, &FrmAlarmlist::takeLine);
    station.dataServerWatch().watch(QString::fromLatin1(FrmCVCarmain::kFormName));
}

} // namespace corvane
