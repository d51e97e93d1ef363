// Every command pulse ends on time, whatever happens to the screen that started it:
// the screen closes, another screen takes it down, the porter screen unloads itself,
// it is reopened within the pulse, or the station exits.

#include "TestStation.h"
#include "core/time/Pulse.h"

#include <QPushButton>
#include <functional>

using namespace corvane;
using namespace corvane::test;

namespace {

const QString kMain = QStringLiteral("frmCVCarmain");
const QString kPorter = QStringLiteral("frmPorter");
const QString kEnv = QStringLiteral("frmEnvSystem");
const QString kWater = QStringLiteral("frmWtrSystem");

using Step = std::function<void(TestStation &)>;

Step click(const QString &form, const char *button)
{
    return [form, button](TestStation &t) {
        auto *b = t.control<QPushButton>(form, QString::fromLatin1(button));
        QVERIFY2(b, button);
        b->click();
    };
}

Step closeMain()
{
    return [](TestStation &t) { t.screen(kMain)->window()->close(); };
}

// The porter clicks another window of the program: the porter screen unloads itself.
Step activateMain()
{
    return [](TestStation &t) { TestStation::activate(t.screen(kMain)->window()); };
}

Step show(const QString &form)
{
    return [form](TestStation &t) { t.screens().show(form); };
}

Step exitStation()
{
    return [](TestStation &t) { t.station->shutDown(); };
}

struct Timed
{
    qint64 at;
    Step step;
};

} // namespace

Q_DECLARE_METATYPE(QList<Timed>)

class TestCommandPulses : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void thePulseEndsOnTime_data()
    {
        QTest::addColumn<QStringList>("opened"); // shown at 0, in this order
        QTest::addColumn<QList<Timed>>("steps");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QStringList>("pokes");

        const QStringList main{kMain};
        const QStringList porter{kMain, kPorter};

        QTest::newRow("backfeed stop, main screen closed 1 s later")
                << main << QList<Timed>{{0, click(kMain, "cmdBkfdStop")}, {1000, closeMain()}} << "c22"
                << QStringList{"1@0", "0@3000"};
        QTest::newRow("backfeed stop, main screen closed at the last moment")
                << main << QList<Timed>{{0, click(kMain, "cmdBkfdStop")}, {2999, closeMain()}} << "c22"
                << QStringList{"1@0", "0@3000"};
        QTest::newRow("environmental reset, main screen closed")
                << main << QList<Timed>{{0, click(kEnv, "cmdEnvIntRst")}, {1000, closeMain()}} << "c512"
                << QStringList{"1@0", "0@3000"};
        QTest::newRow("water reset, main screen closed")
                << main << QList<Timed>{{0, click(kWater, "cmdWtrSysRst")}, {500, closeMain()}} << "c502"
                << QStringList{"1@0", "0@3000"};
        QTest::newRow("room call, porter screen unloads on deactivation")
                << porter << QList<Timed>{{0, click(kPorter, "cmdDrARmCall")}, {100, activateMain()}} << "c600"
                << QStringList{"1@0", "0@1000"};
        // Its load-time reset and the click share one timer, due at 200 ms.
        QTest::newRow("Drawing Room B annex call, porter screen unloads")
                << porter << QList<Timed>{{0, click(kPorter, "cmdDrBAnxCall")}, {100, activateMain()}} << "c630"
                << QStringList{"1@0", "0@200"};
        QTest::newRow("room call, porter screen reopened before the pending 0")
                << porter
                << QList<Timed>{{0, click(kPorter, "cmdDrARmCall")}, {100, activateMain()}, {400, show(kPorter)}}
                << "c600" << QStringList{"1@0", "0@1000"};
        QTest::newRow("room call, reopened and clicked again within the pulse")
                << porter
                << QList<Timed>{{0, click(kPorter, "cmdDrARmCall")},
                                {100, activateMain()},
                                {400, show(kPorter)},
                                {600, click(kPorter, "cmdDrARmCall")}}
                << "c600" << QStringList{"1@0", "0@1000"};
        QTest::newRow("room call, reopened after the pending 0, clicked again")
                << porter
                << QList<Timed>{{0, click(kPorter, "cmdDrARmCall")},
                                {100, activateMain()},
                                {1500, show(kPorter)},
                                {1600, click(kPorter, "cmdDrARmCall")}}
                << "c600" << QStringList{"1@0", "0@1000", "1@1600", "0@2600"};
        QTest::newRow("backfeed stop, clean exit within the pulse")
                << main << QList<Timed>{{0, click(kMain, "cmdBkfdStop")}, {1000, exitStation()}} << "c22"
                << QStringList{"1@0", "0@1000"};
        QTest::newRow("room call, clean exit after the porter screen unloaded")
                << porter
                << QList<Timed>{{0, click(kPorter, "cmdDrARmCall")}, {100, activateMain()}, {300, exitStation()}}
                << "c600" << QStringList{"1@0", "0@300"};
    }

    void thePulseEndsOnTime()
    {
        QFETCH(QStringList, opened);
        QFETCH(QList<Timed>, steps);
        QFETCH(QString, item);
        QFETCH(QStringList, pokes);

        TestStation t;
        for (const QString &form : opened)
            t.screens().show(form);
        qint64 now = 0;
        for (const Timed &s : steps) {
            t.advance(s.at - now);
            now = s.at;
            s.step(t);
            if (QTest::currentTestFailed())
                return;
        }
        t.advance(10000);
        QCOMPARE(t.pokes(item), pokes);
        QCOMPARE(t.station->pulses().pendingCount(), 0);
    }

    // The write that ends a kept pulse opens its own manual link and closes it at once.
    void aKeptPulseWritesThroughALinkOfItsOwn()
    {
        TestStation t;
        t.screens().show(kMain);
        t.control<QPushButton>(kMain, QStringLiteral("cmdBkfdStop"))->click();
        t.advance(1000);
        t.screen(kMain)->window()->close();
        t.advance(1000);
        const int before = int(t.operations().size());
        t.advance(1000);
        const QStringList after = t.operations().mid(before);
        QCOMPARE(after, QStringList({"open c22 manual@3000", "poke c22 0@3000", "close c22@3000"}));
    }
};

CORVANE_TEST_MAIN(TestCommandPulses)
#include "tst_commandPulses.moc"
