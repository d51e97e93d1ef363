#include "TestStation.h"

#include "core/alarm/AlarmLogger.h"

#include <QPushButton>

using namespace corvane;
using namespace corvane::test;

namespace {
const QString kWater = QStringLiteral("frmWtrSystem");
const QStringList kItems = {"t340", "t341", "t342", "t343", "t344", "c301", "c354", "c300", "c366", "c363"};

QRect geometryIn(QWidget *w, QWidget *form)
{
    return QRect(w->mapTo(form, QPoint(0, 0)), w->size());
}
} // namespace

class TestFrmWtrSystem : public QObject
{
    Q_OBJECT

    static QString stamp(const TestStation &t) { return AlarmLogger::timeStamp(t.scheduler.now()); }

private Q_SLOTS:
    void windowAndButtons()
    {
        TestStation t;
        t.screens().show(kWater);
        QWidget *w = t.screen(kWater)->window();
        QCOMPARE(w->windowTitle(), QStringLiteral("Corvane Water System Interface"));
        QCOMPARE(t.captionOf(kWater, "fraWtrSysFaults"), QStringLiteral("Water System Faults"));
        QCOMPARE(t.captionOf(kWater, "fraWtrSysWarn"), QStringLiteral("Water System Warnings"));
        const QRect faults = t.control(kWater, "fraWtrSysFaults")->geometry();
        const QRect warnings = t.control(kWater, "fraWtrSysWarn")->geometry();
        QVERIFY(faults.bottom() < warnings.top());

        // A column at the right: Hide, the three I/O buttons beside the faults, the
        // reset beside the warnings.
        const QStringList buttons
                = {"cmdHidefrmWtrSystem", "cmdWtrSysIO", "cmdAntiFrezIO", "cmdAirVacIO", "cmdWtrSysRst"};
        const QStringList captions
                = {"Hide", "Water System I/O", "Anti Freeze  I/O", "Air/Vacuum I/O", "Alarm Warning Reset"};
        for (int i = 0; i < buttons.size(); ++i) {
            QWidget *b = t.control(kWater, buttons[i]);
            QCOMPARE(t.captionOf(kWater, buttons[i]), captions[i]);
            QVERIFY(b->x() > faults.right());
            QVERIFY(w->rect().contains(b->geometry()));
            if (i > 0)
                QVERIFY(b->y() > t.control(kWater, buttons[i - 1])->geometry().bottom());
            if (i >= 1 && i <= 3)
                QVERIFY(b->geometry().bottom() <= faults.bottom());
        }
        const QRect reset = t.control(kWater, "cmdWtrSysRst")->geometry();
        QVERIFY(reset.top() >= warnings.top() - twips(300) && reset.bottom() <= warnings.bottom());
    }

    void rowsRunTopToBottomInTableOrder()
    {
        TestStation t;
        t.screens().show(kWater);
        QWidget *form = t.screen(kWater)->window();
        int lastY = -1;
        for (const QString &item : kItems) {
            const QString status = "lbl" + item.toUpper() + "Status";
            const int y = geometryIn(t.control(kWater, status), form).y();
            QVERIFY2(y > lastY, qPrintable(status));
            lastY = y;
        }
    }

    void linksOpenInOrderAndClose()
    {
        TestStation t;
        t.screens().load(kWater);
        QStringList expected;
        for (const QString &item : kItems)
            expected << "open " + item + " auto@0";
        expected << "open c502 manual@0";
        for (const QString &item : kItems + QStringList{"c502"})
            expected << "timeout " + item + " 50@0";
        QCOMPARE(t.operations(), expected);
        t.server.clearOperations();
        t.screens().unload(kWater);
        expected.clear();
        for (const QString &item : kItems + QStringList{"c502"})
            expected << "close " + item + "@0";
        QCOMPARE(t.operations(), expected);
    }

