#include "Options.h"

#include "core/StatePaths.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <limits>
#include <tuple>

namespace corvane {

namespace {

const char kPasswordVariable[] = "CORVANE_MQTT_PASSWORD";

// The broker options, shared by the station and the simulated data server.
struct BrokerOptionSet
{
    QCommandLineOption broker{QStringLiteral("broker"),
                              QStringLiteral("MQTT broker of the data server (default 127.0.0.1:1883)."),
                              QStringLiteral("host[:port]")};
    QCommandLineOption tlsCa{QStringLiteral("tls-ca"), QStringLiteral("Use TLS, trusting this CA file."),
                             QStringLiteral("file")};
    QCommandLineOption tlsCert{QStringLiteral("tls-cert"), QStringLiteral("Client certificate for TLS."),
                               QStringLiteral("file")};
    QCommandLineOption tlsKey{QStringLiteral("tls-key"), QStringLiteral("Client key for TLS (not encrypted)."),
                              QStringLiteral("file")};
    QCommandLineOption username{QStringLiteral("username"), QStringLiteral("Broker user name."),
                                QStringLiteral("name")};
    QCommandLineOption passwordFile{QStringLiteral("password-file"),
                                    QStringLiteral("File whose first line is the broker password (else $%1).")
                                            .arg(QLatin1String(kPasswordVariable)),
                                    QStringLiteral("file")};

    void addTo(QCommandLineParser &parser) const
    {
        parser.addOptions({broker, tlsCa, tlsCert, tlsKey, username, passwordFile});
    }

    // An error message, or nothing when the options make sense.
    std::optional<QString> read(const QCommandLineParser &parser, BrokerOptions *options) const
    {
        MqttSettings *o = &options->settings;
        if (parser.isSet(broker) && !parseBroker(parser.value(broker), &o->host, &o->port))
            return QStringLiteral("--broker wants host[:port], not '%1'").arg(parser.value(broker));
        o->tlsCa = parser.value(tlsCa);
        o->tlsCert = parser.value(tlsCert);
        o->tlsKey = parser.value(tlsKey);
        if (o->tlsCert.isEmpty() != o->tlsKey.isEmpty())
            return QStringLiteral("--tls-cert and --tls-key go together");
        if (!o->tlsCert.isEmpty() && o->tlsCa.isEmpty())
            return QStringLiteral("--tls-cert needs --tls-ca");
        for (const QString &file : {o->tlsCa, o->tlsCert, o->tlsKey}) {
            if (!file.isEmpty() && !QFileInfo(file).isReadable())
                return QStringLiteral("cannot read %1").arg(file);
        }
        o->username = parser.value(username);
        options->passwordFile = parser.value(passwordFile);
        if (!options->passwordFile.isEmpty() && o->username.isEmpty())
            return QStringLiteral("--password-file needs --username");
        return std::nullopt;
    }
};

int fail(const QString &message)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(message));
    return 2;
}

// --help, --version, parse errors and stray arguments; nothing when parsing goes on.
// The option's value as a whole number from low to high; false for anything else. An
// option not given leaves *out at its default.
template<typename T>
bool readInteger(const QCommandLineParser &parser, const QCommandLineOption &option, qint64 low, qint64 high, T *out)
{
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    const qint64 v = parser.value(option).toLongLong(&ok);
    if (!ok || v < low || v > high)
        return false;
    *out = T(v);
    return true;
}

std::optional<int> handleCommon(QCommandLineParser &parser, const QCoreApplication &app, const QCommandLineOption &help,
                                const QCommandLineOption &version)
{
    if (!parser.parse(app.arguments()))
        return fail(parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    return std::nullopt;
}

} // namespace

std::optional<int> handleCommonOptions(QCommandLineParser &parser, const QCoreApplication &app,
                                       const QCommandLineOption &help, const QCommandLineOption &version)
{
    return handleCommon(parser, app, help, version);
}

int optionError(const QString &message)
{
    return fail(message);
}

