// The station on a real mosquitto: values in, pokes out, and what happens when the
// broker or the data server goes away and comes back. Real time: every wait polls
// with a generous deadline.
#include "MqttTestKit.h"
#include "Sanitizer.h"
#include "TestStation.h"

#include "station/ScreenRegistry.h"
#include "transport/MqttClient.h"
#include "ui/Controls.h"

#include <QPointer>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>

using namespace corvane;
using namespace corvane::test;

namespace {

constexpr int kDeadline = 15'000;
const QString kSelect = QStringLiteral("frmSelect");
const QString kMain = QStringLiteral("frmCVCarmain");
const QString kFault = QStringLiteral("FAULT DSDATA Data Server Link Lost  ");
const QString kClear = QStringLiteral("CLEAR DSDATA Data Server Link Lost  ");
const QString kC27Fault = QString::fromUtf16(CarProbe::kC27.raised);
const QString kC27Clear = QString::fromUtf16(CarProbe::kC27.cleared);

QString cvCaption(const MqttStation &s)
{
    Screen *select = s.station->screens().find(kSelect);
    auto *b = select ? select->control<QPushButton>(QStringLiteral("cmdCV")) : nullptr;
    return b ? b->text() : QStringLiteral("<no cmdCV>");
}

} // namespace

class TestMqttLink : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void retainedValuesArriveAtOpenAndManualLinksGetNothing()
    {
        Broker broker;
        QVERIFY(broker.start());
        QVERIFY(publish(broker, itemTopic(QStringLiteral("c27")), "0"));
        QVERIFY(publish(broker, itemTopic(QStringLiteral("v10020:b")), "45.5"));
        QVERIFY(publish(broker, itemTopic(QStringLiteral("c22")), "7")); // a written item's value is not ours to show
        QVERIFY(publish(broker, stateTopic(), "online"));

        MqttStation s(settingsFor(broker));
        s.station->screens().show(kMain);
        QTRY_COMPARE_WITH_TIMEOUT(s.car->lblC27->value(), QStringLiteral("0"), kDeadline);
        QTRY_COMPARE_WITH_TIMEOUT(s.car->lblMPHV10020->text(), QStringLiteral("45.5"), kDeadline);
        QCOMPARE(s.alarmMessages(), QStringList{kC27Clear});

        // A second screen on the same item shares the subscription and still gets the
        // value at once.
        auto *second = static_cast<CarProbe *>(
                s.station->screens().add(std::make_unique<CarProbe>(*s.station, QStringLiteral("second"))));
        second->load();
        QCOMPARE(second->lblC27->value(), QStringLiteral("1")); // never inside the open
        QTRY_COMPARE_WITH_TIMEOUT(second->lblC27->value(), QStringLiteral("0"), kDeadline);
        second->unload();

        QVERIFY(publish(broker, itemTopic(QStringLiteral("c27")), "1"));
        QTRY_COMPARE_WITH_TIMEOUT(s.car->changes, QStringList({"0", "1"}), kDeadline);
        QCOMPARE(s.alarmMessages(), QStringList({kC27Clear, kC27Clear, kC27Fault}));
        QCOMPARE(s.car->lblC22->value(), QStringLiteral("0"));
        const QString log = logSinceLastStart(broker);
        QVERIFY(log.contains(QLatin1String("\tDSData/CVPlc/c27 (QoS 1)")));
        QVERIFY2(!log.contains(QLatin1String("\tDSData/CVPlc/c22 (")), "a manual link subscribed");
    }

    void pokesGoToSetWithQos1NotRetainedEveryTime()
    {
        Broker broker;
        QVERIFY(broker.start());
        MqttDataServer server(settingsFor(broker));
        server.setValue(QStringLiteral("c27"), QStringLiteral("0"));
        server.start();
        MqttStation s(settingsFor(broker));
        s.station->screens().show(kMain);
        QTRY_VERIFY_WITH_TIMEOUT(s.tags->isLinkUp(), kDeadline);

        Witness sets(broker, QStringLiteral("DSData/CVPlc/+/set"));
        QVERIFY(sets.waitReady());
        QVERIFY(s.car->lblC22->write(QStringLiteral("1")));
        QVERIFY(s.car->lblC22->write(QStringLiteral("1")));
        QVERIFY(s.car->lblC22->write(QStringLiteral("0")));
        QTRY_COMPARE_WITH_TIMEOUT(
                sets.lines(),
                QStringList({"DSData/CVPlc/c22/set 1 0 1", "DSData/CVPlc/c22/set 1 0 1", "DSData/CVPlc/c22/set 1 0 0"}),
                kDeadline);
        Witness late(broker, QStringLiteral("DSData/CVPlc/+/set"));
        QVERIFY(late.waitReady());
        QVERIFY2(late.lines().isEmpty(), "a poke was retained");

        // A handler that writes, and a data server that answers each write of c22 with
        // c27: each answer arrives as a delivery of its own, never inside the handler.
        connect(&server, &MqttDataServer::written, &server, [&](const QString &item, const QString &value) {
            if (item == QLatin1String("c22"))
                server.setValue(QStringLiteral("c27"), value);
        });
        s.car->onC27 = [&] {
            if (s.car->changes.size() < 6)
                s.car->lblC22->write(s.car->lblC27->reads(1) ? QStringLiteral("0") : QStringLiteral("1"));
        };
        server.setValue(QStringLiteral("c27"), QStringLiteral("1"));
        QTRY_COMPARE_WITH_TIMEOUT(s.car->changes, QStringList({"0", "1", "0", "1", "0", "1"}), kDeadline);
        QCOMPARE(s.car->deepest, 1);
    }

    void brokerAbsentAtStartThenStarted()
    {
        Broker broker; // not running yet
        MqttStation s(settingsFor(broker));
        const qint64 building = buildingTwoScreensMs();
        const qint64 stall = longestStall(
                [&] {
                    s.station->screens().show(kSelect);
                    s.station->screens().show(kMain);
                },
                1000);
        QVERIFY2(stall < building + measuredBound(150),
                 qPrintable(QStringLiteral("UI held %1 ms, building the screens %2 ms").arg(stall).arg(building)));
        QCOMPARE(s.title(kSelect), QStringLiteral(" Ordovan [NO DATA]"));
        QCOMPARE(s.title(kMain), QStringLiteral("Corvane Main Interface [NO DATA]"));
        QCOMPARE(cvCaption(s), QStringLiteral("Corvane Link NOT Active"));
        QVERIFY(!s.car->lblC22->write(QStringLiteral("1")));
        QCOMPARE(s.car->lblC22->value(), QStringLiteral("1"));

        QVERIFY(broker.start());
        QVERIFY(publish(broker, itemTopic(QStringLiteral("Status")), "1"));
        QVERIFY(publish(broker, itemTopic(QStringLiteral("c27")), "0"));
        QVERIFY(publish(broker, stateTopic(), "online"));
        QTRY_COMPARE_WITH_TIMEOUT(cvCaption(s), QStringLiteral("Corvane Link Active"), kDeadline);
        QCOMPARE(s.title(kSelect), QStringLiteral(" Ordovan"));
        QCOMPARE(s.title(kMain), QStringLiteral("Corvane Main Interface"));
        QTRY_COMPARE_WITH_TIMEOUT(s.car->lblC27->value(), QStringLiteral("0"), kDeadline);
        // Never connected before: nothing was lost, so no DSDATA line.
        QCOMPARE(s.alarmMessages(), QStringList{kC27Clear});
    }

    void brokerKilledAndRestarted()
    {
        Broker broker;
        QVERIFY(broker.start());
        MqttDataServer server(settingsFor(broker));
        server.setValue(QStringLiteral("Status"), QStringLiteral("1"));
        server.setValue(QStringLiteral("c27"), QStringLiteral("0"));
        server.start();
        MqttStation s(settingsFor(broker));
        s.station->screens().show(kSelect);
        s.station->screens().show(kMain);
        QTRY_COMPARE_WITH_TIMEOUT(cvCaption(s), QStringLiteral("Corvane Link Active"), kDeadline);
        QTRY_COMPARE_WITH_TIMEOUT(s.alarmMessages(), QStringList{kC27Clear}, kDeadline);

        broker.kill();
        QTRY_VERIFY_WITH_TIMEOUT(!s.tags->isLinkUp(), kDeadline);
        QCOMPARE(s.alarmMessages(), QStringList({kC27Clear, kFault}));
        QCOMPARE(s.title(kSelect), QStringLiteral(" Ordovan [NO DATA]"));
        QCOMPARE(s.title(kMain), QStringLiteral("Corvane Main Interface [NO DATA]"));
        QTRY_COMPARE_WITH_TIMEOUT(cvCaption(s), QStringLiteral("Corvane Link NOT Active"), kDeadline);
        QCOMPARE(s.car->lblC27->value(), QStringLiteral("0")); // kept, nothing invented

        QElapsedTimer clock;
        clock.start();
        QVERIFY(!s.car->lblC22->write(QStringLiteral("1"))); // fails at once, is not kept for later
        QVERIFY(clock.elapsed() < measuredBound(50));
        QCOMPARE(s.car->lblC22->value(), QStringLiteral("1"));

        server.setValue(QStringLiteral("c27"), QStringLiteral("1")); // the car moved on meanwhile
        QVERIFY(broker.start());
        QTRY_VERIFY_WITH_TIMEOUT(s.tags->isLinkUp(), kDeadline);
        QTRY_COMPARE_WITH_TIMEOUT(s.alarmMessages(), QStringList({kC27Clear, kFault, kClear, kC27Fault}), kDeadline);
        QCOMPARE(s.title(kMain), QStringLiteral("Corvane Main Interface"));
        QTRY_COMPARE_WITH_TIMEOUT(cvCaption(s), QStringLiteral("Corvane Link Active"), kDeadline);

        // The write made during the outage never reached the broker; a write now does,
        // alone (one kept from the outage would go before it).
        const QLatin1String setTopic("'DSData/CVPlc/c22/set'");
        QVERIFY(s.car->lblC22->write(QStringLiteral("0")));
        QTRY_VERIFY_WITH_TIMEOUT(logSinceLastStart(broker).contains(setTopic), kDeadline);
        const QStringList received = logSinceLastStart(broker).split(u'\n').filter(QStringLiteral("Received PUBLISH"));
        QCOMPARE(received.filter(setTopic).size(), 1);
    }

    void brokerRestartedWithoutItsDataServerIsNoLink()
    {
        Broker broker;
        QVERIFY(broker.start());
        QVERIFY(publish(broker, stateTopic(), "online"));
        MqttStation s(settingsFor(broker));
        s.station->screens().show(kMain);
        QTRY_VERIFY_WITH_TIMEOUT(s.tags->isLinkUp(), kDeadline);

        broker.kill();
        QTRY_VERIFY_WITH_TIMEOUT(!s.tags->isBrokerConnected(), kDeadline);
        QVERIFY(broker.start()); // empty: nobody says "online" on it
        QTRY_VERIFY_WITH_TIMEOUT(s.tags->isBrokerConnected(), kDeadline);
        // A probe answered on the new connection comes after its subscriptions' retained
        // values: whatever the broker had to say has been handed over by then.
        const int probes = s.tags->probesAnswered();
        QTRY_VERIFY_WITH_TIMEOUT(s.tags->probesAnswered() > probes, kDeadline);
        QCoreApplication::processEvents();
        QVERIFY(!s.tags->isLinkUp());
        QCOMPARE(s.title(kMain), QStringLiteral("Corvane Main Interface [NO DATA]"));
        QCOMPARE(s.alarmMessages(), QStringList{kFault});

        QVERIFY(publish(broker, stateTopic(), "online"));
        QTRY_VERIFY_WITH_TIMEOUT(s.tags->isLinkUp(), kDeadline);
        QCOMPARE(s.title(kMain), QStringLiteral("Corvane Main Interface"));
        QCOMPARE(s.alarmMessages(), QStringList({kFault, kClear}));
    }

    void dataServerGoneByLastWillAndByOrderlyStop()
    {
        Broker broker;
        QVERIFY(broker.start());
        QProcess datasim;
        datasim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const QStringList args{QStringLiteral("--broker"), QStringLiteral("127.0.0.1:%1").arg(broker.port())};
        datasim.start(QStringLiteral(CORVANE_DATASIM), args);
        MqttStation s(settingsFor(broker));
        s.station->screens().show(kMain);
        QTRY_VERIFY_WITH_TIMEOUT(s.tags->isLinkUp(), kDeadline);

        datasim.kill(); // no goodbye: the broker publishes its last will
        QVERIFY(datasim.waitForFinished(5000));
        QTRY_VERIFY_WITH_TIMEOUT(!s.tags->isLinkUp(), kDeadline);
        QVERIFY(s.tags->isBrokerConnected());
        // The broker would take it, but nobody serves the item: refused, as in any outage.
        QVERIFY(!s.car->lblC22->write(QStringLiteral("1")));
        datasim.start(QStringLiteral(CORVANE_DATASIM), args);
        QTRY_VERIFY_WITH_TIMEOUT(s.tags->isLinkUp(), kDeadline);

        datasim.terminate(); // an orderly stop says "offline" itself
        QVERIFY(datasim.waitForFinished(5000));
        QCOMPARE(datasim.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!s.tags->isLinkUp(), kDeadline);

        QStringList dsdata = s.alarmMessages().filter(QStringLiteral("DSDATA"));
        QCOMPARE(dsdata, QStringList({kFault, kClear, kFault}));
    }

    void silentFailureNoticedWithinAboutFiveSeconds()
    {
        Broker broker;
        QVERIFY(broker.start());
        QVERIFY(publish(broker, stateTopic(), "online"));
        MqttStation s(settingsFor(broker));
        s.station->screens().show(kMain);
        QTRY_VERIFY_WITH_TIMEOUT(s.tags->isLinkUp(), kDeadline);
        // Quiet: only the probe talks.
        const int probes = s.tags->probesAnswered();
        QTRY_VERIFY_WITH_TIMEOUT(s.tags->probesAnswered() > probes, kDeadline);

        broker.pause();
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(!s.tags->isLinkUp(), kDeadline);
        const qint64 noticed = clock.elapsed();
        qInfo("silent failure noticed after %lld ms", noticed);
        QVERIFY2(noticed < measuredBound(6000), qPrintable(QString::number(noticed)));
        QCOMPARE(s.alarmMessages(), QStringList{kFault});

        broker.resume();
        QTRY_VERIFY_WITH_TIMEOUT(s.tags->isLinkUp(), kDeadline);
        QCOMPARE(s.alarmMessages(), QStringList({kFault, kClear}));
    }

    void brokerThatCannotServeCostsTheUiNothing_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("refusing") << QStringLiteral("127.0.0.1") << 0; // a port held, never listening
        QTest::newRow("silent") << QStringLiteral("127.0.0.1") << -1;  // takes the connection, never answers
        QTest::newRow("unreachable") << QStringLiteral("192.0.2.1") << 1883;
        QTest::newRow("unknown name") << QStringLiteral("no-such-broker.invalid") << 1883;
    }

    void brokerThatCannotServeCostsTheUiNothing()
    {
        QFETCH(QString, host);
        QFETCH(int, port);
        QTcpServer silent;
        RefusingPort refusing;
        if (port == 0)
            port = refusing.port();
        if (port < 0) {
            QVERIFY(silent.listen(QHostAddress::LocalHost));
            port = silent.serverPort();
        }
        MqttSettings settings;
        settings.host = host;
        settings.port = quint16(port);
        std::unique_ptr<MqttStation> s;
        const qint64 building = buildingTwoScreensMs();
        const qint64 stall = longestStall(
                [&] {
                    s = std::make_unique<MqttStation>(settings);
                    s->station->screens().show(kSelect);
                    s->station->screens().show(kMain);
                    s->car->lblC22->write(QStringLiteral("1"));
                    s->station->screens().unload(kMain);
                    s->station->screens().show(kMain);
                },
                2500);
        QVERIFY2(stall < building + measuredBound(150),
                 qPrintable(QStringLiteral("UI held %1 ms, building the screens %2 ms").arg(stall).arg(building)));
        QVERIFY(!s->tags->isLinkUp());
        QCOMPARE(s->title(kMain), QStringLiteral("Corvane Main Interface [NO DATA]"));
        QElapsedTimer clock;
        clock.start();
        s.reset(); // the exit does not hang on it either
        QVERIFY2(clock.elapsed() < measuredBound(3000), qPrintable(QString::number(clock.elapsed())));
    }

    void reconnectionWaitsDoubleToTheirCapAndStartAgainAfterAConnection()
    {
        // A broker stand-in that notes when each attempt arrives and hangs up at once,
        // except the sixth, which it lets connect before hanging up.
        constexpr int kAccepted = 5;
        QTcpServer fake;
        QVERIFY(fake.listen(QHostAddress::LocalHost));
        QElapsedTimer clock;
        QList<qint64> arrivals;
        QPointer<QTcpSocket> session;
        connect(&fake, &QTcpServer::newConnection, &fake, [&] {
            while (QTcpSocket *c = fake.nextPendingConnection()) {
                arrivals << clock.elapsed();
                if (arrivals.size() - 1 != kAccepted) {
                    c->abort();
                    c->deleteLater();
                    continue;
                }
                session = c;
                connect(c, &QTcpSocket::readyRead, c, [c] {
                    c->readAll();                                // CONNECT
                    c->write(QByteArray("\x20\x02\x00\x00", 4)); // CONNACK, accepted
                });
            }
        });
        MqttSettings settings;
        settings.port = fake.serverPort();
        settings.reconnectMinMs = 100;
        settings.reconnectMaxMs = 800;
        MqttClient client(settings);
        qint64 hungUp = -1;
        connect(&client, &MqttClient::connectedChanged, &fake, [&](bool up) {
            if (up && session) {
                hungUp = clock.elapsed();
                session->abort();
            }
        });
        clock.start();
        client.start();
        QTRY_VERIFY_WITH_TIMEOUT(arrivals.size() >= kAccepted + 3, kDeadline);
        QVERIFY(hungUp >= 0);

        // Each wait runs from the end of an attempt to the next: never shorter than
        // due; longer only by what a loaded machine adds, well short of the next step.
        const qint64 slack = underSanitizer() ? 600 : 400;
        const QList<qint64> due{100, 200, 400, 800, 800, 100, 200};
        const QList<qint64> waited{arrivals[1] - arrivals[0], arrivals[2] - arrivals[1], arrivals[3] - arrivals[2],
                                   arrivals[4] - arrivals[3], arrivals[5] - arrivals[4], arrivals[6] - hungUp,
                                   arrivals[7] - arrivals[6]};
        for (int i = 0; i < due.size(); ++i) {
            const QString text = QStringLiteral("wait %1: %2 ms, due %3 ms").arg(i).arg(waited[i]).arg(due[i]);
            QVERIFY2(waited[i] >= due[i] - 5 && waited[i] < due[i] + slack, qPrintable(text));
        }
    }
};

CORVANE_TEST_MAIN(TestMqttLink)
#include "tst_mqttlink.moc"
