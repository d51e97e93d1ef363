// What the environmental and water system screens share: alarm lines on every change,
// the flash tick's repaint, the reset pulse, Hide, and running while hidden.
#include "TestStation.h"

#include "core/alarm/AlarmLogger.h"

#include <QPushButton>

using namespace corvane;
using namespace corvane::test;

namespace {

struct SummaryCase
{
    QString name;
    QString resetItem, resetLink, resetButton, hideButton;
    // A fault item (red flash) and a warning item (yellow flash), both active at 1.
    QString fault, faultStatus, faultWord, faultLine, faultClear;
    QString warning, warningStatus, warningWord;
};

const SummaryCase kEnv{"frmEnvSystem",
                       "c512",
                       "lblEnvSysRstC512",
                       "cmdEnvIntRst",
                       "cmdHidefrmEnvSystem",
                       "c204",
                       "lblC204Status",
                       "HIGH",
                       "FAULT C204 AC Compressor A High Motor Temp  ",
                       "CLEAR C204 AC Compressor A High Motor Temp  ",
                       "c133",
                       "lblC133Status",
                       "TRIPPED"};
const SummaryCase kWater{"frmWtrSystem",
                         "c502",
                         "lblWtrSysRstC502",
                         "cmdWtrSysRst",
                         "cmdHidefrmWtrSystem",
                         "t340",
                         "lblT340Status",
                         "TRIPPED",
                         "FAULT T340 Heat Tape A Breaker Tripped  ",
                         "CLEAR T340 Heat Tape A Breaker Tripped  ",
                         "c300",
                         "lblC300Status",
                         "LOW"};

} // namespace

Q_DECLARE_METATYPE(SummaryCase)

class TestAlarmSummary : public QObject
{
    Q_OBJECT

