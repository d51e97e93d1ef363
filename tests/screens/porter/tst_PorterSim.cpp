#include "TestStation.h"

#include "sim/SimulatedCar.h"

#include <QPushButton>
#include <QSet>

using namespace corvane;
using namespace corvane::test;

namespace {

const QString kPorter = QStringLiteral("frmPorter");

const QStringList kCalls = QStringLiteral("c42 c43 c604 c624 c44 c45 c634 c654 c46 c47 c664 c704 c50 c51 c714 c734 "
                                          "c562 c565 c40 c41 c52 c53 c54 c55 c56 c57 c60")
                                   .split(u' ');
const QStringList kTables = QStringLiteral("c53 c54 c55 c56 c57 c60").split(u' ');

// The simulated car behind the station, with the porter screen open.
struct Car
{
    Car()
    {
        t.screens().show(kPorter);
        t.advance(300);
    }
    QString value(const QString &item) const { return t.server.value(item); }
    void set(const QString &item, const QString &v)
    {
        t.server.setValue(item, v);
        t.settle();
    }
    void click(const QString &button) { t.control<QPushButton>(kPorter, button)->click(); }
    bool anyCall() const
    {
        return std::any_of(kCalls.begin(), kCalls.end(), [this](const QString &c) { return value(c) == "1"; });
    }
    TestStation t;
    sim::DemoCar demo{t.scheduler, t.server, 3};
};

} // namespace

class TestPorterSim : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Calls come from everywhere; each new one raises c750 for a moment, and c751
    // stays up exactly while a call waits.
    void passengersCallAndTheMainScreenIsTold()
    {
        Car car;
        QSet<QString> called;
        int popUps = 0;
        qint64 popUpSince = -1;
        for (int i = 0; i < 20 * 600; ++i) { // 20 minutes
            QSet<QString> before;
            for (const QString &c : kCalls) {
                if (car.value(c) == "1")
                    before.insert(c);
            }
            car.t.advance(100);
            bool newCall = false;
            for (const QString &c : kCalls) {
                if (car.value(c) == "1" && !before.contains(c)) {
                    called.insert(c);
                    newCall = true;
                }
            }
            if (newCall)
                QCOMPARE(car.value("c750"), QStringLiteral("1"));
            QCOMPARE(car.value("c751"), car.anyCall() ? QStringLiteral("1") : QStringLiteral("0"));
            if (car.value("c750") == "1") {
                if (popUpSince < 0) {
                    popUpSince = car.t.scheduler.elapsedMs();
                    ++popUps;
                }
            } else {
                popUpSince = -1;
            }
            QVERIFY(popUpSince < 0 || car.t.scheduler.elapsedMs() - popUpSince <= 10'000);
        }
        QVERIFY2(called.size() >= 20, qPrintable(QStringList(called.values()).join(u' ')));
        QVERIFY(popUps >= 20);
    }

    void thePortersCommandsAnswer_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QStringList>("staying"); // calls of the same room another command answers
        QTest::newRow("room call reset") << "cmdDrARmCall" << QStringList{"c42", "c43"} << QStringList{"c604", "c624"};
        QTest::newRow("annex sends the same reset")
                << "cmdCmpDAnxCall" << QStringList{"c50", "c51"} << QStringList{"c714"};
        QTest::newRow("meal call") << "cmdDrBMealCall" << QStringList{"c634"} << QStringList{"c44"};
        QTest::newRow("destination") << "cmdAllDest" << QStringList{"c562"} << QStringList{"c565"};
        QTest::newRow("meal service") << "cmdAllMeal" << QStringList{"c565"} << QStringList{"c562"};
        QTest::newRow("A end door") << "cmdADoor" << QStringList{"c40"} << QStringList{"c41"};
        QTest::newRow("B end door") << "cmdBDoor" << QStringList{"c41"} << QStringList{"c40"};
        QTest::newRow("general toilet") << "cmdGenTlt" << QStringList{"c52"} << QStringList{"c40"};
        QTest::newRow("table call reset") << "cmdDmTblRst" << kTables << QStringList{"c52"};
    }
    void thePortersCommandsAnswer()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, calls);
        QFETCH(QStringList, staying);
        Car car;
        for (const QString &c : calls + staying)
            car.set(c, "1");
        car.set("c750", "1");
        car.click(button);
        for (const QString &c : calls)
            QCOMPARE(car.value(c), QStringLiteral("0"));
        for (const QString &c : staying)
            QCOMPARE(car.value(c), QStringLiteral("1"));
        QCOMPARE(car.value("c750"), QStringLiteral("0")); // the porter is at the screen
        QCOMPARE(car.value("c751"), QStringLiteral("1"));
        car.t.advance(200);
        QCOMPARE(car.t.captionOf(kPorter, button).contains("Active"), false);
    }

    void answeringACommCallOpensTheConversation()
    {
        Car car;
        car.set("c654", "1");
        car.click("cmdDrBCommCall");
        QCOMPARE(car.value("c654"), QStringLiteral("0"));
        QCOMPARE(car.value("c644"), QStringLiteral("1"));
        car.t.advance(1500);
        QCOMPARE(car.t.captionOf(kPorter, "cmdDrBComm"), QStringLiteral("Comm Active"));
        car.click("cmdDrBComm"); // the porter ends it
        QCOMPARE(car.value("c644"), QStringLiteral("0"));
        car.t.advance(1500);
        car.click("cmdDrBComm"); // and calls the room
        QCOMPARE(car.value("c644"), QStringLiteral("1"));
        car.t.advance(60'000);
        QCOMPARE(car.value("c644"), QStringLiteral("0")); // the conversation ends
    }

    void wakeCommandWakesTheRoomForAWhile()
    {
        Car car;
        car.click("cmdCmpCWake");
        QCOMPARE(car.value("c665"), QStringLiteral("1"));
        QCOMPARE(car.value("c102"), QStringLiteral("0")); // the PLC took the command
        car.t.advance(200);
        QCOMPARE(car.t.captionOf(kPorter, "cmdCmpCWake"), QStringLiteral("Wake Active"));
        car.click("cmdCmpCWake"); // while waking: nothing is sent
        QCOMPARE(car.t.pokes("c102").size(), 1);
        car.t.advance(30'000);
        QCOMPARE(car.value("c665"), QStringLiteral("0"));
        car.click("cmdCmpCWake");
        QCOMPARE(car.t.pokes("c102").size(), 2);
    }

    void disableTableCallsToggles()
    {
        Car car;
        car.click("cmdDmTblDisabl");
        QCOMPARE(car.value("c576"), QStringLiteral("1"));
        car.t.advance(200);
        QCOMPARE(car.t.captionOf(kPorter, "cmdDmTblDisabl"), QStringLiteral("Table Calls Disabled"));
        for (const QString &c : kTables)
            car.set(c, "0");
        for (int i = 0; i < 15 * 60; ++i) { // no table calls for 15 minutes while disabled
            car.t.advance(1000);
            for (const QString &c : kTables)
                QCOMPARE(car.value(c), QStringLiteral("0"));
        }
        car.click("cmdDmTblDisabl");
        QCOMPARE(car.value("c576"), QStringLiteral("0"));
    }
};

CORVANE_TEST_MAIN(TestPorterSim)
#include "tst_PorterSim.moc"