bool parseBroker(const QString &text, QString *host, quint16 *port, quint16 defaultPort)
{
    QString h = text.trimmed();
    QString p;
    if (h.startsWith(u'[')) {
        const qsizetype close = h.indexOf(u']');
        if (close < 0)
            return false;
        p = h.mid(close + 1);
        h = h.mid(1, close - 1);
        if (!p.isEmpty() && !p.startsWith(u':'))
            return false;
        p = p.mid(1);
    } else if (h.count(u':') == 1) {
        p = h.section(u':', 1);
        h = h.section(u':', 0, 0);
    }
    if (h.isEmpty())
        return false;
    quint16 portValue = defaultPort;
    if (!p.isEmpty()) {
        bool ok = false;
        const uint v = p.toUInt(&ok);
        if (!ok || v == 0 || v > 65535)
            return false;
        portValue = quint16(v);
    }
    *host = h;
    *port = portValue;
    return true;
}

std::optional<QDateTime> parseReplayTime(const QString &text)
{
    QString iso = text.trimmed();
    // The date and the time may be parted by a blank, as people write them.
    if (iso.size() > 10 && iso[10] == u' ')
        iso[10] = u'T';
    const QDateTime t = QDateTime::fromString(iso, Qt::ISODateWithMs);
    if (!t.isValid() || iso.size() < 16) // a date alone is no moment
        return std::nullopt;
    return t;
}

