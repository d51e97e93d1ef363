// The whole chain on a broker set up as the README says (password file, ACL): the
// PLC, the gateway on the shipped map, the station as a program and in-process
// with every screen, and a client without the right to write.
#include "GatewayKit.h"
#include "MqttTestKit.h"
#include "TestStation.h"

#include "screens/AllScreens.h"
#include "station/ScreenRegistry.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <csignal>

using namespace corvane;
using namespace corvane::test;

namespace {
constexpr int kDeadline = 30'000;
const QString kC27Fault = QStringLiteral("FAULT C27 Handbrake ON, Car Moving  ");

} // namespace

class tst_gatewayStation : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void chainWithAcl()
    {
        QTemporaryDir dir;
        const QString passwords = dir.filePath("passwd");
        const QString acl = dir.filePath("acl");
        const QString gatewayPw = dir.filePath("gateway.pw"), stationPw = dir.filePath("station.pw");
        for (const auto &[user, file, pw] :
             {std::tuple{"corvane-gateway", gatewayPw, "g4te"}, std::tuple{"station1", stationPw, "st4tion one"},
              std::tuple{"viewer", QString(), "v1ew"}}) {
            QVERIFY(addBrokerUser(passwords, QString::fromLatin1(user), QString::fromLatin1(pw)));
            if (!file.isEmpty()) {
                QFile f(file);
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write(QByteArray(pw) + '\n');
            }
        }
        // The shipped ACL as it is, after lines for the test's own witness: it comes
        // anonymously (the test kit's mosquitto clients) and may only read.
        {
            QFile shipped(QStringLiteral(CORVANE_ACL));
            QFile f(acl);
            QVERIFY(shipped.open(QIODevice::ReadOnly) && f.open(QIODevice::WriteOnly));
            f.write("topic read DSData/CVPlc/#\ntopic readwrite witness/#\n" + shipped.readAll());
        }
        Broker broker({}, QStringLiteral("allow_anonymous true\npassword_file %1\nacl_file %2\n").arg(passwords, acl));
        QVERIFY(broker.start());
        const QString brokerText = QStringLiteral("127.0.0.1:%1").arg(broker.port());
        Witness witness(broker, "DSData/CVPlc/#");
        QVERIFY(witness.waitReady());

        Plc plc(Broker::freePort());
        QVERIFY(plc.start());
        Program gateway(QStringLiteral(CORVANE_GATEWAY),
                        {"--plc", QStringLiteral("127.0.0.1:%1").arg(plc.port()), "--map", QStringLiteral(CORVANE_MAP),
                         "--broker", brokerText, "--username", "corvane-gateway", "--password-file", gatewayPw});
        const QString log = dir.filePath("alarm_log.txt");
        Program station(QStringLiteral(CORVANE_STATION),
                        {"--broker", brokerText, "--car-main", "--alarm-log", log, "--dump-links",
                         dir.filePath("links.json"), "--username", "station1", "--password-file", stationPw});
        QTRY_COMPARE_WITH_TIMEOUT(lastPayload(witness.lines(), "DSData/CVPlc/$state"), QStringLiteral("online"),
                                  kDeadline);

        // The PLC's hand brake flag reaches the station's alarm log. Changed once the
        // station is up and has logged the car's state: a value that is already there
        // when a screen first links is not a change.
        QTRY_VERIFY_WITH_TIMEOUT(station.err().contains("data server link up") && !alarmMessages(log).isEmpty(),
                                 kDeadline);
        QCOMPARE(plc.command("set coil 1047 1"), QStringLiteral("ok"));
        if (!QTest::qWaitFor([&] { return alarmMessages(log).contains(kC27Fault); }, kDeadline)) {
            // What the station's links hold, for the failure message.
            const QString dump = dir.filePath("links.json");
            station.signal(SIGUSR1);
            (void) QTest::qWaitFor([&] { return QFileInfo(dump).size() > 0; }, 10'000);
            QFile f(dump);
            f.open(QIODevice::ReadOnly);
            QString links;
            for (const QString &line : QString::fromUtf8(f.readAll()).split(u'\n')) {
                if (line.contains(QLatin1String("\"item\":\"c27\""))
                    || line.contains(QLatin1String("\"item\":\"x226\"")))
                    links += line + u'\n';
            }
            QFAIL(qPrintable(gateway.err() + station.err() + lastPayload(witness.lines(), "DSData/CVPlc/c27") + u'\n'
                             + alarmMessages(log).join(u'|').left(300) + u'\n' + links));
        }

        // Without the right, neither a write nor a value gets through.
        const QStringList viewer{"-u", "viewer", "-P", "v1ew"};
        const QStringList station1{"-u", "station1", "-P", "st4tion one"};
        QVERIFY(publish(broker, "DSData/CVPlc/c22/set", "1", false, viewer));
        QVERIFY(publish(broker, "DSData/CVPlc/c27", "0", true, station1));
        QVERIFY(publish(broker, "DSData/CVPlc/v10202:db/set", "100", false, station1));
        QTRY_VERIFY_WITH_TIMEOUT(plc.writes().contains("write holding 4226 100 0"), kDeadline);
        QCOMPARE(plc.writes(), QStringList{"write holding 4226 100 0"});
        QCOMPARE(lastPayload(witness.lines(), "DSData/CVPlc/c27"), QStringLiteral("1"));

        // The operator's commands, from the station's own screens.
        MqttSettings settings = settingsFor(broker);
        settings.username = QStringLiteral("station1");
        settings.password = QStringLiteral("st4tion one");
        QtScheduler scheduler;
        MqttTagSource tags(settings);
        auto ui = std::make_unique<Station>(scheduler, tags, dir.filePath("ui_log.txt"));
        registerAllScreens(*ui);
        tags.start();
        ScreenRegistry &screens = ui->screens();
        QVERIFY(screens.show("frmCVCarmain"));
        QTRY_VERIFY_WITH_TIMEOUT(tags.isLinkUp(), kDeadline);
        screens.find("frmCVCarmain")->control<QPushButton>("cmdBkfdStop")->click();
        QTRY_VERIFY2_WITH_TIMEOUT(plc.writes().contains("write coil 1042 0"),
                                  qPrintable(plc.writes().join(u',') + gateway.err()), kDeadline);
        QCOMPARE(plc.writes().mid(1), (QStringList{"write coil 1042 1", "write coil 1042 0"}));

        QVERIFY(screens.show("frmBlowASpeeds"));
        auto *entry = screens.find("frmBlowASpeeds")->control<QLineEdit>("txtAEndNoDV10200");
        QVERIFY(entry);
        entry->selectAll();
        QTest::keyClicks(entry, "60");
        screens.find("frmBlowASpeeds")->control<QPushButton>("cmdWrtDV10200")->click();
        QTRY_VERIFY_WITH_TIMEOUT(plc.writes().contains("write holding 4224 39322 0"), kDeadline);
        QTRY_COMPARE_WITH_TIMEOUT(lastPayload(witness.lines(), "DSData/CVPlc/v10200:db"), QStringLiteral("39322"),
                                  kDeadline);

        ui.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

CORVANE_TEST_MAIN(tst_gatewayStation)
#include "tst_gatewayStation.moc"
