// corvane-datasim: the simulated car behind an MQTT broker, for running the station
// on its network link without the car.
#include "DataSim.h"
#include "Options.h"
#include "SignalQuit.h"

#include "core/time/QtScheduler.h"

#include <QCoreApplication>
#include <cstdio>

using namespace corvane;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString program = QStringLiteral("corvane-datasim");
    nameProgram(program);

    const auto parsed = parseDataSimOptions(app);
    if (const int *code = std::get_if<int>(&parsed))
        return *code;
    const DataSimOptions &options = std::get<DataSimOptions>(parsed);
    const auto settings = programBroker(options.broker, program);
    if (const int *code = std::get_if<int>(&settings))
        return *code;

    QtScheduler scheduler;
    DataSim sim(scheduler, std::get<MqttSettings>(settings), options.seed,
                RandomChanges{options.randomPerSecond, options.randomSeconds});
    if (options.plcPort != 0) {
        const auto map = gateway::readItemMap(options.map);
        if (const QString *error = std::get_if<QString>(&map)) {
            std::fprintf(stderr, "corvane-datasim: %s\n", qPrintable(*error));
            return 2;
        }
        sim.servePlc(std::get<gateway::ItemMap>(map), options.plcPort, options.mqtt);
    }
    installSignalQuit(app);
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "corvane-datasim: %s\n", qPrintable(error));
        return 2;
    }
    if (options.plcPort != 0)
        std::fprintf(stderr, "corvane-datasim: PLC on 127.0.0.1:%u\n", unsigned(options.plcPort));
    const int code = QCoreApplication::exec();
    sim.stop();
    return code;
}
