#pragma once

#include "transport/MqttSettings.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

class QCoreApplication;
class QCommandLineOption;
class QCommandLineParser;

namespace corvane {

// Where the broker is and how to prove who we are. The password itself is never an
// option: it comes from a file or from $CORVANE_MQTT_PASSWORD.
struct BrokerOptions
{
    MqttSettings settings; // all but the password
    QString passwordFile;
};

// What an installation chooses on the command line. Nothing is needed to run.
struct StationOptions
{
    bool demo = false;
    bool carMain = false;
    bool reportStartup = false;
    BrokerOptions broker;
    QString alarmLog;
    QString history;      // the value history's SQLite file
    int historyDays = 90; // retention; 0 records nothing
    QString dumpLinks;    // written on SIGUSR1; empty: no dump
    // --replay: the history's screens from this time, read-only (no data server, no
    // recording); the alarm log is empty (no file) unless --alarm-log names one.
    std::optional<QDateTime> replayAt;
    double replaySpeed = 1;
    // For tests and measurements, hidden from --help.
    bool reportUiGaps = false;
    bool reportAlarms = false;
    bool echoAlarms = false;
    bool alarmSync = true;
};

struct DataSimOptions
{
    BrokerOptions broker;
    quint32 seed = 1;
    int randomPerSecond = 0; // random values instead of the car's
    int randomSeconds = -1;  // for so long, then quiet; -1: for ever
    quint16 plcPort = 0;     // also a Modbus TCP PLC on 127.0.0.1; 0: none
    QString map;             // its layout
    bool mqtt = true;        // off with --plc-port unless --broker is given
};

struct GatewayOptions
{
    BrokerOptions broker;
    QString plcHost;
    quint16 plcPort = 502;
    // Modbus RTU instead of TCP: --plc rtu:DEVICE and the serial line.
    QString serialDevice;
    int baud = 19200;
    char parity = 'E';
    int stopBits = 1;
    int unitId = 1;
    int periodMs = 100;
    int timeoutMs = 500;
    int maxRegisters = 125;
    int maxBits = 2000;
    QString map;
    bool printPlan = false;
};

// Parse the options; on --help, --version or an error they print and return the
// exit code to end with.
std::variant<StationOptions, int> parseStationOptions(const QCoreApplication &app);
std::variant<DataSimOptions, int> parseDataSimOptions(const QCoreApplication &app);
std::variant<GatewayOptions, int> parseGatewayOptions(const QCoreApplication &app);

// For a program's own parser: --help, --version, parse errors and stray arguments are
// handled (the exit code returned); nothing when parsing goes on.
std::optional<int> handleCommonOptions(QCommandLineParser &parser, const QCoreApplication &app,
                                       const QCommandLineOption &help, const QCommandLineOption &version);
// Prints "program: message" on stderr; the exit code of a usage error.
int optionError(const QString &message);
// "2026-12-09 03:55:00" (local time) or ISO 8601, with a zone or without (local).
std::optional<QDateTime> parseReplayTime(const QString &text);

// "host", "host:port" or "[v6]:port"; the port is defaultPort when not given.
bool parseBroker(const QString &text, QString *host, quint16 *port, quint16 defaultPort = 1883);

// The settings to reach the broker, the password read from --password-file or else
// from $CORVANE_MQTT_PASSWORD (which is then removed from the environment). On
// failure, a message for the user that never contains the password.
std::variant<MqttSettings, QString> brokerSettings(const BrokerOptions &options);

// What every program does first: its name and version (for --version, the man page and
// the log), set on the application object that exists now.
void nameProgram(const QString &program);
// The broker settings of the options with the program's client id; on a fault it says
// why on stderr, "program: ...", and gives the exit code.
std::variant<MqttSettings, int> programBroker(const BrokerOptions &options, const QString &program);

} // namespace corvane
