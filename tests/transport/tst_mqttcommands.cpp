// Commands over a link that falters, on a real mosquitto in real time: a late
// acknowledgement fails that write alone, and a pulse's "0" that fell due while the
// broker was gone is written once it is back.
#include "MqttTestKit.h"
#include "TestStation.h"

#include "core/time/Pulse.h"
#include "core/time/Timer.h"
#include "screens/AllScreens.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

using namespace corvane;
using namespace corvane::test;

namespace {

constexpr int kDeadline = 15'000;

// Between the station and the broker: passes everything on, but while holding keeps
// the broker's replies back (a broker that answers late).
class HoldingProxy : public QObject
{
public:
    explicit HoldingProxy(quint16 brokerPort)
    {
        m_server.listen(QHostAddress::LocalHost, 0); // the system picks: no race for a port
        connect(&m_server, &QTcpServer::newConnection, this, [this, brokerPort] {
            while (QTcpSocket *client = m_server.nextPendingConnection()) {
                auto *broker = new QTcpSocket(client);
                broker->connectToHost(QHostAddress::LocalHost, brokerPort);
                connect(client, &QTcpSocket::readyRead, broker, [this, client, broker] {
                    if (broker->state() == QAbstractSocket::ConnectedState && !m_holdingUp)
                        broker->write(client->readAll());
                });
                connect(broker, &QTcpSocket::connected, client, [client, broker] { broker->write(client->readAll()); });
                connect(broker, &QTcpSocket::readyRead, client, [this, client, broker] {
                    m_held[client] += broker->readAll();
                    pass(client);
                });
                connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
                connect(broker, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
                connect(client, &QObject::destroyed, this, [this, client] { m_held.remove(client); });
            }
        });
    }
    quint16 port() const { return m_server.serverPort(); }
    // Keeps what the station sends from the broker, too (a publish stays in flight).
    void holdUpstream(bool on) { m_holdingUp = on; }
    // The connection dies with whatever it held; the station may connect again.
    void cut()
    {
        m_holding = m_holdingUp = false;
        for (QTcpSocket *client : m_server.findChildren<QTcpSocket *>(Qt::FindDirectChildrenOnly))
            client->abort();
    }
    void hold(bool on)
    {
        m_holding = on;
        if (!on) {
            for (auto it = m_held.begin(); it != m_held.end(); ++it)
                pass(it.key());
        }
    }

private:
    void pass(QTcpSocket *client)
    {
        if (m_holding)
            return;
        client->write(m_held.value(client));
        m_held.remove(client);
    }

    QHash<QTcpSocket *, QByteArray> m_held; // before the server: its sockets go first
    bool m_holding = false;
    bool m_holdingUp = false;
    QTcpServer m_server;
};

} // namespace

class TestMqttCommands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void aLateAcknowledgementFailsThatWriteAlone()
    {
        Broker broker;
        QVERIFY(broker.start());
        QVERIFY(publish(broker, stateTopic(), "online"));
        HoldingProxy proxy(broker.port());
        MqttSettings settings = settingsFor(broker);
        settings.port = proxy.port();
        MqttTagSource tags(settings);
        QSignalSpy states(&tags, &TagSource::linkStateChanged);
        QStringList failures;
        QElapsedTimer sincePoke;
        qint64 failedAfterMs = -1;
        connect(&tags, &TagSource::pokeFailed, this, [&](const TagAddress &address, const QString &value) {
            failures << address.item + u'=' + value;
            if (failedAfterMs < 0)
                failedAfterMs = sincePoke.elapsed();
        });
        tags.start();
        QTRY_VERIFY_WITH_TIMEOUT(tags.isLinkUp(), kDeadline);
        const auto c22 = tags.open(TagAddress{"DSData", "CVPlc", "c22"}, LinkMode::Manual, {});
        QVERIFY(c22);
        QVERIFY(tags.setTimeout(*c22, 3)); // 300 ms, well inside the probe's 1 s + 3 s

        Witness sets(broker, QStringLiteral("DSData/CVPlc/+/set"));
        QVERIFY(sets.waitReady());
        proxy.hold(true);
        sincePoke.start();
        QVERIFY(tags.poke(*c22, "0"));
        QTRY_COMPARE_WITH_TIMEOUT(failures, QStringList{"c22=0"}, kDeadline);
        // Failed by the time-out, not by some other clock: not before 300 ms, and long
        // before ten times that (a slip of the unit), with room for a loaded machine.
        QVERIFY2(failedAfterMs >= 300 && failedAfterMs <= 1000, qPrintable(QString::number(failedAfterMs)));
        proxy.hold(false);

