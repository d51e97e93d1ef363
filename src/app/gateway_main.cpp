// corvane-gateway: the car's data server. Reads the PLC over Modbus TCP by the map
// and serves its items on the MQTT broker.
#include "Options.h"
#include "SignalQuit.h"

#include "gateway/Gateway.h"

#include <QCoreApplication>
#include <cstdio>

using namespace corvane;
using namespace corvane::gateway;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString program = QStringLiteral("corvane-gateway");
    nameProgram(program);

    const auto parsed = parseGatewayOptions(app);
    if (const int *code = std::get_if<int>(&parsed))
        return *code;
    const GatewayOptions &options = std::get<GatewayOptions>(parsed);
    const auto settings = programBroker(options.broker, program);
    if (const int *code = std::get_if<int>(&settings))
        return *code;

    const auto map = readItemMap(options.map);
    if (const QString *error = std::get_if<QString>(&map)) {
        std::fprintf(stderr, "corvane-gateway: %s\n", qPrintable(*error));
        return 2;
    }
    const ItemMap &itemMap = std::get<ItemMap>(map);
    const QList<ScanRequest> plan = planScan(itemMap);
    if (options.printPlan) {
        for (const QString &line : describePlan(itemMap, plan).split(u'\n', Qt::SkipEmptyParts))
            logLine(QStringLiteral("plan: ") + line);
    }

    PlcSettings plc;
    plc.host = options.plcHost;
    plc.port = options.plcPort;
    plc.unitId = options.unitId;
    plc.periodMs = options.periodMs;
    Gateway gateway(itemMap, plan, plc, std::get<MqttSettings>(settings));
    installSignalQuit(app);
    logLine(QStringLiteral("serving %1 items of %2 from %3:%4 on %5, every %6 ms")
                    .arg(itemMap.rows.size())
                    .arg(options.map, plc.host)
                    .arg(plc.port)
                    .arg(std::get<MqttSettings>(settings).brokerText())
                    .arg(plc.periodMs));
    gateway.start();
    const int code = QCoreApplication::exec();
    gateway.stop();
    logLine(QStringLiteral("stopped"));
    return code;
}
