#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

class QCoreApplication;

namespace corvane {

// What an installation chooses on the command line. Nothing is needed to run.
struct StationOptions
{
    bool demo = false;
    QString brokerHost = QStringLiteral("127.0.0.1");
    quint16 brokerPort = 1883;
    QString tlsCa;
    QString tlsCert;
    QString tlsKey;
    QString username;
    QString passwordFile;
    QString alarmLog;
};

// Parses the station's options; on --help, --version or an error it prints and
// returns the exit code to end with.
std::variant<StationOptions, int> parseStationOptions(const QCoreApplication &app);

// "host", "host:port" or "[v6]:port".
bool parseBroker(const QString &text, QString *host, quint16 *port);

} // namespace corvane
