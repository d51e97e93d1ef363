#include "TestStation.h"

#include "core/alarm/AlarmLogger.h"

#include <QGroupBox>
#include <QPushButton>

using namespace corvane;
using namespace corvane::test;

namespace {
const QString kEnv = QStringLiteral("frmEnvSystem");

// Items as the server knows them, in the order the screen opens its links.
const QStringList kItems
        = {"c204", "c203", "c200", "c214", "c213", "c210", "c133", "x364", "x360", "c143", "x374", "x370", "c355",
           "c356", "c357", "x407", "x234", "x377", "C442", "C446", "C447", "C451", "C440", "C444", "C441", "C12"};
} // namespace

class TestFrmEnvSystem : public QObject
{
    Q_OBJECT

    static QString stamp(const TestStation &t) { return AlarmLogger::timeStamp(t.scheduler.now()); }

private Q_SLOTS:
    void windowButtonsAndFrames()
    {
        TestStation t;
        t.screens().show(kEnv);
        QWidget *w = t.screen(kEnv)->window();
        QCOMPARE(w->windowTitle(), QStringLiteral("Corvane Environmental Interface"));
        QCOMPARE(w->size(), QSize(twips(7500), twips(7845)));

        const QStringList buttons = {"cmdACUnitIO", "cmdOHBlowIO", "cmdOHHeatIO", "cmdFlrHeatIO", "cmdEnvIntRst"};
        const QStringList captions = {"AC Unit I/O", "Overhead Blower  I/O", "Overhead  Heat I/O", "Floor Heat I/O",
                                      "Alarm Warning Reset"};
        for (int i = 0; i < buttons.size(); ++i) {
            QCOMPARE(t.captionOf(kEnv, buttons[i]), captions[i]);
            if (i > 0) // a column, top to bottom
                QVERIFY(t.control(kEnv, buttons[i])->y() > t.control(kEnv, buttons[i - 1])->y());
        }
        QCOMPARE(t.captionOf(kEnv, "cmdHidefrmEnvSystem"), QStringLiteral("Hide"));

        const QStringList frames = {"fraACUntAlrms", "fraACUntWarn", "fraOHUntAlrm", "fraOHUntWrn"};
        const QStringList frameCaptions
                = {"AC Unit Alarms", "AC Unit Warnings", "Overhead Unit Alarms", "Overhead Unit Warnings"};
        QList<QRect> r;
        for (int i = 0; i < frames.size(); ++i) {
            QCOMPARE(t.captionOf(kEnv, frames[i]), frameCaptions[i]);
            r << t.control(kEnv, frames[i])->geometry();
            QVERIFY(w->rect().contains(r.last()));
        }
        // A left column of three frames; the overhead warnings at the bottom right, below
        // the buttons; Hide at the top right, right of the button column.
        QVERIFY(r[0].bottom() < r[1].top() && r[1].bottom() < r[2].top());
        QCOMPARE(r[0].left(), r[2].left());
        const QRect reset = t.control(kEnv, "cmdEnvIntRst")->geometry();
        QVERIFY(reset.left() > r[0].right());
        QVERIFY(r[3].left() > r[0].right() && r[3].top() > reset.bottom());
        QVERIFY(r[3].bottom() > r[1].bottom());
        const QRect hide = t.control(kEnv, "cmdHidefrmEnvSystem")->geometry();
        QVERIFY(hide.left() > reset.right() && hide.top() < reset.top());
        // The gap before the reset button.
        const QRect floor = t.control(kEnv, "cmdFlrHeatIO")->geometry();
        QVERIFY(reset.top() - floor.bottom() > floor.top() - t.control(kEnv, "cmdOHHeatIO")->geometry().bottom());
    }

    void linksOpenInTableOrderAndCloseInTheSameOrder()
    {
        TestStation t;
        t.screens().load(kEnv);
        QStringList expected;
        for (const QString &item : kItems)
            expected << "open " + item + " auto@0";
        expected << "open c512 manual@0";
        for (const QString &item : kItems + QStringList{"c512"})
            expected << "timeout " + item + " 50@0";
        QCOMPARE(t.operations(), expected);
        QVERIFY(t.link(kEnv, "lblC442")->item() == QStringLiteral("C442"));

        t.server.clearOperations();
        t.advance(100);
        t.screens().unload(kEnv);
        expected.clear();
        for (const QString &item : kItems + QStringList{"c512"})
            expected << "close " + item + "@100";
        QCOMPARE(t.operations(), expected);
    }