    void alarmLines_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("raised");
        QTest::addColumn<QString>("cleared");
        auto row = [](const char *item, const char *raised, const char *cleared) {
            QTest::newRow(item) << item << raised << cleared;
        };
        row("t340", "FAULT T340 Heat Tape A Breaker Tripped  ", "CLEAR T340 Heat Tape A Breaker Tripped  ");
        row("t341", "FAULT T341 Heat Tape B Breaker Tripped  ", "CLEAR T341 Heat Tape B Breaker Tripped  ");
        row("t342", "FAULT T342 Heat A Breaker Tripped  ", "CLEAR T342 Heat A Breaker Tripped  ");
        row("t343", "FAULT T343 Heat B Breaker Tripped  ", "CLEAR T343 Heat B Breaker Tripped  ");
        row("t344", "FAULT T344 Sewage Heat Breaker Tripped  ", "CLEAR T344 Sewage Heat Breaker Tripped  ");
        row("c301", "FAULT C301 Water Tank Temp Low  ", "CLEAR C301 Water Tank Temp Low  ");
        row("c354", "FAULT C354 Air Compressor Switching Fault ", "CLEAR C354 Air Compressor Switching Fault  ");
        row("c300", "WARN C300 Water Level Low  ", "CLEAR C300 Water Level Low  ");
        row("c366", "WARN C366 Water Heater 1 Level Low  ", "CLEAR C366 Water Heater 1 Level Low  ");
        row("c363", "WARN C363 Water Heater 2 Level Low  ", "CLEAR C363 Water Heater 2 Level Low  ");
    }
    void alarmLines()
    {
        QFETCH(QString, item);
        QFETCH(QString, raised);
        QFETCH(QString, cleared);
        TestStation t;
        t.server.setValue(item, "0");
        t.screens().load(kWater);
        t.settle(); // the first delivery replaces the design caption "1"
        const QString first = cleared + stamp(t);
        t.advance(1000);
        t.server.setValue(item, "1");
        t.settle();
        const QString second = raised + stamp(t);
        t.advance(1000);
        t.server.setValue(item, "2");
        t.settle();
        QCOMPARE(t.alarmLogLines(), QStringList({first, second}));
        // In the file, with CR LF after each line and nothing else.
        QCOMPARE(t.alarmLogBytes(), (first + "\r\n" + second + "\r\n").toUtf8());
    }

    void repaintRules_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<quint32>("colour");
        const quint32 red = 0x0000FF, yellow = 0x00FFFF, green = 0x00FF00;
        auto row = [](const char *item, const char *value, const char *caption, quint32 colour) {
            QTest::addRow("%s = %s", item, value)
                    << item << value << "lbl" + QString(item).toUpper() + "Status" << caption << colour;
        };
        row("t340", "1", "TRIPPED", red);
        row("t343", "1", "TRIPPED", red);
        row("t344", "0", "OK", green);
        row("c301", "1", "LOW", red);
        row("c354", "1", "Fault", red);
        row("c354", "0", "OK", green);
        row("c354", "2", "OK", green);
        row("c300", "1", "LOW", yellow);
        row("c366", "1", "LOW", yellow);
        row("c363", "1", "LOW", yellow);
        row("c363", "-1", "OK", green);
        row("c363", "none", "OK", green);
    }
    void repaintRules()
    {
        QFETCH(QString, item);
        QFETCH(QString, value);
        QFETCH(QString, status);
        QFETCH(QString, caption);
        QFETCH(quint32, colour);
        TestStation t;
        t.screens().load(kWater);
        t.server.setValue(item, value);
        t.advance(200);
        QCOMPARE(t.captionOf(kWater, status), caption);
        QCOMPARE(t.colourOf(kWater, status), ColourRef(colour));
    }

    void itStaysLoadedWhileAButtonHoldsTheFocus()
    {
        TestStation t;
        t.screens().show("frmSelect");
        t.screens().show(kWater);
        TestStation::activate(t.screen(kWater)->window());
        QVERIFY(QApplication::focusWidget() != t.screen(kWater)->window());
        TestStation::activate(t.screen("frmSelect")->window());
        QVERIFY(t.screens().isLoaded(kWater));
        // Deactivation alone does nothing either.
        TestStation::activate(t.screen(kWater)->window());
        TestStation::activate(nullptr);
        QVERIFY(t.screens().isLoaded(kWater));
    }

    // A stray click or a Tab must not hand the focus to the window itself: the next
    // click on another window would unload the screen and stop the water alarm lines.
    void inOrdinaryUseTheWindowNeverTakesTheFocus_data()
    {
        QTest::addColumn<QString>("gesture");
        QTest::newRow("click on a status word") << "lblC354Status";
        QTest::newRow("click on a text label") << "lblAirComp";
        QTest::newRow("click on a frame") << "fraWtrSysWarn";
        QTest::newRow("click on the empty surface") << "";
        QTest::newRow("Tab around the chain") << "Tab";
        QTest::newRow("Shift+Tab around the chain") << "Backtab";
        QTest::newRow("Hide and show again") << "Hide";
    }
    void inOrdinaryUseTheWindowNeverTakesTheFocus()
    {
        QFETCH(QString, gesture);
        TestStation t;
        t.server.setValue("c354", "0");
        t.screens().show("frmSelect");
        t.screens().show(kWater);
        QWidget *w = t.screen(kWater)->window();
        TestStation::activate(w);
        if (gesture == "Tab" || gesture == "Backtab") {
            const Qt::Key key = gesture == "Tab" ? Qt::Key_Tab : Qt::Key_Backtab;
            for (int i = 0; i < 7; ++i) { // five buttons: round the whole chain and on
                QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : w, key);
                QVERIFY(QApplication::focusWidget() != w);
            }
        } else if (gesture == "Hide") {
            t.control<QPushButton>(kWater, "cmdHidefrmWtrSystem")->click();
            t.screens().show(kWater);
            TestStation::activate(w);
        } else {
            QWidget *target = gesture.isEmpty() ? w : t.control(kWater, gesture);
            QVERIFY(target);
            // A point of the target that no child covers.
            const QPoint at = gesture.isEmpty() ? QPoint(w->width() - 2, w->height() - 2) : QPoint(2, 2);
            QCOMPARE(target->childAt(at), nullptr);
            QTest::mouseClick(target, Qt::LeftButton, {}, at);
        }
        t.settle();
        QVERIFY(QApplication::focusWidget() != w);
        TestStation::activate(t.screen("frmSelect")->window());
        QVERIFY(t.screens().isLoaded(kWater));
        t.server.setValue("c354", "1");
        t.settle();
        QCOMPARE(t.alarmLogLines().filter("C354").mid(1),
                 QStringList{"FAULT C354 Air Compressor Switching Fault " + stamp(t)});
    }

    void itUnloadsWhenItsOwnWindowLosesTheFocus()
    {
        TestStation t;
        t.screens().show("frmSelect");
        t.screens().show(kWater);
        QWidget *w = t.screen(kWater)->window();
        TestStation::activate(w);
        w->setFocus(Qt::OtherFocusReason);
        QCOMPARE(QApplication::focusWidget(), w);
        TestStation::activate(nullptr); // another application: not ours
        QVERIFY(t.screens().isLoaded(kWater));
        TestStation::activate(w);
        w->setFocus(Qt::OtherFocusReason);
        TestStation::activate(t.screen("frmSelect")->window());
        QVERIFY(!t.screens().isLoaded(kWater));
        QCOMPARE(t.server.openLinkCount(), 2); // the selection window's own
        t.screens().show(kWater);              // the next show request loads it again
        QVERIFY(t.screens().isLoaded(kWater));
    }
};

CORVANE_TEST_MAIN(TestFrmWtrSystem)
#include "tst_frmWtrSystem.moc"
