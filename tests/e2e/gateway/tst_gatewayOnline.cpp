// The car stays online through what real PLCs do (a busy answer now and then, refusing
// reads through gaps) and goes offline, saying why, when a range keeps failing: the
// gateway in process on a real mosquitto and the tests' own libmodbus PLC. Its threads
// (MQTT, PLC) are under ThreadSanitizer (label threads).
#include "MqttTestKit.h"
#include "TestPlc.h"

#include "gateway/Gateway.h"

#include <QElapsedTimer>

using namespace corvane;
using namespace corvane::gateway;
using namespace corvane::test;

namespace {

constexpr int kDeadline = 20'000;

const char kMap[] = "item,table,address,type,write\n"
                    "a,holding,10,u16,\nb,holding,11,u16,\nc,holding,20,u16,\n"
                    "k0,coil,0,bit,\nk5,coil,5,bit,\n";

QString state(Witness &w)
{
    QString last;
    for (const QString &line : w.lines()) {
        if (line.startsWith(QLatin1String("DSData/CVPlc/$state ")))
            last = line.section(u' ', 3);
    }
    return last;
}

int offlines(Witness &w)
{
    int n = 0;
    for (const QString &line : w.lines())
        n += line.startsWith(QLatin1String("DSData/CVPlc/$state ")) && line.section(u' ', 3) == u"offline";
    return n;
}

} // namespace

class tst_gatewayOnline : public QObject
{
    Q_OBJECT

    Broker broker;
    TestPlc plc;
    std::unique_ptr<Witness> witness;
    std::unique_ptr<Gateway> gateway;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(broker.start());
        QVERIFY(plc.start());
        // Only the mapped addresses: the plan's read through 12-19 and 1-4 is refused.
        plc.onlyHave({10, 11, 20}, {0, 5});
        plc.setRegister(20, 7);
        witness = std::make_unique<Witness>(broker, QStringLiteral("DSData/CVPlc/#"));
        QVERIFY(witness->waitReady());
        const ItemMap map = std::get<ItemMap>(parseItemMap(QString::fromLatin1(kMap), QStringLiteral("m.csv")));
        PlcSettings plc;
        plc.host = QStringLiteral("127.0.0.1");
        plc.port = this->plc.port();
        gateway = std::make_unique<Gateway>(map, planScan(map), plc, settingsFor(broker));
        gateway->start();
    }

    void onlineThroughRefusedGaps()
    {
        QTRY_COMPARE_WITH_TIMEOUT(state(*witness), QStringLiteral("online"), kDeadline);
        QCOMPARE(lastPayloadOf(QStringLiteral("c")), QStringLiteral("7"));
    }

    // One register busy about every third scan for three seconds: never offline.
    void onlineThroughBusyAnswers()
    {
        const int before = offlines(*witness);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 3000) {
            plc.failReads(11, 11, 6, 1);
            QTest::qWait(300);
        }
        QCOMPARE(state(*witness), QStringLiteral("online"));
        QCOMPARE(offlines(*witness), before);
        QVERIFY(plc.connections() == 1);
    }

    // Busy for good: offline within the live window (and a scan or two), the row and
    // the reason on $diagnostics; back when it answers again.
    void offlineWhenARangeKeepsFailing()
    {
        QElapsedTimer clock;
        plc.failReads(20, 20, 6);
        clock.start();
        QTRY_COMPARE_WITH_TIMEOUT(state(*witness), QStringLiteral("offline"), kDeadline);
        QVERIFY2(clock.elapsed() >= 900, qPrintable(QString::number(clock.elapsed())));
        const QString row = QStringLiteral("{\"item\":\"c\",\"reason\":\"holding 20-20: exception 06 (server busy)\"}");
        QTRY_VERIFY_WITH_TIMEOUT(lastPayloadOf(QStringLiteral("$diagnostics")).contains(row), kDeadline);
        plc.failReads(0, 0, 0);
        QTRY_COMPARE_WITH_TIMEOUT(state(*witness), QStringLiteral("online"), kDeadline);
        QCOMPARE(plc.connections(), 1);
    }

    void cleanupTestCase()
    {
        gateway.reset();
        witness.reset();
    }

private:
    QString lastPayloadOf(const QString &item)
    {
        QString last;
        const QString prefix = QStringLiteral("DSData/CVPlc/") + item + u' ';
        for (const QString &line : witness->lines()) {
            if (line.startsWith(prefix))
                last = line.section(u' ', 3);
        }
        return last;
    }
};

QTEST_GUILESS_MAIN(tst_gatewayOnline)
#include "tst_gatewayOnline.moc"
