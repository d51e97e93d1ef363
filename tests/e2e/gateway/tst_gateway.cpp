// corvane-gateway between a PLC nobody here wrote (the Modbus server of Debian's
// python3-pymodbus) and a real mosquitto, checked from both ends.
#include "GatewayKit.h"
#include "MqttTestKit.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <csignal>

using namespace corvane::test;

namespace {

constexpr int kDeadline = 20'000;

QString topic(const QString &item)
{
    return QStringLiteral("DSData/CVPlc/") + item;
}

// One row of each type, a read-only register, an input register, and two rows at
// the end of the PLC's memory, the second beyond it.
const char kMap[] = R"(# words: low-first
item,table,address,type,write
c27,coil,1047,bit,
c22,coil,1042,bit,yes
x200,discrete,128,bit,
hu,holding,10,u16,yes
hs,holding,11,s16,yes
hb,holding,12,bcd16,yes
hU,holding,14,u32,yes
hS,holding,16,s32,yes
hB,holding,18,bcd32,yes
hf,holding,20,f32,yes
hbit,holding,22,bit3,yes
ro,holding,23,u16,
ir,input,5,s16,
edge,holding,9998,u16,
gone,holding,10001,u16,
)";

const QStringList kInitial{
        "set coil 1047 1",        "set discrete 128 1",   "set holding 10 65535",       "set holding 11 65535",
        "set holding 12 4660",    "set holding 14 0 1",   "set holding 16 65534 65535", "set holding 18 22136 4660",
        "set holding 20 0 16320", "set holding 22 65527", "set holding 23 7",           "set input 5 65535",
        "set holding 9998 42"};

} // namespace

class tst_gateway : public QObject
{
    Q_OBJECT

    Broker broker;
    Plc plc;
    QTemporaryDir dir;
    std::unique_ptr<Witness> witness;
    std::unique_ptr<Program> gateway;
    QStringList gatewayArgs;

    QString value(const QString &item) { return lastPayload(witness->lines(), topic(item)); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(broker.start());
        QVERIFY(plc.start(kInitial));
        QFile map(dir.filePath(QStringLiteral("map.csv")));
        QVERIFY(map.open(QIODevice::WriteOnly));
        map.write(kMap);
        map.close();
        witness = std::make_unique<Witness>(broker, QStringLiteral("DSData/CVPlc/#"));
        QVERIFY(witness->waitReady());
        gatewayArgs = QStringList{
                "--plc",    QStringLiteral("127.0.0.1:%1").arg(plc.port()),   "--map", map.fileName(), "--print-plan",
                "--broker", QStringLiteral("127.0.0.1:%1").arg(broker.port())};
        gateway = std::make_unique<Program>(QStringLiteral(CORVANE_GATEWAY), gatewayArgs);
    }

    // Each type decoded; the values are out before the data is said to be live.
    void readsEveryType()
    {
        const QList<std::pair<QString, QString>> expected{
                {"c27", "1"},    {"x200", "1"}, {"hu", "65535"},    {"hs", "-1"},  {"hb", "1234"},
                {"hU", "65536"}, {"hS", "-2"},  {"hB", "12345678"}, {"hf", "1.5"}, {"hbit", "0"},
                {"ro", "7"},     {"ir", "-1"},  {"edge", "42"}};
        QTRY_COMPARE_WITH_TIMEOUT(value("$state"), QStringLiteral("online"), kDeadline);
        // coil 1042-1047, discrete 128, holding 10-23, holding 9998-10001, input 5
        QVERIFY2(gateway->err().contains("plan: 5 requests, 15 rows, 40 bytes a scan"), qPrintable(gateway->err()));
        const QStringList lines = witness->lines();
        const qsizetype online = indexOf(lines, topic("$state"), "online");
        const qsizetype status = indexOf(lines, topic("Status"), "1");
        QVERIFY(status >= 0 && status < online);
        for (const auto &[item, text] : expected) {
            const qsizetype at = indexOf(lines, topic(item), text);
            QVERIFY2(at >= 0 && at < online, qPrintable(item + u' ' + value(item)));
        }
    }

