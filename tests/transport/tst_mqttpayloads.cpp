// Values from the network are untrusted: whatever arrives, the station neither
// stops nor freezes, shows it as plain text, and raises an alarm line only for a
// value that reads exactly 0 or 1.
#include "MqttTestKit.h"
#include "Sanitizer.h"
#include "TestStation.h"

#include "station/ScreenRegistry.h"

using namespace corvane;
using namespace corvane::test;

namespace {
constexpr int kDeadline = 15'000;
const QString kC27Fault = QString::fromUtf16(CarProbe::kC27.raised);
const QString kC27Clear = QString::fromUtf16(CarProbe::kC27.cleared);
} // namespace

class TestMqttPayloads : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<Broker> m_broker;
    std::unique_ptr<MqttStation> m_station;

    bool send(const QByteArray &payload)
    {
        return publish(*m_broker, itemTopic(QStringLiteral("c27")), payload)
               && publish(*m_broker, itemTopic(QStringLiteral("v10020:b")), payload);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_broker = std::make_unique<Broker>();
        QVERIFY(m_broker->start());
        QVERIFY(publish(*m_broker, stateTopic(), "online"));
        m_station = std::make_unique<MqttStation>(settingsFor(*m_broker));
        m_station->station->screens().show(QStringLiteral("frmCVCarmain"));
        QTRY_VERIFY_WITH_TIMEOUT(m_station->tags->isLinkUp(), kDeadline);
    }

    void cleanupTestCase()
    {
        m_station.reset();
        m_broker.reset();
    }

    void payload_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("line"); // empty: none

        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("1 MiB of digits") << QByteArray(1 << 20, '1') << QString();
        QTest::newRow("1 MiB of text") << QByteArray(1 << 20, 'x') << QString();
        QTest::newRow("invalid UTF-8") << QByteArray("\xff\xfe\xc0\x80 1") << QString();
        QTest::newRow("control characters") << QByteArray("1\a\x1b[2J\r\n") << QString();
        QTest::newRow("NUL after the digit") << QByteArray("1\0", 2) << QString();
        QTest::newRow("markup") << QByteArray("<b>1</b>") << QString();
        QTest::newRow("nan") << QByteArray("nan") << QString();
        QTest::newRow("inf") << QByteArray("inf") << QString();
        QTest::newRow("-inf") << QByteArray("-inf") << QString();
        QTest::newRow("1e400") << QByteArray("1e400") << QString();
        QTest::newRow("hex") << QByteArray("0x1") << QString();
        QTest::newRow("decimal comma") << QByteArray("1,0") << QString();
        QTest::newRow("full-width one") << QByteArray("\xef\xbc\x91") << QString();
        QTest::newRow("an error word") << QByteArray("#N/A") << QString();
        // What reads as a number is read as one.
        QTest::newRow("-0") << QByteArray("-0") << kC27Clear;
        QTest::newRow("blanks around 1") << QByteArray(" 1 ") << kC27Fault;
        QTest::newRow("1.0") << QByteArray("1.0") << kC27Fault;
        QTest::newRow("1e0") << QByteArray("1e0") << kC27Fault;
    }

    void payload()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QString, line);
        CarProbe *car = m_station->car;
        QVERIFY(send("2")); // reads as neither 0 nor 1: a change raises nothing
        QTRY_COMPARE_WITH_TIMEOUT(car->lblC27->value(), QStringLiteral("2"), kDeadline);
        const QStringList before = m_station->alarmMessages();

        // Taking it in costs the operator nothing he could feel: the loop is watched
        // from the send until both controls show it.
        const QString expected = QString::fromUtf8(payload);
        std::unique_ptr<QProcess> c27, gauge;
        const qint64 stall = longestStallUntil(
                [&] {
                    c27 = startPublish(*m_broker, itemTopic(QStringLiteral("c27")), payload);
                    gauge = startPublish(*m_broker, itemTopic(QStringLiteral("v10020:b")), payload);
                },
                [&] { return car->lblMPHV10020->link()->value() == expected && car->lblC27->value() == expected; }, 200,
                kDeadline);
        QVERIFY2(stall >= 0, "the payload never arrived");
        QVERIFY2(stall < measuredBound(150), qPrintable(QStringLiteral("UI held %1 ms").arg(stall)));
        QVERIFY(finishedWell(*c27));
        QVERIFY(finishedWell(*gauge));

        QStringList raised = m_station->alarmMessages().mid(before.size());
        QCOMPARE(raised, line.isEmpty() ? QStringList() : QStringList{line});

        // The gauge shows plain text a label can hold: no markup, no control characters.
        QLabel *shown = car->lblMPHV10020;
        QCOMPARE(shown->textFormat(), Qt::PlainText);
        QVERIFY(shown->text().size() <= 256);
        for (QChar c : shown->text())
            QVERIFY2(c.unicode() >= 0x20 && c.unicode() != 0x7f, qPrintable(QString::number(c.unicode(), 16)));
        QVERIFY(m_station->tags->isLinkUp());
    }

    void longerThanAnyValueIsCut()
    {
        CarProbe *car = m_station->car;
        QVERIFY(send(QByteArray((1 << 20) + 4096, '7')));
        QTRY_COMPARE_WITH_TIMEOUT(car->lblC27->value().size(), qsizetype(1 << 20), kDeadline);
    }
};

CORVANE_TEST_MAIN(TestMqttPayloads)
#include "tst_mqttpayloads.moc"
