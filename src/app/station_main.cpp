#include "Options.h"
#include "SignalQuit.h"

#include "core/Look.h"
#include "core/QtScheduler.h"
#include "core/ScreenRegistry.h"
#include "core/Station.h"
#include "screens/AllScreens.h"
#include "sim/SimulatedCar.h"
#include "transport/InProcessServer.h"

#include <QApplication>

using namespace corvane;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("corvane-station"));
    QApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    // Hidden screens count as open: the program ends when the last one unloads.
    QApplication::setQuitOnLastWindowClosed(false);

    const auto parsed = parseStationOptions(app);
    if (const int *code = std::get_if<int>(&parsed))
        return *code;
    const StationOptions &options = std::get<StationOptions>(parsed);

    applyStationLook();
    QtScheduler scheduler;

    InProcessServer server(scheduler);
    std::unique_ptr<sim::DemoCar> demo;
    if (options.demo)
        demo = std::make_unique<sim::DemoCar>(scheduler, server);
    else
        server.setPresent(false); // no network link yet: the data server is absent

    TagSource &tags = server;
    Station station(scheduler, tags, options.alarmLog);
    registerAllScreens(station);

    QObject::connect(&station.screens(), &ScreenRegistry::lastScreenUnloaded, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    installSignalQuit(app);
    station.screens().show(QStringLiteral("frmSelect"));
    const int code = QApplication::exec();
    station.shutDown();
    return code;
}