    // A row the PLC refuses is reported once; the rest of the scan goes on.
    void illegalAddressRow()
    {
        QCOMPARE(plc.command("set holding 23 8"), QStringLiteral("ok"));
        QTRY_COMPARE_WITH_TIMEOUT(value("ro"), QStringLiteral("8"), kDeadline);
        QCOMPARE(gateway->count(QStringLiteral("read error: gone (holding 10001)")), 1);
        QCOMPARE(value("edge"), QStringLiteral("42"));
        QVERIFY(value("gone").isNull());
    }

    void writes_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("plcWrite");
        QTest::addColumn<QString>("published");
        QTest::newRow("coil") << "c22"
                              << "1"
                              << "write coil 1042 1"
                              << "1";
        QTest::newRow("u16 rounded") << "hu"
                                     << "39321.6"
                                     << "write holding 10 39322"
                                     << "39322";
        QTest::newRow("s16 half away") << "hs"
                                       << "-2.5"
                                       << "write holding 11 65533"
                                       << "-3";
        QTest::newRow("bcd16") << "hb"
                               << "99"
                               << "write holding 12 153"
                               << "99";
        QTest::newRow("u32 setpoint") << "hU"
                                      << "39321.6"
                                      << "write holding 14 39322 0"
                                      << "39322";
        QTest::newRow("s32") << "hS"
                             << "-70000"
                             << "write holding 16 61072 65534"
                             << "-70000";
        QTest::newRow("bcd32") << "hB"
                               << "87654321"
                               << "write holding 18 17185 34661"
                               << "87654321";
        QTest::newRow("f32") << "hf"
                             << "-0.5"
                             << "write holding 20 0 48896"
                             << "-0.5";
        QTest::newRow("bit3 keeps the others") << "hbit"
                                               << "1"
                                               << "write holding 22 65535"
                                               << "1";
    }
    void writes()
    {
        QFETCH(QString, item);
        QFETCH(QString, text);
        QFETCH(QString, plcWrite);
        QFETCH(QString, published);
        QVERIFY(publish(broker, topic(item) + "/set", text.toUtf8(), false));
        QTRY_VERIFY_WITH_TIMEOUT(plc.writes().contains(plcWrite), kDeadline);
        QTRY_COMPARE_WITH_TIMEOUT(value(item), published, kDeadline);
    }

    // Nothing refused reaches the PLC or changes a published value; each refusal is
    // one log line with the item, the text and the reason.
    void refusedWrites()
    {
        const QList<std::array<QString, 3>> refused{{"nosuch", "1", "not in the map"},
                                                    {"ro", "5", "not marked write"},
                                                    {"x200", "0", "discrete input"},
                                                    {"ir", "3", "input register"},
                                                    {"hu", "70000", "out of range for u16"},
                                                    {"hu", "abc", "not a number"},
                                                    {"c22", "2", "0 or 1"},
                                                    {"hbit", "0.5", "0 or 1"}};
        const QStringList before = witness->lines();
        const qsizetype writesBefore = plc.writes().size();
        for (const auto &[item, text, reason] : refused)
            QVERIFY(publish(broker, topic(item) + "/set", text.toUtf8(), false));
        // The gateway takes writes in order: once this one is in the PLC, every
        // refused one before it has been dealt with.
        QVERIFY(publish(broker, topic("hu") + "/set", "123", false));
        QTRY_VERIFY_WITH_TIMEOUT(plc.writes().contains("write holding 10 123"), kDeadline);
        QCOMPARE(plc.writes().mid(writesBefore), QStringList{"write holding 10 123"});
        for (const auto &[item, text, reason] : refused) {
            const QString line = QStringLiteral("write refused: \"%1\" \"%2\": ").arg(item, text);
            QVERIFY2(gateway->count(line) == 1, qPrintable(line));
            const QString logged = gateway->err().section(line, 1).section(u'\n', 0, 0);
            QVERIFY2(logged.contains(reason), qPrintable(line + logged));
        }
        QTRY_COMPARE_WITH_TIMEOUT(value("hu"), QStringLiteral("123"), kDeadline);
        const QStringList after = witness->lines().mid(before.size());
        for (const char *item : {"ro", "x200", "ir", "c22", "hbit", "nosuch"})
            QVERIFY2(lastPayload(after, topic(item)).isNull(), qPrintable(item));
    }

    // A write left retained on the broker (any station may publish one) is never
    // carried out: not when it arrives, not at the next start of the gateway.
    void retainedWriteRefused()
    {
        const QString line = QStringLiteral("write refused: \"c22\" \"0\": retained");
        const qsizetype writesBefore = plc.writes().size();
        QVERIFY(publish(broker, topic("c22") + "/set", "0", true));
        QTRY_COMPARE_WITH_TIMEOUT(gateway->count(line), 1, kDeadline);
        gateway->signal(SIGTERM);
        QCOMPARE(gateway->waitForExit(), 0);
        gateway = std::make_unique<Program>(QStringLiteral(CORVANE_GATEWAY), gatewayArgs);
        QTRY_COMPARE_WITH_TIMEOUT(gateway->count(line), 1, kDeadline);
        // A live write after it still goes through, and is the only one the PLC saw.
        QVERIFY(publish(broker, topic("hu") + "/set", "321", false));
        QTRY_VERIFY_WITH_TIMEOUT(plc.writes().contains("write holding 10 321"), kDeadline);
        QCOMPARE(plc.writes().mid(writesBefore), QStringList{"write holding 10 321"});
        QVERIFY(publish(broker, topic("c22") + "/set", "", true)); // cleared for what follows
    }

    // What a technician reads: the row the PLC does not have, with its reason; the
    // scan's figures.
    void diagnostics()
    {
        // The scan that split a request cost one more; the next one is published too.
        QTRY_VERIFY_WITH_TIMEOUT(value("$diagnostics").contains(QLatin1String("\"requests_per_scan\":6")), kDeadline);
        const QJsonObject d = QJsonDocument::fromJson(value("$diagnostics").toUtf8()).object();
        const QJsonArray unreadable = d["unreadable"].toArray();
        QCOMPARE(unreadable.size(), 1);
        QCOMPARE(unreadable[0]["item"].toString(), QStringLiteral("gone"));
        QVERIFY2(unreadable[0]["reason"].toString().contains("exception 02 (illegal data address)"),
                 qPrintable(value("$diagnostics")));
        // The five planned requests, the one that reached past the PLC's memory split in two.
        QCOMPARE(d["requests_per_scan"].toInt(), 6);
        QVERIFY(d["scans"].toInt() > 0);
        QVERIFY(d["scan_ms"].toObject()["max"].toDouble() > 0);
        qInfo("%s", qPrintable(value("$diagnostics")));
    }

    // The broker restarted with nothing retained: every value is published again,
    // so a station that subscribes now gets them at once.
    void republishedAfterBrokerRestart()
    {
        broker.kill();
        QVERIFY(broker.start());
        Witness late(broker, QStringLiteral("DSData/CVPlc/#"));
        QVERIFY(late.waitReady());
        QTRY_COMPARE_WITH_TIMEOUT(lastPayload(late.lines(), topic("edge")), QStringLiteral("42"), kDeadline);
        QTRY_COMPARE_WITH_TIMEOUT(lastPayload(late.lines(), topic("$state")), QStringLiteral("online"), kDeadline);
        witness = std::make_unique<Witness>(broker, QStringLiteral("DSData/CVPlc/#"));
        QVERIFY(witness->waitReady());
    }

    // A PLC that never answers holds up nothing on the MQTT side: writes are still
    // checked at once, and the data goes offline within two seconds.
    void silentPlc()
    {
        const qsizetype from = witness->lines().size();
        const int lost = gateway->count(QStringLiteral("PLC lost:"));
        QElapsedTimer clock;
        plc.pause();
        clock.start();
        QVERIFY(publish(broker, topic("ro") + "/set", "1", false));
        QTRY_VERIFY_WITH_TIMEOUT(gateway->count(QStringLiteral("write refused: \"ro\" \"1\"")) == 1, kDeadline);
        QTRY_VERIFY_WITH_TIMEOUT(indexOf(witness->lines(), topic("$state"), "offline", from) >= 0, kDeadline);
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(gateway->count(QStringLiteral("PLC lost:")), lost + 1);
        plc.resume();
        QTRY_VERIFY_WITH_TIMEOUT(indexOf(witness->lines(), topic("$state"), "online", from) >= 0, kDeadline);
    }

    // The PLC gone: offline within two seconds, one log line however long it lasts;
    // back: a whole scan, then Status 1 and online.
    void plcKilledAndRestarted()
    {
        const qsizetype from = witness->lines().size();
        const int lost = gateway->count(QStringLiteral("PLC lost:"));
        QElapsedTimer clock;
        plc.kill();
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(indexOf(witness->lines(), topic("$state"), "offline", from) >= 0, kDeadline);
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(indexOf(witness->lines(), topic("Status"), "0", from) >= 0);
        // Several reconnections fail while it is down (0.25 + 0.5 + 1 s of back-off).
        QTRY_VERIFY_WITH_TIMEOUT(clock.elapsed() > 2500, kDeadline);
        QCOMPARE(gateway->count(QStringLiteral("PLC lost:")), lost + 1);

        QStringList sets = kInitial;
        sets << "set holding 23 99";
        QVERIFY(plc.start(sets));
        QTRY_VERIFY_WITH_TIMEOUT(indexOf(witness->lines(), topic("$state"), "online", from) >= 0, kDeadline);
        const QStringList lines = witness->lines();
        const qsizetype value = indexOf(lines, topic("ro"), "99", from);
        const qsizetype status = indexOf(lines, topic("Status"), "1", from);
        QVERIFY(value >= 0 && value < status);
        QVERIFY(status < indexOf(lines, topic("$state"), "online", from));
        QCOMPARE(gateway->count(QStringLiteral("PLC lost:")), lost + 1);
    }

    // What the options cannot be, refused before anything starts.
    void badOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("unit id libmodbus sends as 255")
                << QStringList{"--unit-id", "250"} << "--unit-id wants 0-247 or 255";
        QTest::newRow("RTU unit id 0") << QStringList{"--plc", "rtu:/dev/null", "--unit-id", "0"}
                                       << "--unit-id wants 1-247";
        QTest::newRow("registers past the protocol")
                << QStringList{"--max-registers", "126"} << "--max-registers wants 1-125";
        QTest::newRow("parity") << QStringList{"--plc", "rtu:/dev/null", "--parity", "X"} << "--parity wants N, E or O";
        QTest::newRow("baud over TCP") << QStringList{"--baud", "9600"} << "--baud is for --plc rtu:DEVICE";
    }
    void badOptions()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        QStringList all{"--plc", "127.0.0.1:1", "--map", dir.filePath(QStringLiteral("map.csv"))};
        all << args;
        Program p(QStringLiteral(CORVANE_GATEWAY), all);
        QCOMPARE(p.waitForExit(), 2);
        QVERIFY2(p.err().contains(message), qPrintable(p.err()));
    }

    void unresolvedName()
    {
        RefusingPort noBroker; // this one must not say offline on the test's broker
        Program p(QStringLiteral(CORVANE_GATEWAY),
                  {"--plc", "plc.invalid:502", "--map", dir.filePath(QStringLiteral("map.csv")), "--broker",
                   QStringLiteral("127.0.0.1:%1").arg(noBroker.port())});
        QTRY_VERIFY_WITH_TIMEOUT(p.count(QStringLiteral("plc.invalid does not resolve")) == 1, kDeadline);
        QVERIFY2(!p.err().contains(QLatin1String("cannot connect to plc.invalid")), qPrintable(p.err()));
    }

    void sigtermSaysOffline()
    {
        const qsizetype from = witness->lines().size();
        gateway->signal(SIGTERM);
        QCOMPARE(gateway->waitForExit(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(indexOf(witness->lines(), topic("$state"), "offline", from) >= 0, kDeadline);
    }
};

QTEST_GUILESS_MAIN(tst_gateway)
#include "tst_gateway.moc"
