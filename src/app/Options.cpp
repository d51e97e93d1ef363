#include "Options.h"

#include "core/Station.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

namespace corvane {

bool parseBroker(const QString &text, QString *host, quint16 *port)
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
    quint16 portValue = 1883;
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

std::variant<StationOptions, int> parseStationOptions(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Operator station of the Corvane rail car: shows what the car's PLC reports through the data server, "
        "logs every fault, warning and clear, and sends the operator's commands back."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption demo(QStringLiteral("demo"), QStringLiteral("Run on the simulated car, in-process."));
    const QCommandLineOption broker(QStringLiteral("broker"),
                                    QStringLiteral("MQTT broker of the data server (default 127.0.0.1:1883)."),
                                    QStringLiteral("host[:port]"));
    const QCommandLineOption tlsCa(QStringLiteral("tls-ca"), QStringLiteral("Use TLS, trusting this CA file."),
                                   QStringLiteral("file"));
    const QCommandLineOption tlsCert(QStringLiteral("tls-cert"), QStringLiteral("Client certificate for TLS."),
                                     QStringLiteral("file"));
    const QCommandLineOption tlsKey(QStringLiteral("tls-key"), QStringLiteral("Client key for TLS."),
                                    QStringLiteral("file"));
    const QCommandLineOption username(QStringLiteral("username"), QStringLiteral("Broker user name."),
                                      QStringLiteral("name"));
    const QCommandLineOption passwordFile(
        QStringLiteral("password-file"),
        QStringLiteral("File holding the broker password (else $CORVANE_MQTT_PASSWORD)."), QStringLiteral("file"));
    const QCommandLineOption alarmLog(QStringLiteral("alarm-log"),
                                      QStringLiteral("Alarm log file (default %1).").arg(Station::defaultAlarmLogPath()),
                                      QStringLiteral("path"));
    parser.addOptions({demo, broker, tlsCa, tlsCert, tlsKey, username, passwordFile, alarmLog});

    auto fail = [&](const QString &message) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(message));
        return 2;
    };
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

    StationOptions o;
    o.demo = parser.isSet(demo);
    if (parser.isSet(broker) && !parseBroker(parser.value(broker), &o.brokerHost, &o.brokerPort))
        return fail(QStringLiteral("--broker wants host[:port], not '%1'").arg(parser.value(broker)));
    o.tlsCa = parser.value(tlsCa);
    o.tlsCert = parser.value(tlsCert);
    o.tlsKey = parser.value(tlsKey);
    if (o.tlsCert.isEmpty() != o.tlsKey.isEmpty())
        return fail(QStringLiteral("--tls-cert and --tls-key go together"));
    if (!o.tlsCert.isEmpty() && o.tlsCa.isEmpty())
        return fail(QStringLiteral("--tls-cert needs --tls-ca"));
    o.username = parser.value(username);
    o.passwordFile = parser.value(passwordFile);
    o.alarmLog = parser.isSet(alarmLog) ? parser.value(alarmLog) : Station::defaultAlarmLogPath();
    return o;
}

} // namespace corvane