        // The same connection carries on: no outage, and the next write goes through.
        QVERIFY(tags.poke(*c22, "1"));
        QTRY_COMPARE_WITH_TIMEOUT(sets.lines(),
                                  QStringList({"DSData/CVPlc/c22/set 1 0 0", "DSData/CVPlc/c22/set 1 0 1"}), kDeadline);
        QCOMPARE(states.size(), 1); // the first "up", nothing since
        QCOMPARE(failures, QStringList{"c22=0"});
        QCOMPARE(tags.failedConnectAttempts(), 0);
    }

    void backfeedStopEndsAfterAnOutageThatSwallowedItsZero()
    {
        Broker broker;
        QVERIFY(broker.start());
        MqttDataServer server(settingsFor(broker));
        server.setValue(QStringLiteral("c22"), QStringLiteral("0"));
        server.start();
        QStringList written;
        connect(&server, &MqttDataServer::written, this,
                [&](const QString &item, const QString &value) { written << item + u'=' + value; });

        QtScheduler scheduler;
        QTemporaryDir dir;
        MqttTagSource tags(settingsFor(broker));
        Station station(scheduler, tags, dir.filePath(QStringLiteral("alarm_log.txt")));
        registerAllScreens(station);
        tags.start();
        station.screens().show(QStringLiteral("frmCVCarmain"));
        QTRY_VERIFY_WITH_TIMEOUT(tags.isLinkUp(), kDeadline);
        Screen *main = station.screens().find(QStringLiteral("frmCVCarmain"));
        QTRY_COMPARE_WITH_TIMEOUT(main->link(u"lblC22")->value(), QStringLiteral("0"), kDeadline);

        main->control<QPushButton>(QStringLiteral("cmdBkfdStop"))->click();
        QTRY_COMPARE_WITH_TIMEOUT(written, QStringList{"c22=1"}, kDeadline);
        broker.kill();
        QTRY_VERIFY_WITH_TIMEOUT(!tags.isLinkUp(), kDeadline);
        // The pulse ends while the broker is gone: its "0" is owed.
        QTRY_COMPARE_WITH_TIMEOUT(station.pulses().owedCount(), 1, kDeadline);
        QVERIFY(broker.start());
        QTRY_COMPARE_WITH_TIMEOUT(written, QStringList({"c22=1", "c22=0"}), kDeadline);
        QCOMPARE(station.pulses().owedCount(), 0);
        station.shutDown();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // The pulse's "0" is on its way (sent, not acknowledged) when the connection dies:
    // the client's report of what it lost is the only way the pulse keeper learns of
    // it, and the "0" reaches the PLC once the station is connected again.
    void aZeroInFlightWhenTheConnectionDiesIsWrittenAgain()
    {
        Broker broker;
        QVERIFY(broker.start());
        MqttDataServer server(settingsFor(broker));
        server.setValue(QStringLiteral("c22"), QStringLiteral("0"));
        server.start();
        QStringList written;
        connect(&server, &MqttDataServer::written, this,
                [&](const QString &item, const QString &value) { written << item + u'=' + value; });
        HoldingProxy proxy(broker.port());
        MqttSettings settings = settingsFor(broker);
        settings.port = proxy.port();

        QtScheduler scheduler;
        QTemporaryDir dir;
        MqttTagSource tags(settings);
        Station station(scheduler, tags, dir.filePath(QStringLiteral("alarm_log.txt")));
        registerAllScreens(station);
        tags.start();
        station.screens().show(QStringLiteral("frmCVCarmain"));
        QTRY_VERIFY_WITH_TIMEOUT(tags.isLinkUp(), kDeadline);
        Screen *main = station.screens().find(QStringLiteral("frmCVCarmain"));
        QTRY_COMPARE_WITH_TIMEOUT(main->link(u"lblC22")->value(), QStringLiteral("0"), kDeadline);

        main->control<QPushButton>(QStringLiteral("cmdBkfdStop"))->click();
        QTRY_COMPARE_WITH_TIMEOUT(written, QStringList{"c22=1"}, kDeadline);
        proxy.hold(true);
        proxy.holdUpstream(true);
        auto *tmrBkfdStop = main->control<Timer>(QStringLiteral("tmrBkfdStop"));
        QTRY_VERIFY_WITH_TIMEOUT(!tmrBkfdStop->isEnabled(), kDeadline); // the "0" went out, held
        QCOMPARE(station.pulses().owedCount(), 0);
        proxy.cut(); // well inside the write's 5 s time-out
        QTRY_COMPARE_WITH_TIMEOUT(written, QStringList({"c22=1", "c22=0"}), kDeadline);
        QCOMPARE(station.pulses().owedCount(), 0);
        station.shutDown();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

CORVANE_TEST_MAIN(TestMqttCommands)
#include "tst_mqttcommands.moc"