std::variant<StationOptions, int> parseStationOptions(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
            "Operator station of the Corvane rail car: shows what the car's PLC reports through the data server, "
            "logs every fault, warning and clear, and sends the operator's commands back."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption demo(QStringLiteral("demo"), QStringLiteral("Run on the simulated car, in-process."));
    const QCommandLineOption carMain(QStringLiteral("car-main"),
                                     QStringLiteral("Open the main car screen at start, as its button does."));
    const QCommandLineOption alarmLog(QStringLiteral("alarm-log"),
                                      QStringLiteral("Alarm log file (default %1).").arg(defaultAlarmLogPath()),
                                      QStringLiteral("path"));
    const QCommandLineOption historyPath(
            QStringLiteral("history"),
            QStringLiteral("Value history, an SQLite file (default %1).").arg(defaultHistoryPath()),
            QStringLiteral("path"));
    const QCommandLineOption historyDays(QStringLiteral("history-days"),
                                         QStringLiteral("Days of value history kept (default 90; 0 records nothing)."),
                                         QStringLiteral("days"));
    const QCommandLineOption dumpLinks(
            QStringLiteral("dump-links"),
            QStringLiteral("On SIGUSR1, write every open automatic link (form, control, item, value, caption) to this "
                           "file as JSON lines, for checking the station from outside (off by default)."),
            QStringLiteral("file"));
    // For tests and measurements of the running program.
    QCommandLineOption reportUiGaps(
            QStringLiteral("report-ui-gaps"),
            QStringLiteral("Print the largest gap of a 10 ms probe timer each second and at exit."));
    QCommandLineOption reportAlarms(
            QStringLiteral("report-alarms"),
            QStringLiteral("At exit, print the alarm list's lines (count, SHA-1) and the log's syncs."));
    QCommandLineOption echoAlarms(QStringLiteral("echo-alarms"),
                                  QStringLiteral("Print each alarm line once the file and the list have it."));
    QCommandLineOption noAlarmSync(
            QStringLiteral("no-alarm-sync"),
            QStringLiteral("Leave alarm lines to the page cache (measures what the sync costs)."));
    const QCommandLineOption replay(
            QStringLiteral("replay"),
            QStringLiteral(
                    "Replay the history from this time (\"2026-12-09 03:55:00\" local, or ISO 8601 with a zone): "
                    "the screens as they were, read-only; alarm lines go to a file only with --alarm-log."),
            QStringLiteral("time"));
    const QCommandLineOption speed(QStringLiteral("speed"),
                                   QStringLiteral("Replay speed, 0.25 to 64 times real time (default 1)."),
                                   QStringLiteral("factor"));
    for (QCommandLineOption *o : {&reportUiGaps, &reportAlarms, &echoAlarms, &noAlarmSync})
        o->setFlags(QCommandLineOption::HiddenFromHelp);
    const QCommandLineOption reportStartup(
            QStringLiteral("report-startup"),
            QStringLiteral("Print the time from process start to the first window shown (for measuring)."));
    const BrokerOptionSet brokerOptions;
    parser.addOptions({demo, carMain, reportStartup});
    brokerOptions.addTo(parser);
    parser.addOptions(
            {alarmLog, historyPath, historyDays, dumpLinks, reportUiGaps, reportAlarms, echoAlarms, noAlarmSync});
    parser.addOptions({replay, speed});

    if (const auto code = handleCommon(parser, app, help, version))
        return *code;
    StationOptions o;
    o.demo = parser.isSet(demo);
    o.carMain = parser.isSet(carMain);
    o.reportStartup = parser.isSet(reportStartup);
    if (const auto error = brokerOptions.read(parser, &o.broker))
        return fail(*error);
    if (parser.isSet(replay)) {
        o.replayAt = parseReplayTime(parser.value(replay));
        if (!o.replayAt)
            return fail(QStringLiteral("--replay wants a time like \"2026-12-09 03:55:00\" or ISO 8601, not '%1'")
                                .arg(parser.value(replay)));
    }
    if (parser.isSet(speed)) {
        bool ok = false;
        o.replaySpeed = parser.value(speed).toDouble(&ok);
        if (!ok || !o.replayAt || o.replaySpeed < 0.25 || o.replaySpeed > 64)
            return fail(QStringLiteral("--speed wants --replay and a factor from 0.25 to 64, not '%1'")
                                .arg(parser.value(speed)));
    }
    // A replay never writes the live station's log.
    o.alarmLog = parser.isSet(alarmLog) ? parser.value(alarmLog) : o.replayAt ? QString() : defaultAlarmLogPath();
    o.history = parser.isSet(historyPath) ? parser.value(historyPath) : defaultHistoryPath();
    if (o.replayAt && !QFileInfo::exists(o.history))
        return fail(QStringLiteral("no history to replay at %1").arg(o.history));
    if (!readInteger(parser, historyDays, 0, 100'000, &o.historyDays))
        return fail(QStringLiteral("--history-days wants a number of days, not '%1'").arg(parser.value(historyDays)));
    o.dumpLinks = parser.value(dumpLinks);
    o.reportUiGaps = parser.isSet(reportUiGaps);
    o.reportAlarms = parser.isSet(reportAlarms);
    o.echoAlarms = parser.isSet(echoAlarms);
    o.alarmSync = !parser.isSet(noAlarmSync);
    return o;
}

std::variant<DataSimOptions, int> parseDataSimOptions(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
            "The simulated Corvane car served as its data server would: every item retained on the broker, "
            "writes taken from <item>/set, presence in $state."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Seed of the simulated car (default 1)."),
                                  QStringLiteral("number"));
    const QCommandLineOption random(
            QStringLiteral("random"),
            QStringLiteral("Instead of simulating the car, change random items to random values, this many a second "
                           "(a soak of the station)."),
            QStringLiteral("changes"));
    const QCommandLineOption randomSeconds(QStringLiteral("random-seconds"),
                                           QStringLiteral("With --random: stop changing after so many seconds."),
                                           QStringLiteral("seconds"));
    const QCommandLineOption plcPort(
            QStringLiteral("plc-port"),
            QStringLiteral(
                    "Also serve the car as a Modbus TCP PLC on 127.0.0.1:N, laid out by --map, for corvane-gateway; "
                    "then the broker is served only when --broker is given."),
            QStringLiteral("N"));
    const QCommandLineOption map(QStringLiteral("map"), QStringLiteral("The item map of --plc-port."),
                                 QStringLiteral("file"));
    const BrokerOptionSet brokerOptions;
    brokerOptions.addTo(parser);
    parser.addOptions({seed, random, randomSeconds, plcPort, map});

    if (const auto code = handleCommon(parser, app, help, version))
        return *code;
    DataSimOptions o;
    if (const auto error = brokerOptions.read(parser, &o.broker))
        return fail(*error);
    if (!readInteger(parser, seed, 0, std::numeric_limits<quint32>::max(), &o.seed))
        return fail(QStringLiteral("--seed wants a number, not '%1'").arg(parser.value(seed)));
    if (!readInteger(parser, random, 0, 1'000'000, &o.randomPerSecond))
        return fail(QStringLiteral("--random wants a number of changes a second, not '%1'").arg(parser.value(random)));
    if (!readInteger(parser, randomSeconds, 0, 1'000'000, &o.randomSeconds))
        return fail(QStringLiteral("--random-seconds wants a number, not '%1'").arg(parser.value(randomSeconds)));
    if (!readInteger(parser, plcPort, 1, 65535, &o.plcPort))
        return fail(QStringLiteral("--plc-port wants a port, not '%1'").arg(parser.value(plcPort)));
    if (parser.isSet(plcPort)) {
        if (!parser.isSet(map))
            return fail(QStringLiteral("--plc-port needs --map"));
        o.map = parser.value(map);
        o.mqtt = parser.isSet(brokerOptions.broker);
    }
    return o;
}

std::variant<GatewayOptions, int> parseGatewayOptions(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
            "The data server of the Corvane car: reads the PLC over Modbus TCP or RTU as the map says and serves its "
            "items on the MQTT broker, taking the stations' writes back to the PLC."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption plc(
            QStringLiteral("plc"),
            QStringLiteral("The PLC: its Modbus TCP server (default port 502), or rtu:DEVICE for Modbus RTU on a "
                           "serial line (e.g. rtu:/dev/ttyUSB0)."),
            QStringLiteral("host[:port]|rtu:device"));
    const QCommandLineOption map(QStringLiteral("map"), QStringLiteral("The item map (CSV)."), QStringLiteral("file"));
    const QCommandLineOption unitId(
            QStringLiteral("unit-id"),
            QStringLiteral("Modbus unit id of the PLC (default 1; TCP 0-247 or 255, RTU 1-247)."), QStringLiteral("N"));
    const QCommandLineOption period(QStringLiteral("period-ms"),
                                    QStringLiteral("Scan period in milliseconds (default 100)."), QStringLiteral("N"));
    const QCommandLineOption timeout(
            QStringLiteral("timeout-ms"),
            QStringLiteral("How long the PLC may take to answer, in milliseconds (default 500)."), QStringLiteral("N"));
    const QCommandLineOption maxRegisters(QStringLiteral("max-registers"),
                                          QStringLiteral("Most registers one read asks for (default and most 125)."),
                                          QStringLiteral("N"));
    const QCommandLineOption maxBits(QStringLiteral("max-bits"),
                                     QStringLiteral("Most coils or inputs one read asks for (default and most 2000)."),
                                     QStringLiteral("N"));
    const QCommandLineOption baud(QStringLiteral("baud"), QStringLiteral("RTU: bits a second (default 19200)."),
                                  QStringLiteral("N"));
    const QCommandLineOption parity(QStringLiteral("parity"), QStringLiteral("RTU: N, E or O (default E)."),
                                    QStringLiteral("N|E|O"));
    const QCommandLineOption stopBits(QStringLiteral("stop-bits"), QStringLiteral("RTU: 1 or 2 (default 1)."),
                                      QStringLiteral("1|2"));
    const QCommandLineOption printPlan(
            QStringLiteral("print-plan"),
            QStringLiteral("Log the scan plan (requests, rows, bytes) at start (a request the PLC refuses as a "
                           "whole is always logged with the requests it is split into)."));
    const BrokerOptionSet brokerOptions;
    parser.addOptions({plc, map, unitId, period, timeout, maxRegisters, maxBits, baud, parity, stopBits, printPlan});
    brokerOptions.addTo(parser);

    if (const auto code = handleCommon(parser, app, help, version))
        return *code;
    GatewayOptions o;
    if (const auto error = brokerOptions.read(parser, &o.broker))
        return fail(*error);
    const QString plcText = parser.value(plc);
    if (plcText.startsWith(QLatin1String("rtu:"))) {
        o.serialDevice = plcText.mid(4);
        if (o.serialDevice.isEmpty())
            return fail(QStringLiteral("--plc rtu: wants a serial device, e.g. rtu:/dev/ttyUSB0"));
    } else if (!parser.isSet(plc) || !parseBroker(plcText, &o.plcHost, &o.plcPort, 502)) {
        return fail(QStringLiteral("--plc wants host[:port] or rtu:device, not '%1'").arg(plcText));
    }
    if (!parser.isSet(map))
        return fail(QStringLiteral("--map is needed"));
    o.map = parser.value(map);
    o.printPlan = parser.isSet(printPlan);
    // libmodbus takes 248-254 over TCP without a word and sends 255.
    const bool rtu = !o.serialDevice.isEmpty();
    if (parser.isSet(unitId)) {
        bool ok = false;
        o.unitId = parser.value(unitId).toInt(&ok);
        const bool valid
                = ok
                  && (rtu ? o.unitId >= 1 && o.unitId <= 247 : (o.unitId >= 0 && o.unitId <= 247) || o.unitId == 255);
        if (!valid)
            return fail(
                    QStringLiteral("--unit-id wants %1, not '%2'")
                            .arg(rtu ? QStringLiteral("1-247") : QStringLiteral("0-247 or 255"), parser.value(unitId)));
    }
    for (const auto &[option, least, most, out] :
         {std::tuple{&period, 10, 60'000, &o.periodMs}, std::tuple{&timeout, 10, 60'000, &o.timeoutMs},
          std::tuple{&maxRegisters, 1, 125, &o.maxRegisters}, std::tuple{&maxBits, 1, 2000, &o.maxBits},
          std::tuple{&baud, 50, 4'000'000, &o.baud}, std::tuple{&stopBits, 1, 2, &o.stopBits}}) {
        if (!readInteger(parser, *option, least, most, out))
            return fail(QStringLiteral("--%1 wants %2-%3, not '%4'")
                                .arg(option->names().constFirst())
                                .arg(least)
                                .arg(most)
                                .arg(parser.value(*option)));
    }
    if (parser.isSet(parity)) {
        const QString p = parser.value(parity).toUpper();
        if (p != u"N" && p != u"E" && p != u"O")
            return fail(QStringLiteral("--parity wants N, E or O, not '%1'").arg(parser.value(parity)));
        o.parity = char(p.at(0).unicode());
    }
    if (!rtu) {
        for (const QCommandLineOption *serialOnly : {&baud, &parity, &stopBits}) {
            if (parser.isSet(*serialOnly))
                return fail(QStringLiteral("--%1 is for --plc rtu:DEVICE").arg(serialOnly->names().constFirst()));
        }
    }
    return o;
}

std::variant<MqttSettings, QString> brokerSettings(const BrokerOptions &options)
{
    MqttSettings s = options.settings;
    if (!options.passwordFile.isEmpty()) {
        const auto password = readPasswordFile(options.passwordFile);
        if (!password)
            return QStringLiteral("cannot read the password file %1").arg(options.passwordFile);
        s.password = *password;
    } else if (qEnvironmentVariableIsSet(kPasswordVariable)) {
        if (!s.username.isEmpty())
            s.password = qEnvironmentVariable(kPasswordVariable);
        qunsetenv(kPasswordVariable); // nothing started from here inherits it
    }
    return s;
}

void nameProgram(const QString &program)
{
    QCoreApplication::setApplicationName(program);
    QCoreApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
}

std::variant<MqttSettings, int> programBroker(const BrokerOptions &options, const QString &program)
{
    auto settings = brokerSettings(options);
    if (const QString *error = std::get_if<QString>(&settings)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(program), qPrintable(*error));
        return 2;
    }
    std::get<MqttSettings>(settings).clientIdPrefix = program;
    return std::get<MqttSettings>(settings);
}

} // namespace corvane
