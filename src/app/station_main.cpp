#include "LinkDump.h"
#include "Options.h"
#include "ReplayMode.h"
#include "SignalQuit.h"
#include "StartupReport.h"
#include "StationReport.h"

#include "core/Logging.h"
#include "core/alarm/AlarmLogger.h"
#include "core/time/QtScheduler.h"
#include "history/HistoryStore.h"
#include "history/RecordingTagSource.h"
#include "history/TrendWindow.h"
#include "screens/AllScreens.h"
#include "sim/SimulatedCar.h"
#include "station/ScreenRegistry.h"
#include "station/Station.h"
#include "transport/InProcessServer.h"
#include "transport/MqttTagSource.h"
#include "ui/Look.h"

#include <QApplication>
#include <cstdio>

using namespace corvane;

int main(int argc, char *argv[])
{
    const QString program = QStringLiteral("corvane-station");
    // Options first, without a display: --help and a wrong option answer on a console.
    std::variant<StationOptions, int> parsed;
    {
        QCoreApplication console(argc, argv);
        nameProgram(program);
        parsed = parseStationOptions(console);
    }
    if (const int *code = std::get_if<int>(&parsed))
        return *code;
    const StationOptions &options = std::get<StationOptions>(parsed);

    QApplication app(argc, argv);
    nameProgram(program);
    // Hidden screens count as open: the program ends when the last one unloads.
    QApplication::setQuitOnLastWindowClosed(false);

    if (options.reportStartup)
        reportStartup(app);
    applyStationLook();
    if (options.replayAt)
        return runReplay(options);
    QtScheduler scheduler;

    // The data server: the simulated car in-process, or the network link.
    std::unique_ptr<InProcessServer> server;
    std::unique_ptr<sim::DemoCar> demo;
    std::unique_ptr<MqttTagSource> mqtt;
    TagSource *tags = nullptr;
    if (options.demo) {
        server = std::make_unique<InProcessServer>(scheduler);
        server->setRecording(false);
        demo = std::make_unique<sim::DemoCar>(scheduler, *server);
        tags = server.get();
    } else {
        const auto settings = programBroker(options.broker, program);
        if (const int *code = std::get_if<int>(&settings))
            return *code;
        mqtt = std::make_unique<MqttTagSource>(std::get<MqttSettings>(settings));
        tags = mqtt.get();
        // For whoever keeps the station running; the operator sees " [NO DATA]".
        QObject::connect(mqtt.get(), &TagSource::linkStateChanged,
                         [](bool up) { qCInfo(lcLink, "data server link %s", up ? "up" : "down"); });
    }

    // Every value the screens receive is also recorded, off the UI thread; the
    // screens' trend entries open their windows through `trends`, which read the
    // history on a connection of their own.
    std::unique_ptr<history::HistoryStore> historyStore;
    if (options.historyDays > 0) {
        history::HistoryConfig config;
        config.path = options.history;
        config.retentionDays = options.historyDays;
        historyStore = std::make_unique<history::HistoryStore>(config);
    }
    history::RecordingTagSource recordedTags(*tags, historyStore.get());

    Station station(scheduler, recordedTags, options.alarmLog);
    std::unique_ptr<history::HistoryReader> historyReader;
    std::unique_ptr<history::TrendWindows> trends;
    if (historyStore) {
        historyReader = std::make_unique<history::HistoryReader>(historyStore->path());
        trends = std::make_unique<history::TrendWindows>(
                *historyReader, history::TrendWindow::UtcClock{},
                [&station](const QString &item) { return station.words(item); }, &recordedTags);
        station.setTrendOpener([&trends](const QString &item, const ItemWords &words) { trends->show(item, words); });
    }
    registerAllScreens(station);
    if (historyStore) {
        // The alarm log file stays the record of alarm lines; the history keeps a copy
        // beside the values.
        QObject::connect(&station.alarms(), &AlarmLogger::lineRaised,
                         [&store = *historyStore](const QString &line) { store.addAlarmLine(store.now(), line); });
    }
    station.alarms().setSyncToDisk(options.alarmSync);
    if (options.echoAlarms)
        echoAlarmLines(station.alarms());
    std::unique_ptr<UiGapProbe> probe;
    if (options.reportUiGaps)
        probe = std::make_unique<UiGapProbe>();

    // exit, not quit: quit would first ask windows to close, which ours answer by unloading.
    QObject::connect(
            &station.screens(), &ScreenRegistry::lastScreenUnloaded, &app, [] { QCoreApplication::exit(0); },
            Qt::QueuedConnection);
    installSignalQuit(app);
    installLinkDump(app, station.screens(), options.dumpLinks);
    if (mqtt)
        mqtt->start();
    station.screens().show(QStringLiteral("frmSelect"));
    if (options.carMain)
        station.screens().show(QStringLiteral("frmCVCarmain"));
    const int code = QApplication::exec();
    if (probe)
        probe->printRun();
    if (options.reportAlarms)
        printAlarmReport(station); // before the shut-down unloads the list
    station.shutDown();
    if (mqtt)
        mqtt->stop(); // the "0" of a pulse cut short by the exit still goes out
    return code;
}
