// The real programs together: mosquitto, the data server (mosquitto_pub by script,
// or corvane-datasim), and corvane-station offscreen writing its alarm log. The
// alarm log is what is checked, as an operator would read it afterwards.
#include "MqttTestKit.h"
#include "TestStation.h"

#include <csignal>

using namespace corvane;
using namespace corvane::test;

namespace {

constexpr int kDeadline = 20'000;
const QString kFault = QStringLiteral("FAULT DSDATA Data Server Link Lost  ");
const QString kClear = QStringLiteral("CLEAR DSDATA Data Server Link Lost  ");
const QString kC27Fault = QStringLiteral("FAULT C27 Handbrake ON, Car Moving  ");
const QString kC27Clear = QStringLiteral("CLEAR C27 Handbrake ON, Car Moving  ");

// One of our programs, its stderr kept for reading.
class Program
{
public:
    Program(const QString &path, const QStringList &args, const QProcessEnvironment &env = systemEnv())
    {
        m_process.setProcessEnvironment(env);
        QObject::connect(&m_process, &QProcess::readyReadStandardError,
                         [this] { m_err += m_process.readAllStandardError(); });
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.start(path, args);
    }
    ~Program()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    static QProcessEnvironment systemEnv()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }

    QString err() const { return QString::fromUtf8(m_err); }
    // How often text appeared on stderr so far.
    int count(const QString &text) const { return int(err().count(text)); }
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    void signal(int sig) { ::kill(pid_t(m_process.processId()), sig); }
    // Waits for the exit; its code, or -1 when it did not end in time or crashed.
    int waitForExit(int ms = 10'000)
    {
        if ((m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(ms))
            || m_process.exitStatus() != QProcess::NormalExit)
            return -1;
        return m_process.exitCode();
    }
    void restart() { m_process.start(); }

private:
    QProcess m_process;
    QByteArray m_err;
};

QStringList brokerArgs(const Broker &broker)
{
    return {QStringLiteral("--broker"), QStringLiteral("127.0.0.1:%1").arg(broker.port())};
}

QStringList linkAndHandBrakeLines(const QString &logPath)
{
    QStringList out;
    for (const QString &m : alarmMessages(logPath)) {
        if (m.contains(QLatin1String("DSDATA")) || m.contains(QLatin1String(" C27 ")) || m.startsWith(u'<'))
            out << m;
    }
    return out;
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void scriptedSequence()
    {
        Broker broker;
        QVERIFY(broker.start());
        auto healthyCar = [&] {
            for (const auto &[item, value] : {std::pair{"Status", "1"}, {"c27", "0"}, {"x200", "1"}, {"x226", "1"}}) {
                if (!publish(broker, itemTopic(QString::fromLatin1(item)), value))
                    return false;
            }
            return publish(broker, stateTopic(), "online");
        };
        QVERIFY(healthyCar());

        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("alarm_log.txt"));
        Program station(QStringLiteral(CORVANE_STATION),
                        brokerArgs(broker) << QStringLiteral("--car-main") << QStringLiteral("--alarm-log") << log);
        QTRY_COMPARE_WITH_TIMEOUT(station.count(QStringLiteral("data server link up")), 1, kDeadline);
        QStringList expected;
        expected << kC27Clear; // the first value replaces the design caption "1"
        QTRY_COMPARE_WITH_TIMEOUT(linkAndHandBrakeLines(log), expected, kDeadline);

        // The hand brake comes on while moving; the data server goes; the hand brake
        // is released during the outage; the data server returns.
        QVERIFY(publish(broker, itemTopic(QStringLiteral("c27")), "1"));
        expected << kC27Fault;
        QTRY_COMPARE_WITH_TIMEOUT(linkAndHandBrakeLines(log), expected, kDeadline);
        QVERIFY(publish(broker, stateTopic(), "offline"));
        expected << kFault;
        QTRY_COMPARE_WITH_TIMEOUT(linkAndHandBrakeLines(log), expected, kDeadline);
        QVERIFY(publish(broker, itemTopic(QStringLiteral("c27")), "0"));
        QVERIFY(publish(broker, stateTopic(), "online"));
        expected << kClear;
        expected << kC27Clear; // the state after the outage, not a line from a data server that was away
        QTRY_COMPARE_WITH_TIMEOUT(linkAndHandBrakeLines(log), expected, kDeadline);

        // The broker crashes and comes back empty; the data server publishes again.
        broker.kill();
        expected << kFault;
        QTRY_COMPARE_WITH_TIMEOUT(linkAndHandBrakeLines(log), expected, kDeadline);
        QVERIFY(broker.start());
        QVERIFY(healthyCar());
        expected << kClear;
        QTRY_COMPARE_WITH_TIMEOUT(linkAndHandBrakeLines(log), expected, kDeadline);

        QVERIFY(station.isRunning());
        station.signal(SIGTERM);
        QCOMPARE(station.waitForExit(), 0);
        QCOMPARE(linkAndHandBrakeLines(log), expected); // and nothing more, to the end
    }