    void alarmLines_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("active");
        QTest::addColumn<QString>("raised");
        QTest::addColumn<QString>("cleared");
        auto row = [](const char *item, const char *active, const char *raised, const char *cleared) {
            QTest::newRow(item) << item << active << raised << cleared;
        };
        row("c204", "1", "FAULT C204 AC Compressor A High Motor Temp  ",
            "CLEAR C204 AC Compressor A High Motor Temp  ");
        row("c203", "1", "FAULT C203 AC Compressor A High Head Pressure  ",
            "CLEAR C203 AC Compressor A High Head Pressure  ");
        row("c200", "1", "FAULT C200 AC Compressor A Low Freon Pressure  ",
            "CLEAR C200 AC Compressor A Low Freon Pressure  ");
        row("c214", "1", "FAULT C214 AC Compressor B High Motor Temp  ",
            "CLEAR C214 AC Compressor B High Motor Temp  ");
        row("c213", "1", "FAULT C213 AC Compressor B High Head Pressure  ",
            "CLEAR C213 AC Compressor B High Head Pressure  ");
        row("c210", "1", "FAULT C210 AC Compressor B Low Freon Pressure  ",
            "CLEAR C210 AC Compressor B Low Freon Pressure  ");
        row("c133", "1", "WARN C133 AC Compressor A Block Heat Breaker Tripped  ",
            "CLEAR C133 AC Compressor A Block Heat Breaker Tripped  ");
        row("x364", "0", "WARN X364 AC Compressor A Control Switch in OFF  ",
            "CLEAR X364 AC Compressor A Control Switch in OFF  ");
        row("x360", "1", "WARN X360 AC Compressor A Control Switch in HAND  ",
            "CLEAR X360 AC Compressor A Control Switch in HAND  ");
        row("c143", "1", "WARN C143 AC Compressor B Block Heat Breaker Tripped  ",
            "CLEAR C143 AC Compressor B Block Heat Breaker Tripped  ");
        row("x374", "0", "WARN X374 AC Compressor B Control Switch in OFF  ",
            "CLEAR X374 AC Compressor B Control Switch in OFF  ");
        row("x370", "1", "WARN X370 AC Compressor B Control Switch in HAND  ",
            "CLEAR X370 AC Compressor B Control Switch in HAND  ");
        row("c355", "1", "FAULT C355 Overhead Blower A Switching Fault ",
            "CLEAR C355 Overhead Blower A Switching Fault  ");
        row("c356", "1", "FAULT C356 Overhead Blower B Switching Fault ",
            "CLEAR C356 Overhead Blower B Switching Fault  ");
        row("c357", "1", "FAULT C357 Dome Overhead Blower Switching Fault ",
            "CLEAR C357 Dome Overhead Blower Switching Fault  ");
        row("x407", "0", "FAULT X407 Overhead Blower A Drive Fault ", "CLEAR X407 Overhead Blower A Drive Fault  ");
        row("x234", "0", "FAULT X234 Overhead Blower B Drive Fault ", "CLEAR X234 Overhead Blower B Drive Fault  ");
        row("x377", "0", "FAULT X377 Dome Overhead Blower Drive Fault ",
            "CLEAR X377 Dome Overhead Blower Drive Fault  ");
        row("C442", "1", "WARN C442 Overhead Heat A End Overtemp 1 Tripped ",
            "CLEAR C442 Overhead Heat A End Overtemp 1 Tripped  ");
        row("C446", "1", "WARN C446 Overhead Heat A End Overtemp 2 Tripped ",
            "CLEAR C446 Overhead Heat A End Overtemp 2 Tripped  ");
        row("C447", "1", "WARN C447 Overhead Heat B End Overtemp 1 Tripped ",
            "CLEAR C447 Overhead Heat B End Overtemp 1 Tripped  ");
        row("C451", "1", "WARN C451 Overhead Heat B End Overtemp 2 Tripped ",
            "CLEAR C451 Overhead Heat B End Overtemp 2 Tripped  ");
        row("C440", "1", "WARN C440 Dome Overhead Heat Overtemp 1 Tripped ",
            "CLEAR C440 Dome Overhead Heat Overtemp 1 Tripped  ");
        row("C444", "1", "WARN C444 Dome Overhead Heat Overtemp 2 Tripped ",
            "CLEAR C444 Dome Overhead Heat Overtemp 2 Tripped  ");
        row("C441", "1", "WARN C441 Dome 2nd Stage Overhead Heat Overtemp 2 Tripped ",
            "CLEAR C441 Dome 2nd Stage Overhead Heat Overtemp 2 Tripped  ");
        row("C12", "1", "WARN C12 Overhead Blower Control in Stop ", "CLEAR C12 Overhead Blower Control in Stop  ");
    }
    void alarmLines()
    {
        QFETCH(QString, item);
        QFETCH(QString, active);
        QFETCH(QString, raised);
        QFETCH(QString, cleared);
        const QString inactive = active == "1" ? "0" : "1";
        TestStation t;
        t.screens().load(kEnv);
        t.server.setValue(item, "2"); // away from the design caption: raises nothing
        t.advance(1000);
        t.server.setValue(item, active);
        t.settle();
        const QString first = raised + stamp(t);
        t.advance(1000);
        t.server.setValue(item, inactive);
        t.settle();
        const QStringList expected = {first, cleared + stamp(t)};
        QCOMPARE(t.alarmLogLines(), expected);
        QCOMPARE(t.alarmListLines(), expected);
    }

    void theFirstDeliveriesRaiseTheLinesOfValuesThatDifferFromTheDesign()
    {
        TestStation t;
        // A healthy car: no fault, switches in AUTO (not OFF, not HAND), drives OK.
        for (const QString &item : kItems)
            t.server.setValue(item, "0");
        for (const char *item : {"x364", "x374", "x407", "x234", "x377"})
            t.server.setValue(item, "1");
        t.screens().load(kEnv);
        t.advance(200);
        // Those whose design caption already was the healthy value raise nothing.
        QStringList expected;
        for (const char *msg : {"CLEAR C204 AC Compressor A High Motor Temp  ",
                                "CLEAR C203 AC Compressor A High Head Pressure  ",
                                "CLEAR C200 AC Compressor A Low Freon Pressure  ",
                                "CLEAR C214 AC Compressor B High Motor Temp  ",
                                "CLEAR C213 AC Compressor B High Head Pressure  ",
                                "CLEAR C210 AC Compressor B Low Freon Pressure  ",
                                "CLEAR C133 AC Compressor A Block Heat Breaker Tripped  ",
                                "CLEAR X364 AC Compressor A Control Switch in OFF  ",
                                "CLEAR X360 AC Compressor A Control Switch in HAND  ",
                                "CLEAR C143 AC Compressor B Block Heat Breaker Tripped  ",
                                "CLEAR X374 AC Compressor B Control Switch in OFF  ",
                                "CLEAR X370 AC Compressor B Control Switch in HAND  ",
                                "CLEAR C355 Overhead Blower A Switching Fault  ",
                                "CLEAR C356 Overhead Blower B Switching Fault  ",
                                "CLEAR C357 Dome Overhead Blower Switching Fault  ",
                                "CLEAR X407 Overhead Blower A Drive Fault  ",
                                "CLEAR X234 Overhead Blower B Drive Fault  ",
                                "CLEAR X377 Dome Overhead Blower Drive Fault  ",
                                "CLEAR C442 Overhead Heat A End Overtemp 1 Tripped  ",
                                "CLEAR C446 Overhead Heat A End Overtemp 2 Tripped  ",
                                "CLEAR C447 Overhead Heat B End Overtemp 1 Tripped  "})
            expected << QString::fromLatin1(msg) + stamp(t);
        QCOMPARE(t.alarmLogLines(), expected);
        // Every label healthy at the first tick.
        for (const char *s : {"lblC204Status", "lblX364Status", "lblX407Status", "lblC442Status", "lblC12Status"})
            QCOMPARE(t.colourOf(kEnv, s), Colours::green);
    }

    void repaintRules_data()
    {
        QTest::addColumn<QStringList>("values"); // item=value, in delivery order
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<quint32>("colour"); // on a lit tick
        const quint32 red = 0x0000FF, yellow = 0x00FFFF, green = 0x00FF00;
        auto row = [](const char *name, QStringList values, const char *status, const char *caption, quint32 c) {
            QTest::newRow(name) << values << status << caption << c;
        };
        row("c204 = 1", {"c204=1"}, "lblC204Status", "HIGH", red);
        row("c204 = 0", {"c204=0"}, "lblC204Status", "OK", green);
        row("c204 = 2", {"c204=2"}, "lblC204Status", "OK", green);
        row("c210 = 1", {"c210=1"}, "lblC210Status", "LOW", red);
        row("c210 = word", {"c210=BAD"}, "lblC210Status", "OK", green);
        row("c143 = 1", {"c143=1"}, "lblC143Status", "TRIPPED", yellow);
        row("x364 = 0 wins over HAND", {"x360=1", "x364=0"}, "lblX364Status", "OFF", red);
        row("x364 = 1, x360 = 1", {"x364=1", "x360=1"}, "lblX364Status", "HAND", yellow);
        row("x364 = 1, x360 = 0", {"x364=1", "x360=0"}, "lblX364Status", "Auto", green);
        row("x364 = 2, x360 = 1", {"x364=2", "x360=1"}, "lblX364Status", "HAND", yellow);
        row("x364 = 2, x360 = 0", {"x364=2", "x360=0"}, "lblX364Status", "Auto", green);
        row("x374 = 1, x370 = 1", {"x374=1", "x370=1"}, "lblX374Status", "HAND", yellow);
        row("x374 = 1, x370 = 2", {"x374=1", "x370=2"}, "lblX374Status", "Auto", green);
        row("x374 reads x370, not x360", {"x374=1", "x360=1", "x370=0"}, "lblX374Status", "Auto", green);
        row("c357 = 1", {"c357=1"}, "lblC357Status", "FAULT", red);
        row("x407 = 0", {"x407=0"}, "lblX407Status", "FAULT", red);
        row("x407 = 1", {"x407=1"}, "lblX407Status", "OK", green);
        row("x377 = 2", {"x377=2"}, "lblX377Status", "OK", green);
        row("C442 = 1", {"C442=1"}, "lblC442Status", "TRIPPED", yellow);
        row("c442 is not C442", {"c442=0"}, "lblC442Status", "TRIPPED", yellow);
        row("C441 = 0", {"C441=0"}, "lblC441Status", "OK", green);
        row("C12 = 1", {"C12=1"}, "lblC12Status", "STOPPED", yellow);
        row("C12 = 0", {"C12=0"}, "lblC12Status", "RUN", green);
        row("C12 = 2", {"C12=2"}, "lblC12Status", "RUN", green);
    }
    void repaintRules()
    {
        QFETCH(QStringList, values);
        QFETCH(QString, status);
        QFETCH(QString, caption);
        QFETCH(quint32, colour);
        TestStation t;
        t.screens().load(kEnv);
        for (const QString &v : values)
            t.server.setValue(v.section('=', 0, 0), v.section('=', 1));
        t.advance(200); // the first tick: both generators lit
        QCOMPARE(t.captionOf(kEnv, status), caption);
        QCOMPARE(t.colourOf(kEnv, status), ColourRef(colour));
    }

    void anOffSwitchFlashesRedThoughItsLineIsAWarning()
    {
        TestStation t;
        t.server.setValue("x364", "1");
        t.screens().load(kEnv);
        t.advance(1000);
        t.server.setValue("x364", "0");
        t.advance(200);
        QCOMPARE(t.alarmLogLines().last(), "WARN X364 AC Compressor A Control Switch in OFF  " + stamp(t));
        QList<ColourRef> seen;
        for (int i = 0; i < 4; ++i) {
            seen << t.colourOf(kEnv, "lblX364Status");
            t.advance(200);
        }
        QCOMPARE(seen, QList<ColourRef>({Colours::red, Colours::buttonFace, Colours::buttonFace, Colours::red}));
    }

    void deactivationDoesNothing()
    {
        TestStation t;
        t.screens().show(kEnv);
        t.screens().show("frmSelect");
        TestStation::activate(t.screen(kEnv)->window());
        TestStation::activate(t.screen("frmSelect")->window());
        TestStation::activate(nullptr);
        QVERIFY(t.screens().isLoaded(kEnv));
        QVERIFY(t.screen(kEnv)->isVisible());
    }
};

CORVANE_TEST_MAIN(TestFrmEnvSystem)
#include "tst_frmEnvSystem.moc"
