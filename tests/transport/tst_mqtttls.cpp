// The link over TLS with a user name and a password file, against a test CA made
// here and now: the right credentials bring the link up, anything else keeps it down.
#include "MqttTestKit.h"
#include "TestStation.h"

#include "station/ScreenRegistry.h"

using namespace corvane;
using namespace corvane::test;

namespace {

constexpr int kDeadline = 15'000;

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class TestMqttTls : public QObject
{
    Q_OBJECT
private:
    TestPki m_pki;
    std::unique_ptr<Broker> m_passwordBroker;    // TLS, user names and passwords
    std::unique_ptr<Broker> m_certificateBroker; // TLS, client certificates
    std::unique_ptr<MqttDataServer> m_server1;
    std::unique_ptr<MqttDataServer> m_server2;

    QString pki(const QString &name) const { return m_pki.path(name); }

    QString tlsListener(bool requireCertificate) const
    {
        return QStringLiteral("cafile %1\ncertfile %2\nkeyfile %3\nrequire_certificate %4\n")
                .arg(pki("ca.crt"), pki("server.crt"), pki("server.key"),
                     requireCertificate ? QStringLiteral("true") : QStringLiteral("false"));
    }

    MqttSettings tls(const Broker &broker) const
    {
        MqttSettings s = settingsFor(broker);
        s.tlsCa = pki("ca.crt");
        return s;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_pki.make());
        QVERIFY(addBrokerUser(pki("passwords"), QStringLiteral("station"), QStringLiteral("s3cret ünd spaces")));
        QVERIFY(addBrokerUser(pki("passwords"), QStringLiteral("datasim"), QStringLiteral("other")));

        m_passwordBroker = std::make_unique<Broker>(
                tlsListener(false), QStringLiteral("allow_anonymous false\npassword_file %1\n").arg(pki("passwords")));
        QVERIFY(m_passwordBroker->start());
        m_certificateBroker = std::make_unique<Broker>(tlsListener(true));
        QVERIFY(m_certificateBroker->start());

        MqttSettings s1 = tls(*m_passwordBroker);
        s1.username = QStringLiteral("datasim");
        s1.password = QStringLiteral("other");
        m_server1 = std::make_unique<MqttDataServer>(s1);
        MqttSettings s2 = tls(*m_certificateBroker);
        s2.tlsCert = pki("client.crt");
        s2.tlsKey = pki("client.key");
        m_server2 = std::make_unique<MqttDataServer>(s2);
        for (MqttDataServer *server : {m_server1.get(), m_server2.get()}) {
            server->setValue(QStringLiteral("c27"), QStringLiteral("0"));
            server->start();
        }
        QTRY_VERIFY_WITH_TIMEOUT(m_server1->isConnected() && m_server2->isConnected(), kDeadline);
    }

    void cleanupTestCase()
    {
        m_server1.reset();
        m_server2.reset();
        m_passwordBroker.reset();
        m_certificateBroker.reset();
    }

    void credentials_data()
    {
        QTest::addColumn<bool>("certificateBroker");
        QTest::addColumn<QString>("ca");
        QTest::addColumn<QByteArray>("passwordFile");
        QTest::addColumn<bool>("clientCertificate");
        QTest::addColumn<bool>("up");

        const QByteArray password = "s3cret \xc3\xbcnd spaces";
        QTest::newRow("password file") << false << QStringLiteral("ca.crt") << password + "\n" << false << true;
        QTest::newRow("password file, CR LF, more lines")
                << false << QStringLiteral("ca.crt") << password + "\r\nnext\n"
                << false << true;
        QTest::newRow("password file, no line end") << false << QStringLiteral("ca.crt") << password << false << true;
        QTest::newRow("wrong password") << false << QStringLiteral("ca.crt") << QByteArray("s3cret\n") << false
                                        << false;
        QTest::newRow("server not signed by our CA")
                << false << QStringLiteral("stranger.crt") << password << false << false;
        QTest::newRow("no TLS") << false << QString() << password << false << false;
        QTest::newRow("client certificate") << true << QStringLiteral("ca.crt") << QByteArray() << true << true;
        QTest::newRow("client certificate missing")
                << true << QStringLiteral("ca.crt") << QByteArray() << false << false;
    }

    void credentials()
    {
        QFETCH(bool, certificateBroker);
        QFETCH(QString, ca);
        QFETCH(QByteArray, passwordFile);
        QFETCH(bool, clientCertificate);
        QFETCH(bool, up);

        MqttSettings s = settingsFor(certificateBroker ? *m_certificateBroker : *m_passwordBroker);
        if (!ca.isEmpty())
            s.tlsCa = pki(ca);
        if (!passwordFile.isEmpty()) {
            writeFile(pki("station-password"), passwordFile);
            const auto password = readPasswordFile(pki("station-password"));
            QVERIFY(password);
            s.username = QStringLiteral("station");
            s.password = *password;
        }
        if (clientCertificate) {
            s.tlsCert = pki("client.crt");
            s.tlsKey = pki("client.key");
        }
        MqttStation station(s);
        station.station->screens().show(QStringLiteral("frmCVCarmain"));
        if (up) {
            QTRY_VERIFY_WITH_TIMEOUT(station.tags->isLinkUp(), kDeadline);
            QTRY_COMPARE_WITH_TIMEOUT(station.car->lblC27->value(), QStringLiteral("0"), kDeadline);
        } else {
            // Tried and refused twice: no session in between, none to come.
            QTRY_VERIFY_WITH_TIMEOUT(station.tags->failedConnectAttempts() >= 2, kDeadline);
            QVERIFY(!station.tags->isBrokerConnected());
            QVERIFY(!station.tags->isLinkUp());
            QCOMPARE(station.car->lblC27->value(), QStringLiteral("1"));
        }
    }

    void unreadablePasswordFile() { QVERIFY(!readPasswordFile(pki("no-such-file"))); }
};

CORVANE_TEST_MAIN(TestMqttTls)
#include "tst_mqtttls.moc"