    void datasimComesAndGoes()
    {
        Broker broker;
        QVERIFY(broker.start());
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("alarm_log.txt"));
        Program datasim(QStringLiteral(CORVANE_DATASIM), brokerArgs(broker));
        Program station(QStringLiteral(CORVANE_STATION),
                        brokerArgs(broker) << QStringLiteral("--car-main") << QStringLiteral("--alarm-log") << log);
        QTRY_COMPARE_WITH_TIMEOUT(station.count(QStringLiteral("data server link up")), 1, kDeadline);

        QStringList expected;
        auto dsdata = [&] { return alarmMessages(log).filter(QStringLiteral("DSDATA")); };
        datasim.signal(SIGKILL); // gone without a word: its last will speaks
        expected << kFault;
        QTRY_COMPARE_WITH_TIMEOUT(dsdata(), expected, kDeadline);
        QCOMPARE(datasim.waitForExit(), -1);
        datasim.restart();
        expected << kClear;
        QTRY_COMPARE_WITH_TIMEOUT(dsdata(), expected, kDeadline);
        datasim.signal(SIGTERM); // an orderly stop
        QCOMPARE(datasim.waitForExit(), 0);
        expected << kFault;
        QTRY_COMPARE_WITH_TIMEOUT(dsdata(), expected, kDeadline);
        datasim.restart();
        expected << kClear;
        QTRY_COMPARE_WITH_TIMEOUT(dsdata(), expected, kDeadline);
        broker.kill();
        expected << kFault;
        QTRY_COMPARE_WITH_TIMEOUT(dsdata(), expected, kDeadline);
        QVERIFY(broker.start());
        expected << kClear;
        QTRY_COMPARE_WITH_TIMEOUT(dsdata(), expected, kDeadline);
        QTRY_COMPARE_WITH_TIMEOUT(station.count(QStringLiteral("data server link up")), 4, kDeadline);
        for (const QString &m : alarmMessages(log))
            QVERIFY2(!m.startsWith(u'<'), qPrintable(m));

