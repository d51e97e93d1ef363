// corvane-gateway over Modbus RTU: a serial line made of a socat pty pair, the serial
// RTU server of Debian's python3-pymodbus at the other end (19200 baud and unit 1, the
// gateway's defaults; no parity, which pyserial cannot set on a pty), a real mosquitto.
#include "GatewayKit.h"
#include "MqttTestKit.h"

#include <QFileInfo>

using namespace corvane::test;

namespace {
constexpr int kDeadline = 30'000;

QString topic(const QString &item)
{
    return QStringLiteral("DSData/CVPlc/") + item;
}
} // namespace

class tst_gatewayRtu : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void carOnlineOverRtu()
    {
        QTemporaryDir dir;
        const QString plcEnd = dir.filePath(QStringLiteral("plc")), gatewayEnd = dir.filePath(QStringLiteral("gw"));
        QProcess socat;
        socat.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        socat.start(QStringLiteral("socat"), {QStringLiteral("pty,raw,echo=0,link=") + plcEnd,
                                              QStringLiteral("pty,raw,echo=0,link=") + gatewayEnd});
        QVERIFY2(socat.waitForStarted(10'000), "socat (Debian package socat) is needed");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(plcEnd) && QFileInfo::exists(gatewayEnd), kDeadline);

        Plc plc(plcEnd);
        QVERIFY(plc.start({"set holding 10 1234", "set holding 11 65531", "set coil 5 1"}));
        QFile map(dir.filePath(QStringLiteral("map.csv")));
        QVERIFY(map.open(QIODevice::WriteOnly));
        map.write("item,table,address,type,write\nhu,holding,10,u16,yes\nhbit,holding,11,bit2,yes\nk,coil,5,bit,\n");
        map.close();
        Broker broker;
        QVERIFY(broker.start());
        Witness witness(broker, QStringLiteral("DSData/CVPlc/#"));
        QVERIFY(witness.waitReady());
        Program gateway(QStringLiteral(CORVANE_GATEWAY),
                        {"--plc", QStringLiteral("rtu:") + gatewayEnd, "--parity", "N", "--map", map.fileName(),
                         "--broker", QStringLiteral("127.0.0.1:%1").arg(broker.port())});
        const auto value = [&](const QString &item) { return lastPayload(witness.lines(), topic(item)); };
        QTRY_COMPARE_WITH_TIMEOUT(value("$state"), QStringLiteral("online"), kDeadline);
        QCOMPARE(value("hu"), QStringLiteral("1234"));
        QCOMPARE(value("hbit"), QStringLiteral("0"));
        QCOMPARE(value("k"), QStringLiteral("1"));

        QVERIFY(publish(broker, topic("hu") + "/set", "77", false));
        QVERIFY(publish(broker, topic("hbit") + "/set", "1", false));
        QTRY_VERIFY_WITH_TIMEOUT(plc.writes().contains("write holding 11 65535"), kDeadline);
        QCOMPARE(plc.writes(), (QStringList{"write holding 10 77", "write holding 11 65535"}));
        QTRY_COMPARE_WITH_TIMEOUT(value("hbit"), QStringLiteral("1"), kDeadline);
        QCOMPARE(value("hu"), QStringLiteral("77"));
        QVERIFY2(gateway.err().contains("rtu:" + gatewayEnd + " 19200 8N1"), qPrintable(gateway.err()));
        QVERIFY2(!gateway.err().contains("PLC lost"), qPrintable(gateway.err()));
        socat.kill();
        socat.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(tst_gatewayRtu)
#include "tst_gatewayRtu.moc"