    static void forms()
    {
        QTest::addColumn<SummaryCase>("form");
        QTest::newRow("environmental") << kEnv;
        QTest::newRow("water") << kWater;
    }
    static QString stamp(const TestStation &t) { return AlarmLogger::timeStamp(t.scheduler.now()); }
    static void click(TestStation &t, const SummaryCase &f, const QString &button)
    {
        t.control<QPushButton>(f.name, button)->click();
    }

private Q_SLOTS:
    void statusRowsStandLeftOfTheirTextInTheirFrame_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("design");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("text");
        const char *form = "frmEnvSystem";
        auto row = [&form](const char *frame, const char *status, const char *design, const char *label,
                           const char *text) {
            QTest::newRow(status) << form << frame << status << design << label << text;
        };
        row("fraACUntAlrms", "lblC204Status", "HIGH", "lblACCmpAMtrTmp", "AC Compressor A Motor Temp");
        row("fraACUntAlrms", "lblC203Status", "HIGH", "lblACCmpAHdPres", "AC Compressor A Head Press");
        row("fraACUntAlrms", "lblC200Status", "LOW", "lblACCmpAFrnPres", "AC Compressor A Freon Press");
        row("fraACUntAlrms", "lblC214Status", "HIGH", "lblACCmpBMtrTmp", "AC Compressor B Motor Temp");
        row("fraACUntAlrms", "lblC213Status", "HIGH", "lblACCmpBHdPres", "AC Compressor B Head Press");
        row("fraACUntAlrms", "lblC210Status", "LOW", "lblACCmpBFrnPres", "AC Compressor B Freon Press");
        row("fraACUntWarn", "lblC133Status", "TRIPPED", "lblCompABlkHetBrkr", "Comp A Block Heat Breaker");
        row("fraACUntWarn", "lblX364Status", "OFF", "lblACAContrlSwtch", "AC Unit A Control Switch");
        row("fraACUntWarn", "lblC143Status", "TRIPPED", "lblCompBBlkHetBrkr", "Comp B Block Heat Breaker");
        row("fraACUntWarn", "lblX374Status", "OFF", "lblACBContrlSwtch", "AC Unit B Control Switch");
        row("fraOHUntAlrm", "lblC355Status", "FAULT", "lblABlowSwtchFlt", "A End Blower Switching Fault");
        row("fraOHUntAlrm", "lblC356Status", "FAULT", "lblBBlowSwtchFlt", "B End Blower Switching Fault");
        row("fraOHUntAlrm", "lblC357Status", "FAULT", "lblDmBlowSwtchFlt", "Dome Blower Switching Fault");
        row("fraOHUntAlrm", "lblX407Status", "FAULT", "lblABlowDrvFlt", "A End Blower Drive Fault");
        row("fraOHUntAlrm", "lblX234Status", "FAULT", "lblBBlowDrvFlt", "B End Blower Drive Fault");
        row("fraOHUntAlrm", "lblX377Status", "FAULT", "lblDmBlowDrvFlt", "Dome Blower Drive Fault");
        row("fraOHUntWrn", "lblC442Status", "TRIPPED", "lblAOHHeatOvrtmp1", "A End OH Heat Overtemp 1");
        row("fraOHUntWrn", "lblC446Status", "TRIPPED", "lblAOHHeatOvrtmp2", "A End OH Heat Overtemp 2");
        row("fraOHUntWrn", "lblC447Status", "TRIPPED", "lblBOHHeatOvrtmp1", "B End OH Heat Overtemp 1");
        row("fraOHUntWrn", "lblC451Status", "TRIPPED", "lblBOHHeatOvrtmp2", "B End OH Heat Overtemp 2");
        row("fraOHUntWrn", "lblC440Status", "TRIPPED", "lblDmOHHeatOvrtmp1", "Dome OH Heat Overtemp 1");
        row("fraOHUntWrn", "lblC444Status", "TRIPPED", "lblDmOHHeatOvrtmp2", "Dome OH Heat Overtemp 2");
        row("fraOHUntWrn", "lblC441Status", "TRIPPED", "lblDmOHHeatOvrtmp3", "Dome OH Heat Overtemp 3");
        row("fraOHUntWrn", "lblC12Status", "STOPPED", "lblOHBlowCntrl", "Overhead Blower Control");
        form = "frmWtrSystem";
        row("fraWtrSysFaults", "lblT340Status", "TRIPPED", "lblHeatTapeABrkr", "Heat Tape A breaker");
        row("fraWtrSysFaults", "lblT341Status", "TRIPPED", "lblHeatTapeBBrkr", "Heat Tape B breaker");
        row("fraWtrSysFaults", "lblT342Status", "TRIPPED", "lblHeatABrkr", "Heat A breaker");
        row("fraWtrSysFaults", "lblT343Status", "TRIPPED", "Label8", "Heat B breaker");
        row("fraWtrSysFaults", "lblT344Status", "TRIPPED", "lblSwgHeatBrkr", "Sewage Heat  breaker");
        row("fraWtrSysFaults", "lblC301Status", "LOW", "lblWtrTempLow", "Water Tank Temp");
        row("fraWtrSysFaults", "lblC354Status", "FAULT", "lblAirComp", "Air Compressor");
        row("fraWtrSysWarn", "lblC300Status", "LOW", "lblWaterLevel", "Water Level");
        row("fraWtrSysWarn", "lblC366Status", "LOW", "lblWaterHeater1Level", "Water Heater 1 Level");
        row("fraWtrSysWarn", "lblC363Status", "LOW", "lblWaterHeater2Level", "Water Heater 2 Level");
    }
    void statusRowsStandLeftOfTheirTextInTheirFrame()
    {
        QFETCH(QString, form);
        QFETCH(QString, frame);
        QFETCH(QString, status);
        QFETCH(QString, design);
        QFETCH(QString, label);
        QFETCH(QString, text);
        TestStation t;
        t.screens().show(form);
        QWidget *window = t.screen(form)->window();
        QWidget *s = t.control(form, status);
        QWidget *l = t.control(form, label);
        QVERIFY(s && l);
        QCOMPARE(t.captionOf(form, status), design); // until the first tick
        QCOMPARE(t.captionOf(form, label), text);
        QCOMPARE(s->parentWidget()->objectName(), frame);
        QCOMPARE(l->parentWidget()->objectName(), frame);
        QVERIFY(s->isVisibleTo(window));
        QCOMPARE(qobject_cast<QLabel *>(s)->textFormat(), Qt::PlainText);
        // On one line, the status label at the left of its text, both inside the frame.
        auto inWindow = [window](QWidget *w) { return QRect(w->mapTo(window, QPoint(0, 0)), w->size()); };
        const QRect sr = inWindow(s), lr = inWindow(l);
        QVERIFY(sr.right() < lr.left());
        QCOMPARE(sr.center().y(), lr.center().y());
        QVERIFY(inWindow(s->parentWidget()).contains(lr));
    }

    void everyChangeToTheActiveValueRaisesItsLineAgain_data() { forms(); }
    void everyChangeToTheActiveValueRaisesItsLineAgain()
    {
        QFETCH(SummaryCase, form);
        TestStation t;
        t.screens().load(form.name);
        QStringList expected;
        for (const char *v : {"1", "0", "1"}) {
            t.advance(1000);
            t.server.setValue(form.fault, QString::fromLatin1(v));
            t.settle();
            expected << (v[0] == '1' ? form.faultLine : form.faultClear) + stamp(t);
        }
        // The design caption is "1": the first "1" changes nothing and raises nothing.
        expected.removeFirst();
        QCOMPARE(t.alarmLogLines(), expected);
        QCOMPARE(t.alarmListLines(), expected);
    }

    void valuesOtherThanZeroAndOneRaiseNothingAndPaintTheOtherwiseRow_data()
    {
        QTest::addColumn<SummaryCase>("form");
        QTest::addColumn<QString>("value");
        for (const SummaryCase &f : {kEnv, kWater}) {
            for (const char *v : {"2", "-1", "0.5", "", "ERROR", "1x"})
                QTest::addRow("%s %s", qPrintable(f.name), v) << f << QString::fromLatin1(v);
        }
    }
    void valuesOtherThanZeroAndOneRaiseNothingAndPaintTheOtherwiseRow()
    {
        QFETCH(SummaryCase, form);
        QFETCH(QString, value);
        TestStation t;
        t.screens().load(form.name);
        t.server.setValue(form.fault, value);
        t.advance(200);
        QVERIFY(t.alarmLogLines().isEmpty());
        QCOMPARE(t.captionOf(form.name, form.faultStatus), QStringLiteral("OK"));
        QCOMPARE(t.colourOf(form.name, form.faultStatus), Colours::green);
    }

    void blanksAroundTheDigitStillRead_data() { forms(); }
    void blanksAroundTheDigitStillRead()
    {
        QFETCH(SummaryCase, form);
        TestStation t;
        t.server.setValue(form.fault, QStringLiteral("0"));
        t.screens().load(form.name);
        t.settle();
        t.server.setValue(form.fault, QStringLiteral(" 1 "));
        t.advance(200);
        QCOMPARE(t.alarmLogLines().last(), form.faultLine + stamp(t));
        QCOMPARE(t.captionOf(form.name, form.faultStatus), form.faultWord);
    }

    void redAndYellowLabelsFlashInStep400MsEach_data() { forms(); }
    void redAndYellowLabelsFlashInStep400MsEach()
    {
        QFETCH(SummaryCase, form);
        TestStation t;
        t.screens().load(form.name); // design captions: both items active
        const ColourRef face = Colours::buttonFace;
        const QList<ColourRef> red = {Colours::red, Colours::red, face, face, Colours::red, Colours::red, face, face};
        const QList<ColourRef> yellow
                = {Colours::yellow, Colours::yellow, face, face, Colours::yellow, Colours::yellow, face, face};
        QList<ColourRef> seenRed, seenYellow;
        for (int tick = 0; tick < 8; ++tick) {
            t.advance(200);
            seenRed << t.colourOf(form.name, form.faultStatus);
            seenYellow << t.colourOf(form.name, form.warningStatus);
        }
        QCOMPARE(seenRed, red);
        QCOMPARE(seenYellow, yellow);
        QCOMPARE(t.captionOf(form.name, form.faultStatus), form.faultWord);
        QCOMPARE(t.captionOf(form.name, form.warningStatus), form.warningWord);
    }

    void aHiddenScreenKeepsLinksTimersAndAlarmLines_data() { forms(); }
    void aHiddenScreenKeepsLinksTimersAndAlarmLines()
    {
        QFETCH(SummaryCase, form);
        TestStation t;
        t.screens().load(form.name);
        QVERIFY(!t.screen(form.name)->isVisible());
        t.server.setValue(form.fault, QStringLiteral("0"));
        t.advance(200);
        QCOMPARE(t.alarmLogLines(), QStringList{form.faultClear + stamp(t)});
        QCOMPARE(t.captionOf(form.name, form.faultStatus), QStringLiteral("OK"));

        t.screens().show(form.name);
        click(t, form, form.hideButton);
        QVERIFY(t.screens().isLoaded(form.name));
        QVERIFY(!t.screen(form.name)->isVisible());
        t.server.setValue(form.fault, QStringLiteral("1"));
        t.advance(200);
        QCOMPARE(t.alarmLogLines().size(), 2);
        QCOMPARE(t.captionOf(form.name, form.faultStatus), form.faultWord);
    }

    void twoResetPressesWithin3SecondsWriteOnePulse_data() { forms(); }
    void twoResetPressesWithin3SecondsWriteOnePulse()
    {
        QFETCH(SummaryCase, form);
        TestStation t;
        t.screens().show(form.name);
        t.advance(500);
        click(t, form, form.resetButton);
        t.advance(2000);
        click(t, form, form.resetButton);
        t.advance(5000);
        QCOMPARE(t.pokes(form.resetItem), QStringList({"1@500", "0@3500"}));
        click(t, form, form.resetButton); // idle again: a new pulse
        t.advance(3000);
        QCOMPARE(t.pokes(form.resetItem), QStringList({"1@500", "0@3500", "1@7500", "0@10500"}));
        QVERIFY(t.alarmLogLines().isEmpty()); // the reset link has no alarm lines
    }

    void withoutTheServerTheDesignCaptionsShowTheAlarmStateQuietly_data() { forms(); }
    void withoutTheServerTheDesignCaptionsShowTheAlarmStateQuietly()
    {
        QFETCH(SummaryCase, form);
        TestStation t;
        t.server.setPresent(false);
        t.screens().load(form.name);
        t.advance(200);
        QVERIFY(t.screens().isLoaded(form.name));
        QCOMPARE(t.captionOf(form.name, form.faultStatus), form.faultWord);
        QCOMPARE(t.colourOf(form.name, form.faultStatus), Colours::red);
        click(t, form, form.resetButton); // the pulse runs on the control alone
        QCOMPARE(t.link(form.name, form.resetLink)->value(), QStringLiteral("1"));
        t.advance(5000);
        QVERIFY(t.alarmLogLines().isEmpty());
    }

    void reloadingOpensTheLinksAfreshAndShowsTheDesignUntilTheFirstTick_data() { forms(); }
    void reloadingOpensTheLinksAfreshAndShowsTheDesignUntilTheFirstTick()
    {
        QFETCH(SummaryCase, form);
        TestStation t;
        t.server.setValue(form.fault, QStringLiteral("0"));
        t.screens().load(form.name);
        t.advance(400);
        QCOMPARE(t.captionOf(form.name, form.faultStatus), QStringLiteral("OK"));
        t.screens().unload(form.name);
        QCOMPARE(t.server.openLinkCount(), 0);
        t.screens().load(form.name);
        t.settle();
        QCOMPARE(t.captionOf(form.name, form.faultStatus), form.faultWord); // design caption
        t.advance(200);
        QCOMPARE(t.captionOf(form.name, form.faultStatus), QStringLiteral("OK"));
        // Each load's first delivery replaces the design caption "1": two CLEAR lines.
        QCOMPARE(t.alarmLogLines().size(), 2);
    }

    void theIoButtonsShowTheirScreensAndTheSummaryStays_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("target");
        QTest::newRow("AC unit") << "frmEnvSystem"
                                 << "cmdACUnitIO"
                                 << "frmACUnitIO";
        QTest::newRow("blower") << "frmEnvSystem"
                                << "cmdOHBlowIO"
                                << "frmOvrhdBlowIO";
        QTest::newRow("overhead heat") << "frmEnvSystem"
                                       << "cmdOHHeatIO"
                                       << "frmOvrhdHeatIO";
        QTest::newRow("floor heat") << "frmEnvSystem"
                                    << "cmdFlrHeatIO"
                                    << "frmFlrHeatIO";
        QTest::newRow("water system") << "frmWtrSystem"
                                      << "cmdWtrSysIO"
                                      << "frmWtrSysIO";
        QTest::newRow("anti-freeze") << "frmWtrSystem"
                                     << "cmdAntiFrezIO"
                                     << "frmAntiFreezeIO";
        QTest::newRow("air/vacuum") << "frmWtrSystem"
                                    << "cmdAirVacIO"
                                    << "frmAirVacIO";
    }
    void theIoButtonsShowTheirScreensAndTheSummaryStays()
    {
        QFETCH(QString, form);
        QFETCH(QString, button);
        QFETCH(QString, target);
        TestStation t;
        t.screens().show(form);
        t.control<QPushButton>(form, button)->click();
        t.control<QPushButton>(form, button)->click(); // one instance
        Screen *io = t.screen(target);
        QVERIFY2(io, qPrintable(target + QStringLiteral(" is not registered")));
        QVERIFY(t.screens().isLoaded(target));
        QVERIFY(io->isVisible());
        const QWidgetList windows = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(windows.begin(), windows.end(),
                               [&](QWidget *w) { return w->isVisible() && w->objectName() == target; }),
                 1);
        TestStation::activate(io->window());
        QVERIFY(t.screen(form)->isVisible());
    }
};

CORVANE_TEST_MAIN(TestAlarmSummary)
#include "tst_alarmSummary.moc"