        station.signal(SIGTERM);
        QCOMPARE(station.waitForExit(), 0);
        datasim.signal(SIGTERM);
        QCOMPARE(datasim.waitForExit(), 0);
    }

    // The operator presses Backfeed Stop (a 3 s pulse on c22) and the station ends
    // cleanly at once: its shut-down writes the pulse's "0" before the link closes.
    void aCleanExitDuringAPulseWritesItsZero_data()
    {
        QTest::addColumn<bool>("signalled");
        QTest::newRow("SIGTERM") << true;
        QTest::newRow("last window closed") << false;
    }
    void aCleanExitDuringAPulseWritesItsZero()
    {
        QFETCH(bool, signalled);
        Broker broker;
        QVERIFY(broker.start());
        QVERIFY(publish(broker, stateTopic(), "online"));
        Witness sets(broker, QStringLiteral("DSData/CVPlc/c22/set"));
        QVERIFY(sets.waitReady());

        QTemporaryDir dir;
        QProcessEnvironment env = Program::systemEnv();
        env.insert(QStringLiteral("QT_PLUGIN_PATH"), QStringLiteral(CORVANE_TEST_PLUGINS));
        env.insert(QStringLiteral("QT_QPA_GENERIC_PLUGINS"), QStringLiteral("corvaneoperatorhand"));
        env.insert(QStringLiteral("CORVANE_HAND_CLICK"), QStringLiteral("cmdBkfdStop"));
        if (!signalled)
            env.insert(QStringLiteral("CORVANE_HAND_THEN"), QStringLiteral("close"));
        Program station(QStringLiteral(CORVANE_STATION),
                        brokerArgs(broker) << QStringLiteral("--car-main") << QStringLiteral("--alarm-log")
                                           << dir.filePath(QStringLiteral("alarm_log.txt")),
                        env);
        const QString one = QStringLiteral("DSData/CVPlc/c22/set 1 0 1");
        const QString zero = QStringLiteral("DSData/CVPlc/c22/set 1 0 0");
        QTRY_VERIFY_WITH_TIMEOUT(!sets.lines().isEmpty(), kDeadline);
        QElapsedTimer sinceOne;
        sinceOne.start();
        QCOMPARE(sets.lines().first(), one);
        if (signalled)
            station.signal(SIGTERM);
        QCOMPARE(station.waitForExit(), 0);
        // The exit wrote the "0", not the pulse's own 3 s timer running out before it.
        QVERIFY2(sinceOne.elapsed() < 3000, qPrintable(QString::number(sinceOne.elapsed())));
        // Once the program is gone nothing else could write it: what came, came from the exit.
        QTRY_COMPARE_WITH_TIMEOUT(sets.lines(), QStringList({one, zero}), kDeadline);
    }

    void credentialsOverTls()
    {
        TestPki pki;
        QVERIFY(pki.make());
        const QString password = QStringLiteral("pass word 42");
        QVERIFY(addBrokerUser(pki.path(QStringLiteral("passwords")), QStringLiteral("station"), password));
        Broker broker(
                QStringLiteral("cafile %1\ncertfile %2\nkeyfile %3\n")
                        .arg(pki.path(QStringLiteral("ca.crt")), pki.path(QStringLiteral("server.crt")),
                             pki.path(QStringLiteral("server.key"))),
                QStringLiteral("allow_anonymous false\npassword_file %1\n").arg(pki.path(QStringLiteral("passwords"))));
        QVERIFY(broker.start());
        QVERIFY(publish(broker, stateTopic(), "online", true,
                        {QStringLiteral("--cafile"), pki.path(QStringLiteral("ca.crt")), QStringLiteral("-u"),
                         QStringLiteral("station"), QStringLiteral("-P"), password}));
        const QString passwordFile = pki.path(QStringLiteral("station-password"));
        {
            QFile f(passwordFile);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(password.toUtf8() + "\n");
        }
        const QStringList common = brokerArgs(broker)
                                   << QStringLiteral("--tls-ca") << pki.path(QStringLiteral("ca.crt"))
                                   << QStringLiteral("--username") << QStringLiteral("station")
                                   << QStringLiteral("--alarm-log") << pki.path(QStringLiteral("alarm_log.txt"));

        {
            Program station(QStringLiteral(CORVANE_STATION),
                            QStringList(common) << QStringLiteral("--password-file") << passwordFile);
            QTRY_COMPARE_WITH_TIMEOUT(station.count(QStringLiteral("data server link up")), 1, kDeadline);
            station.signal(SIGTERM);
            QCOMPARE(station.waitForExit(), 0);
            QVERIFY(!station.err().contains(password));
        }
        {
            QProcessEnvironment env = Program::systemEnv();
            env.insert(QStringLiteral("CORVANE_MQTT_PASSWORD"), password);
            Program station(QStringLiteral(CORVANE_STATION), common, env);
            QTRY_COMPARE_WITH_TIMEOUT(station.count(QStringLiteral("data server link up")), 1, kDeadline);
            station.signal(SIGTERM);
            QCOMPARE(station.waitForExit(), 0);
            QVERIFY(!station.err().contains(password));
        }
        {
            Program station(QStringLiteral(CORVANE_STATION), QStringList(common) << QStringLiteral("--password-file")
                                                                                 << pki.path(QStringLiteral("none")));
            QCOMPARE(station.waitForExit(), 2);
            QVERIFY2(station.err().contains(QLatin1String("cannot read the password file")), qPrintable(station.err()));
        }
    }
};

CORVANE_TEST_MAIN(TestEndToEnd)
#include "tst_e2e.moc"
