#include "TestStation.h"

#include "core/alarm/AlarmLogger.h"
#include "core/time/Timer.h"
#include "screens/AllScreens.h"
#include "station/DataServerWatch.h"
#include "ui/LinkView.h"

#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>

using namespace corvane;
using namespace corvane::test;

namespace {

const QString kMain = QStringLiteral("frmCVCarmain");
const QString kSelect = QStringLiteral("frmSelect");
const QString kList = QStringLiteral("frmAlarmlist");
const QString kPorter = QStringLiteral("frmPorter");

// The screens other than this one and the alarm list, in the order the main screen
// unloads them.
const QStringList kOtherScreens = {
        "frmACUnitIO",     "frmAirVacIO",  "frmAntiFreezeIO", "frmBlowASpeeds", "frmBlowBSpeeds",
        "frmBlowDmSpeeds", "frmEnvSystem", "frmFlrHeatIO",    "frmOvrhdBlowIO", "frmOvrhdHeatIO",
        "frmPorter",       "frmWtrSysIO",  "frmWtrSystem",
};

// Another engineer's screen, standing in by name: the main screen only knows names.
class StandIn : public Screen
{
public:
    StandIn(Station &station, const QString &name, SelfUnload rule)
        : Screen(station, name, name)
    {
        setSelfUnload(rule);
        setClientSizeTwips(2000, 1000);
    }

protected:
    void build(QWidget *) override { }
};

struct Fixture
{
    // With stand-ins for the other screens, or with only the start, main and list.
    explicit Fixture(bool standIns = true, Screen::SelfUnload porterRule = Screen::SelfUnload::Never)
    {
        registerStartScreens(*t.station);
        registerCarMainScreens(*t.station);
        if (!standIns)
            return;
        for (const QString &name : kOtherScreens) {
            const auto rule = name == kPorter ? porterRule : Screen::SelfUnload::Never;
            t.screens().add(std::make_unique<StandIn>(*t.station, name, rule));
        }
    }

    void set(const QStringList &assignments)
    {
        for (const QString &a : assignments)
            t.server.setValue(a.section(u'=', 0, 0), a.section(u'=', 1));
    }
    void setHealthy()
    {
        set({"v10020:b=45", "v1002:db=184532", "v1000:db=212", "v1416:b=177", "v1415:b=120", "v1422:b=128",
             "v1412:b=54",  "v1413:b=90",      "v1414:b=0",    "c500=0",      "c501=0",      "c510=0",
             "c511=0",      "c750=0",          "c751=0",       "x227=1",      "c27=0",       "x200=1",
             "x226=1",      "y253=0",          "y255=0",       "x251=0",      "x252=0",      "x255=0",
             "x253=0",      "x256=0"});
    }
    void showMain()
    {
        t.screens().show(kMain);
        t.settle();
    }
    QString caption(const char *name) const { return t.captionOf(kMain, QString::fromLatin1(name)); }
    ColourRef colour(const char *name) const { return t.colourOf(kMain, QString::fromLatin1(name)); }
    template<typename T = QWidget>
    T *control(const char *name) const
    {
        return t.control<T>(kMain, QString::fromLatin1(name));
    }
    QWidget *window(const QString &form) const { return t.screen(form)->window(); }
    QString stamped(const QString &message) const { return message + AlarmLogger::timeStamp(t.scheduler.now()); }

    TestStation t{false};
};

// How an indicator is painted: a steady colour, or one of the flash colours.
enum Shade : quint32 { RedFlash = 0xF1, YellowFlash = 0xF2 };

} // namespace

class TestFrmCVCarmain : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void windowTextsAndPlaces()
    {
        Fixture f;
        f.showMain();
        QWidget *w = f.window(kMain);
        QCOMPARE(w->windowTitle(), QStringLiteral("Corvane Main Interface"));
        const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(qAbs(w->frameGeometry().center().x() - avail.center().x()) <= 1);
        QVERIFY(qAbs(w->frameGeometry().center().y() - avail.center().y()) <= 1);

        const std::pair<const char *, const char *> texts[] = {
                {"frmSpdMls", "Speed/Miles"},
                {"fraLevels", " Undercar"},
                {"fraMiscStatus", "Misc Status"},
                {"frmBackfd", "Backfeed Status"},
                {"lblCV", "Vantrell Industries"},
                {"lblGMT", "CST"},
                {"lblTime", ""},
                {"lblMPH", "MPH"},
                {"lblCOdm", "Car Odometer"},
                {"lblTOdm", "Trip Odometer"},
                {"lblCOdmMiles", "Miles"},
                {"lblWaterGall", "Water Level"},
                {"lblFuelGall", "Fuel Level"},
                {"lblWaterTemp", "Water Temp"},
                {"lblPipePsi", "Brake Pipe"},
                {"lblCylPsi", "Brake Cyl"},
                {"lblCylPsiUnit", "PSI"},
                {"lblWaterTempUnit", "Degrees"},
                {"lblFuelGallUnit", "Gallons"},
                {"lblOutAirTemp", "Outside Air Temp"},
                {"lblHandBrake", "Hand Brake"},
                {"lblElecPhaseCtrl", "Electrical Phase Control"},
                {"lblGenCtrl", "Generator Control"},
                {"lblFuelLevel", "Fuel Level"},
                {"lblHandBrakeStatus", "MOVING"},
                {"lblX200Status", "FAULT"},
                {"lblX226Status", "OFF"},
                {"lblC302Status", "LOW"},
                {"lblBkfd", "Backfeed Off"},
                {"lblBkfdReq", "Backfeed Requesting"},
                {"lblBkfdTranLineOpn", "Trainline Open"},
                {"lblBkfd24v", "24v On Trainline"},
                {"lblBkfdTranLineProv", "Trainline Proven"},
                {"lblBkfdBypsHEP", "Bypass HEP Lock"},
                {"lblBkfdComp", "Backfeed Complete"},
                {"lblY253Status", " "},
                {"lblX256Status", " "},
                {"cmdBkfdStop", "Backfeed Stop"},
                {"cmdWtrSystem", "Water System Status"},
                {"cmdHeatAC", "Environmental System Status"},
                {"cmdPorterfrm", "Porter Call"},
                {"cmdAlarmlistfrm", "Alarm List"},
        };
        for (const auto &[name, text] : texts)
            QCOMPARE(f.caption(name), QString::fromLatin1(text));

        auto *combo = f.control<QComboBox>("Combo1");
        QStringList entries;
        for (int i = 0; i < combo->count(); ++i)
            entries << combo->itemText(i);
        QCOMPARE(entries, QStringList({"AC Unit I/O", "Anti Freeze I/O", "Blower A End Speeds", "Blower B End Speeds",
                                       "Blower Dome Speeds", "Blower Unit I/O", "Compressed Air Vacuum I/O",
                                       "Environmental System Interface", "Floor Heat I/O", "Overhead Heat I/O",
                                       "Porter Interface", "Water System Interface", "WaterSystem I/O"}));
        QCOMPARE(combo->currentText(), QString());

        // The clock: red on the menu-text colour, "CST" red on black where the blanks fall.
        QWidget *time = f.control("lblTime");
        QWidget *gmt = f.control("lblGMT");
        QCOMPARE(foreColour(time), Colours::red);
        QCOMPARE(backColour(time), Colours::menuText);
        QCOMPARE(foreColour(gmt), Colours::red);
        QCOMPARE(backColour(gmt), Colours::black);
        QVERIFY(qAbs(gmt->x() - time->x() - twips(1680)) <= 1);
        QVERIFY(qAbs(time->width() - twips(5055)) <= 1);
        QVERIFY(gmt->geometry().bottom() <= time->geometry().bottom() && gmt->y() >= time->y());

        // Clock along the top left; lamps, list and buttons along the bottom right.
        const QRect client = w->rect();
        QVERIFY(time->x() < client.width() / 4 && time->geometry().bottom() < f.control("frmSpdMls")->y());
        for (const char *name :
             {"Combo1", "cmdWtrSystem", "cmdHeatAC", "cmdPorterfrm", "cmdAlarmlistfrm", "Shape19", "Shape20"}) {
            const QRect r = f.control(name)->geometry();
            QVERIFY2(r.left() > client.width() / 3 && r.top() > client.height() / 2, name);
            QVERIFY2(client.contains(r), name);
        }
        QVERIFY(f.control("Shape19")->x() < f.control("Shape20")->x());
        QVERIFY(f.control("Shape20")->geometry().right() < f.control("cmdWtrSystem")->x());
        QVERIFY(f.control("Combo1")->geometry().bottom() < f.control("cmdWtrSystem")->y());

        // The nine gauges are the only views of links, all visible and in plain text.
        int visibleLinks = 0;
        for (LinkLabel *view : w->findChildren<LinkLabel *>()) {
            visibleLinks += view->isVisibleTo(w);
            QCOMPARE(view->textFormat(), Qt::PlainText);
        }
        QCOMPARE(visibleLinks, 9);
    }

    void linksOpenInTableOrderThenTimeoutsThenTheBackgroundScreensLoadHidden()
    {
        Fixture f;
        f.t.screens().load(kMain);
        const QStringList items = {"v10020:b", "v1002:db", "v1000:db", "v1416:b", "v1415:b", "v1422:b", "v1412:b",
                                   "v1413:b",  "v1414:b",  "c500",     "c501",    "c510",    "c511",    "c750",
                                   "c751",     "x227",     "c27",      "x200",    "x226",    "c302",    "y253",
                                   "y255",     "x251",     "x252",     "x255",    "x253",    "x256",    "c22"};
        QStringList expected;
        for (const QString &item : items)
            expected << QStringLiteral("open %1 %2@0").arg(item, item == u"c22" ? "manual" : "auto");
        for (const QString &item : items)
            expected << QStringLiteral("timeout %1 50@0").arg(item);
        QCOMPARE(f.t.operations().mid(0, 56), expected);
        for (const QString &name : {kList, QStringLiteral("frmEnvSystem"), QStringLiteral("frmWtrSystem")}) {
            QVERIFY2(f.t.screens().isLoaded(name), qPrintable(name));
            QVERIFY2(!f.t.screen(name)->isVisible(), qPrintable(name));
        }
        QVERIFY(!f.t.screens().isLoaded(kPorter));
    }

    void gaugesShowTheServerTextUntouched_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("gauge");
        QTest::addColumn<QString>("text");
        const std::pair<const char *, const char *> gauges[] = {
                {"v10020:b", "lblMPHV10020"},      {"v1002:db", "lblCOdmV1002"},     {"v1000:db", "lblTOdmV1000"},
                {"v1416:b", "lblWaterGallV1416"},  {"v1415:b", "lblWaterTempV1415"}, {"v1422:b", "lblFuelGallV1422"},
                {"v1412:b", "lblOutAirTempV1412"}, {"v1413:b", "lblPipePsiV1413"},   {"v1414:b", "lblCylPsiV1414"},
        };
        for (const auto &[item, gauge] : gauges)
            QTest::newRow(gauge) << item << gauge << "<b>45</b>";
        QTest::newRow("45") << "v10020:b"
                            << "lblMPHV10020"
                            << "45";
        QTest::newRow("45.5 not rounded") << "v10020:b"
                                          << "lblMPHV10020"
                                          << "45.5";
        QTest::newRow("blanks kept") << "v1422:b"
                                     << "lblFuelGallV1422"
                                     << " 12 ";
    }
    void gaugesShowTheServerTextUntouched()
    {
        QFETCH(QString, item);
        QFETCH(QString, gauge);
        QFETCH(QString, text);
        Fixture f;
        f.showMain();
        QCOMPARE(f.t.captionOf(kMain, gauge), QStringLiteral("0"));
        f.t.server.setValue(item, text);
        f.t.settle();
        QCOMPARE(f.t.captionOf(kMain, gauge), text);
        QCOMPARE(f.t.control<QLabel>(kMain, gauge)->textFormat(), Qt::PlainText);
        QVERIFY(f.t.alarmLogLines().isEmpty());
    }

    void aHealthyCarGivesTheClearLinesAsTheFirstValuesArrive_data()
    {
        QTest::addColumn<bool>("fuelDelivered");
        QTest::newRow("c302 not yet delivered") << false;
        QTest::newRow("c302 = 0 delivered") << true;
    }
    void aHealthyCarGivesTheClearLinesAsTheFirstValuesArrive()
    {
        QFETCH(bool, fuelDelivered);
        Fixture f;
        f.setHealthy();
        if (fuelDelivered)
            f.set({"c302=0"});
        f.t.advance(1000);
        f.showMain();
        QStringList expected
                = {f.stamped("CLEAR C27 Handbrake ON, Car Moving  "), f.stamped("CLEAR X200 Phase Fault Relay  "),
                   f.stamped("CLEAR X226 Generator Control OFF  ")};
        if (fuelDelivered)
            expected << f.stamped("CLEAR C302 Fuel Level LOW  ");
        QCOMPARE(f.t.alarmLogLines(), expected);
        QCOMPARE(f.t.alarmListLines(), expected);
    }

    void changeHandlersRaiseTheirLines_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("c27 0 then 1") << "c27" << QStringList{"0", "1"}
                                      << QStringList{"CLEAR C27 Handbrake ON, Car Moving  ",
                                                     "FAULT C27 Handbrake ON, Car Moving  "};
        QTest::newRow("c27 1 is no change") << "c27" << QStringList{"1"} << QStringList{};
        QTest::newRow("c27 blanks around 1")
                << "c27" << QStringList{"0", " 1 "}
                << QStringList{"CLEAR C27 Handbrake ON, Car Moving  ", "FAULT C27 Handbrake ON, Car Moving  "};
        QTest::newRow("x200 fault then clear")
                << "x200" << QStringList{"1", "0", "1"}
                << QStringList{"CLEAR X200 Phase Fault Relay  ", "FAULT X200 Phase Fault Relay  ",
                               "CLEAR X200 Phase Fault Relay  "};
        QTest::newRow("x200 2 raises nothing") << "x200" << QStringList{"2"} << QStringList{};
        QTest::newRow("x226 off then auto")
                << "x226" << QStringList{"1", "0"}
                << QStringList{"CLEAR X226 Generator Control OFF  ", "FAULT X226 Generator Control OFF  "};
        QTest::newRow("x226 a word raises nothing") << "x226" << QStringList{"error"} << QStringList{};
        QTest::newRow("c302 ok, low, ok") << "c302" << QStringList{"0", "1", "0"}
                                          << QStringList{"CLEAR C302 Fuel Level LOW  ", "FAULT C302 Fuel Level LOW  ",
                                                         "CLEAR C302 Fuel Level LOW  "};
        QTest::newRow("c302 2 raises nothing") << "c302" << QStringList{"2"} << QStringList{};
        QTest::newRow("x227 raises nothing") << "x227" << QStringList{"1", "0"} << QStringList{};
    }
    void changeHandlersRaiseTheirLines()
    {
        QFETCH(QString, item);
        QFETCH(QStringList, values);
        QFETCH(QStringList, messages);
        Fixture f;
        f.showMain();
        QStringList expected;
        int m = 0;
        for (const QString &v : values) {
            f.t.advance(1000);
            const qsizetype before = f.t.alarmLogLines().size();
            f.t.server.setValue(item, v);
            f.t.settle();
            if (f.t.alarmLogLines().size() > before)
                expected << f.stamped(messages.value(m++));
        }
        QCOMPARE(m, messages.size());
        QCOMPARE(f.t.alarmLogLines(), expected);
        QCOMPARE(f.t.alarmListLines(), expected);
    }

    void indicatorsFollowTheirRules_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<quint32>("look"); // a colour, or RedFlash / YellowFlash

        // With no data, the design captions put everything in its alarm state.
        const QStringList none;
        QTest::newRow("no data: hand brake") << none << "lblHandBrakeStatus"
                                             << "MOVING" << quint32(RedFlash);
        QTest::newRow("no data: phase") << none << "lblX200Status"
                                        << "FAULT" << quint32(RedFlash);
        QTest::newRow("no data: generator") << none << "lblX226Status"
                                            << "OFF" << quint32(YellowFlash);
        QTest::newRow("no data: fuel") << none << "lblC302Status"
                                       << "LOW" << quint32(YellowFlash);
        QTest::newRow("no data: water lamp") << none << "cmdWtrSystem"
                                             << "Water System Alarm" << quint32(RedFlash);
        QTest::newRow("no data: env lamp") << none << "cmdHeatAC"
                                           << "Environmental System Alarm" << quint32(RedFlash);
        QTest::newRow("no data: porter lamp") << none << "cmdPorterfrm"
                                              << "Porter Call" << 0x8000000Fu;
        QTest::newRow("no data: backfeed off") << none << "lblY253Status"
                                               << " " << quint32(RedFlash);
        QTest::newRow("no data: requesting") << none << "lblY255Status"
                                             << " " << quint32(YellowFlash);
        QTest::newRow("no data: bypass") << none << "lblX256Status"
                                         << " " << quint32(YellowFlash);
        QTest::newRow("no data: complete") << none << "lblX253Status"
                                           << " " << 0x00FFFFu;

        // Hand brake: moving over on over check.
        QTest::newRow("brake released") << QStringList{"c27=0", "x227=1"} << "lblHandBrakeStatus"
                                        << "CHECK" << 0x00FF00u;
        QTest::newRow("brake on") << QStringList{"c27=0", "x227=0"} << "lblHandBrakeStatus"
                                  << "ON" << 0x00FFFFu;
        QTest::newRow("brake on, moving") << QStringList{"c27=1", "x227=0"} << "lblHandBrakeStatus"
                                          << "MOVING" << quint32(RedFlash);
        QTest::newRow("moving wins over released") << QStringList{"c27=1", "x227=1"} << "lblHandBrakeStatus"
                                                   << "MOVING" << quint32(RedFlash);
        QTest::newRow("c27 = 2, released") << QStringList{"c27=2", "x227=1"} << "lblHandBrakeStatus"
                                           << "CHECK" << 0x00FF00u;
        QTest::newRow("x227 = 2 is not on") << QStringList{"c27=0", "x227=2"} << "lblHandBrakeStatus"
                                            << "CHECK" << 0x00FF00u;

        QTest::newRow("phase ok") << QStringList{"x200=1"} << "lblX200Status"
                                  << "OK" << 0x00FF00u;
        QTest::newRow("phase fault") << QStringList{"x200=0"} << "lblX200Status"
                                     << "FAULT" << quint32(RedFlash);
        QTest::newRow("phase 2 is ok") << QStringList{"x200=2"} << "lblX200Status"
                                       << "OK" << 0x00FF00u;
        QTest::newRow("generator auto") << QStringList{"x226=1"} << "lblX226Status"
                                        << "AUTO" << 0x00FF00u;
        QTest::newRow("generator off") << QStringList{"x226=0"} << "lblX226Status"
                                       << "OFF" << quint32(YellowFlash);
        QTest::newRow("fuel ok") << QStringList{"c302=0"} << "lblC302Status"
                                 << "OK" << 0x00FF00u;
        QTest::newRow("fuel 2 is ok") << QStringList{"c302=2"} << "lblC302Status"
                                      << "OK" << 0x00FF00u;

        // System lamps: the alarm wins over the warning.
        QTest::newRow("water alarm and warning") << QStringList{"c500=1", "c501=1"} << "cmdWtrSystem"
                                                 << "Water System Alarm" << quint32(RedFlash);
        QTest::newRow("water warning") << QStringList{"c500=0", "c501=1"} << "cmdWtrSystem"
                                       << "Water System Warning" << quint32(YellowFlash);
        QTest::newRow("water 2 and warning") << QStringList{"c500=2", "c501=1"} << "cmdWtrSystem"
                                             << "Water System Warning" << quint32(YellowFlash);
        QTest::newRow("water healthy") << QStringList{"c500=0", "c501=0"} << "cmdWtrSystem"
                                       << "Water System Status" << 0x8000000Fu;
        QTest::newRow("env alarm and warning") << QStringList{"c510=1", "c511=1"} << "cmdHeatAC"
                                               << "Environmental System Alarm" << quint32(RedFlash);
        QTest::newRow("env warning") << QStringList{"c510=0", "c511=1"} << "cmdHeatAC"
                                     << "Environmental System Warning" << quint32(YellowFlash);
        QTest::newRow("env healthy") << QStringList{"c510=0", "c511=0"} << "cmdHeatAC"
                                     << "Environmental System Status" << 0x8000000Fu;
        QTest::newRow("porter call active") << QStringList{"c751=1"} << "cmdPorterfrm"
                                            << "Porter Call Active" << quint32(YellowFlash);

        // Backfeed rows.
        QTest::newRow("backfeed not off") << QStringList{"y253=0"} << "lblY253Status"
                                          << " " << 0x00FF00u;
        QTest::newRow("backfeed off 2") << QStringList{"y253=2"} << "lblY253Status"
                                        << " " << 0x00FF00u;
        const char *const rows[][2] = {{"y255", "lblY255Status"},
                                       {"x251", "lblX251Status"},
                                       {"x252", "lblX252Status"},
                                       {"x255", "lblX255Status"},
                                       {"x256", "lblX256Status"}};
        for (const auto &[item, square] : rows) {
            QTest::addRow("%s = 1", item)
                    << QStringList{QStringLiteral("%1=1").arg(item)} << square << " " << quint32(YellowFlash);
            QTest::addRow("%s = 0", item)
                    << QStringList{QStringLiteral("%1=0").arg(item)} << square << " " << 0x8000000Fu;
            QTest::addRow("%s = 2", item)
                    << QStringList{QStringLiteral("%1=2").arg(item)} << square << " " << 0x8000000Fu;
        }
        QTest::newRow("complete 0") << QStringList{"x253=0"} << "lblX253Status"
                                    << " " << 0x8000000Fu;
        QTest::newRow("complete 2") << QStringList{"x253=2"} << "lblX253Status"
                                    << " " << 0x8000000Fu;
    }
    void indicatorsFollowTheirRules()
    {
        QFETCH(QStringList, values);
        QFETCH(QString, control);
        QFETCH(QString, caption);
        QFETCH(quint32, look);
        Fixture f;
        f.set(values);
        f.showMain();
        // Ticks 1 and 2 of a new generator are lit, 3 and 4 show the button face.
        const ColourRef lit = look == RedFlash ? Colours::red : look == YellowFlash ? Colours::yellow : ColourRef(look);
        const ColourRef unlit = look == RedFlash || look == YellowFlash ? Colours::buttonFace : ColourRef(look);
        f.t.advance(200);
        QCOMPARE(f.t.captionOf(kMain, control), caption);
        QCOMPARE(f.t.colourOf(kMain, control), lit);
        f.t.advance(400);
        QCOMPARE(f.t.colourOf(kMain, control), unlit);
        f.t.advance(400);
        QCOMPARE(f.t.colourOf(kMain, control), lit);
        QCOMPARE(f.t.captionOf(kMain, control), caption);
    }

    void aChangeShowsAtTheNextRedTick()
    {
        Fixture f;
        f.setHealthy();
        f.showMain();
        f.t.advance(400);
        QCOMPARE(f.caption("lblX200Status"), QStringLiteral("OK"));
        f.set({"x200=0"});
        f.t.advance(199);
        QCOMPARE(f.caption("lblX200Status"), QStringLiteral("OK")); // painted by the tick only
        f.t.advance(1);
        QCOMPARE(f.caption("lblX200Status"), QStringLiteral("FAULT"));
    }

    void theTwoLampsFlashAlsoOnAHealthyCar()
    {
        Fixture f;
        f.setHealthy();
        f.showMain();
        QCOMPARE(f.colour("Shape19"), Colours::buttonFace); // before the first tick
        QList<ColourRef> red, yellow;
        for (int tick = 1; tick <= 6; ++tick) {
            f.t.advance(200);
            red << f.colour("Shape19");
            yellow << f.colour("Shape20");
        }
        const ColourRef face = Colours::buttonFace;
        QCOMPARE(red, QList<ColourRef>({Colours::red, Colours::red, face, face, Colours::red, Colours::red}));
        QCOMPARE(yellow,
                 QList<ColourRef>({Colours::yellow, Colours::yellow, face, face, Colours::yellow, Colours::yellow}));
    }

    void theFlashCarriesOnAcrossAReload()
    {
        Fixture f;
        f.showMain();
        f.t.advance(400); // two ticks: counter 200, still lit
        f.window(kMain)->close();
        f.t.advance(5000);
        f.showMain();
        f.t.advance(200); // the third tick of the same generator
        QCOMPARE(f.colour("Shape19"), Colours::buttonFace);
    }

    void backfeedStopPulsesC22ForThreeSeconds()
    {
        Fixture f;
        f.showMain();
        auto *stop = f.control<QPushButton>("cmdBkfdStop");
        auto *timer = f.t.screen(kMain)->window()->findChild<Timer *>(QStringLiteral("tmrBkfdStop"));
        QVERIFY(!timer->isEnabled());
        f.t.advance(500);
        stop->click();
        QVERIFY(timer->isEnabled());
        QCOMPARE(f.t.link(kMain, "lblC22")->value(), QStringLiteral("1"));
        f.t.advance(1000);
        stop->click(); // reads 1: writes nothing, and the pulse is not stretched
        f.t.advance(1999);
        QCOMPARE(f.t.pokes("c22"), QStringList({"1@500"}));
        f.t.advance(1);
        QCOMPARE(f.t.pokes("c22"), QStringList({"1@500", "0@3500"}));
        QVERIFY(!timer->isEnabled());
        f.t.advance(500);
        stop->click(); // idle again
        f.t.advance(3000);
        QCOMPARE(f.t.pokes("c22"), QStringList({"1@500", "0@3500", "1@4000", "0@7000"}));
    }

    void closingDuringThePulseStillEndsItOnTime()
    {
        Fixture f;
        f.showMain();
        f.control<QPushButton>("cmdBkfdStop")->click();
        f.t.advance(1000);
        f.window(kMain)->close();
        f.t.advance(5000);
        QCOMPARE(f.t.pokes("c22"), QStringList({"1@0", "0@3000"}));
    }

    void thePorterScreenPopsUpWhileC750IsOne()
    {
        Fixture f;
        f.set({"c750=1"});
        f.showMain();
        f.t.advance(200);
        QVERIFY(f.t.screen(kPorter)->isVisible());
        f.t.screens().hide(kPorter);
        f.t.advance(199);
        QVERIFY(!f.t.screen(kPorter)->isVisible());
        f.t.advance(1);
        QVERIFY(f.t.screen(kPorter)->isVisible()); // back at the next tick

        // A porter screen already showing is not activated again on every tick.
        TestStation::activate(f.window(kMain));
        f.t.advance(1000);
        QCOMPARE(QApplication::activeWindow(), f.window(kMain));

        f.set({"c750=0"});
        f.t.advance(200);
        f.t.screens().hide(kPorter);
        f.t.advance(1000);
        QVERIFY(!f.t.screen(kPorter)->isVisible()); // left as the operator set it
        QVERIFY(f.t.screens().isLoaded(kPorter));
    }

    void aSelfUnloadingPorterScreenIsLoadedAndShownAgain()
    {
        Fixture f(true, Screen::SelfUnload::OnDeactivate);
        f.set({"c750=1"});
        f.showMain();
        f.t.advance(200);
        QVERIFY(f.t.screen(kPorter)->isVisible());
        TestStation::activate(f.window(kMain));
        QVERIFY(!f.t.screens().isLoaded(kPorter));
        f.t.advance(200);
        QVERIFY(f.t.screen(kPorter)->isVisible());
    }

    void buttonsAndNavigationShowTheirScreens_data()
    {
        QTest::addColumn<QString>("button"); // empty: the navigation entry
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("form");
        QTest::newRow("water button") << "cmdWtrSystem"
                                      << ""
                                      << "frmWtrSystem";
        QTest::newRow("environment button") << "cmdHeatAC"
                                            << ""
                                            << "frmEnvSystem";
        QTest::newRow("porter button") << "cmdPorterfrm"
                                       << ""
                                       << "frmPorter";
        QTest::newRow("alarm list button") << "cmdAlarmlistfrm"
                                           << ""
                                           << "frmAlarmlist";
        const char *const entries[][2] = {
                {"AC Unit I/O", "frmACUnitIO"},
                {"Anti Freeze I/O", "frmAntiFreezeIO"},
                {"Blower A End Speeds", "frmBlowASpeeds"},
                {"Blower B End Speeds", "frmBlowBSpeeds"},
                {"Blower Dome Speeds", "frmBlowDmSpeeds"},
                {"Blower Unit I/O", "frmOvrhdBlowIO"},
                {"Compressed Air Vacuum I/O", "frmAirVacIO"},
                {"Environmental System Interface", "frmEnvSystem"},
                {"Floor Heat I/O", "frmFlrHeatIO"},
                {"Overhead Heat I/O", "frmOvrhdHeatIO"},
                {"Porter Interface", "frmPorter"},
                {"Water System Interface", "frmWtrSystem"},
                {"WaterSystem I/O", "frmWtrSysIO"},
        };
        for (const auto &[entry, form] : entries)
            QTest::newRow(entry) << "" << entry << form;
    }
    void buttonsAndNavigationShowTheirScreens()
    {
        QFETCH(QString, button);
        QFETCH(QString, entry);
        QFETCH(QString, form);
        Fixture f;
        f.showMain();
        auto activate = [&] {
            if (!button.isEmpty()) {
                f.t.control<QPushButton>(kMain, button)->click();
                return;
            }
            auto *combo = f.control<QComboBox>("Combo1");
            const int index = combo->findText(entry, Qt::MatchExactly);
            combo->setCurrentIndex(index);
            Q_EMIT combo->activated(index);
        };
        activate();
        QVERIFY(f.t.screen(form)->isVisible());
        QWidget *first = f.window(form);
        activate();
        QCOMPARE(f.window(form), first); // one instance
        if (button.isEmpty())
            QCOMPARE(f.control<QComboBox>("Combo1")->currentText(), entry);
        int shown = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            shown += w->isVisible();
        QCOMPARE(shown, 2); // the main screen and this one
    }

    void aScreenNotYetBuiltIsSkipped()
    {
        Fixture f(false);
        f.showMain();
        auto *combo = f.control<QComboBox>("Combo1");
        combo->setCurrentIndex(0);
        Q_EMIT combo->activated(0);
        f.control<QPushButton>("cmdPorterfrm")->click();
        f.set({"c750=1"});
        f.t.advance(1000);
        QVERIFY(f.t.screen(kMain)->isVisible());
        QCOMPARE(f.t.screens().loadedCount(), 2); // the main screen and the alarm list
    }

    void theClockShowsTimeBlanksAndDate()
    {
        Fixture f;
        f.t.scheduler.setWallClock(QDateTime(QDate(2026, 7, 3), QTime(9, 5, 0)));
        f.showMain();
        f.t.advance(999);
        QCOMPARE(f.caption("lblTime"), QString()); // empty until the first tick
        f.t.advance(1);
        QCOMPARE(f.caption("lblTime"), QStringLiteral("09:05           07/03/2026"));
        f.t.scheduler.setWallClock(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)));
        f.t.advance(1000);
        QCOMPARE(f.caption("lblTime"), QStringLiteral("00:00           01/01/2027"));
        QCOMPARE(f.caption("lblGMT"), QStringLiteral("CST"));
    }

    void withoutTheServerTheScreenOpensInItsDesignState()
    {
        Fixture f;
        f.setHealthy();
        f.t.server.setPresent(false);
        f.showMain();
        f.t.advance(1000);
        QVERIFY(f.t.screen(kMain)->isVisible());
        QCOMPARE(f.caption("lblMPHV10020"), QStringLiteral("0"));
        QCOMPARE(f.caption("lblHandBrakeStatus"), QStringLiteral("MOVING"));
        QCOMPARE(f.caption("cmdWtrSystem"), QStringLiteral("Water System Alarm"));
        QCOMPARE(f.caption("cmdPorterfrm"), QStringLiteral("Porter Call"));
        // Design captions raise nothing; only the lost link is logged.
        const QStringList lines = f.t.alarmLogLines();
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines.first().startsWith(QString::fromUtf16(DataServerWatch::kFault)));
        QVERIFY(f.t.screens().isLoaded(kList));
    }

    // The window manager's close box on a window the main screen keeps running acts as
    // its Hide: the alarm logic goes on and the list keeps its lines.
    void closingAKeptWindowOnlyHidesIt_data()
    {
        QTest::addColumn<QString>("form");
        QTest::newRow("alarm list") << kList;
        QTest::newRow("environmental") << "frmEnvSystem";
        QTest::newRow("water") << "frmWtrSystem";
    }
    void closingAKeptWindowOnlyHidesIt()
    {
        QFETCH(QString, form);
        TestStation t;
        t.server.setValue("c354", "0");
        t.server.setValue("c204", "0");
        t.screens().show(kMain);
        t.screens().show(form);
        t.settle();
        t.server.setValue("c354", "1");
        t.settle();
        const QString before = "FAULT C354 Air Compressor Switching Fault " + AlarmLogger::timeStamp(t.scheduler.now());

        QVERIFY(!t.screen(form)->window()->close());
        t.settle();
        QVERIFY(t.screens().isLoaded(form));
        QVERIFY(!t.screen(form)->isVisible());
        t.advance(1000);
        t.server.setValue("c354", "0");
        t.server.setValue("c204", "1");
        t.settle();
        const QString stamp = AlarmLogger::timeStamp(t.scheduler.now());
        const QStringList after = {"CLEAR C354 Air Compressor Switching Fault  " + stamp,
                                   "FAULT C204 AC Compressor A High Motor Temp  " + stamp};
        QCOMPARE(t.alarmLogLines().mid(t.alarmLogLines().indexOf(before)), QStringList{before} + after);
        QCOMPARE(t.alarmListLines().mid(t.alarmListLines().indexOf(before)), QStringList{before} + after);

        // Without the main screen the close box unloads as before.
        t.screen(kMain)->window()->close();
        t.screens().show(form);
        QVERIFY(!t.screen(form)->window()->close());
        t.settle();
        QVERIFY(!t.screens().isLoaded(form));
    }

    void closingUnloadsEveryOtherScreenInOrderThenClosesItsLinks()
    {
        Fixture f;
        f.setHealthy();
        f.t.screens().show(kSelect);
        f.showMain();
        for (const QString &name : kOtherScreens)
            f.t.screens().show(name);
        QStringList unloaded;
        connect(&f.t.screens(), &ScreenRegistry::screenUnloaded, this, [&](const QString &name) { unloaded << name; });
        f.t.advance(1000);
        f.t.server.clearOperations();

        f.window(kMain)->close();
        QStringList expected = kOtherScreens;
        expected.insert(2, kList); // between the air/vacuum and the anti-freeze screens
        expected << kMain;
        QCOMPARE(unloaded, expected);
        QVERIFY(f.t.screens().isLoaded(kSelect));
        QCOMPARE(f.t.screens().loadedCount(), 1);

        QStringList closes;
        for (const char *item : {"v10020:b", "v1002:db", "v1000:db", "v1416:b", "v1415:b", "v1422:b", "v1412:b",
                                 "v1413:b",  "v1414:b",  "c500",     "c501",    "c510",    "c511",    "c750",
                                 "c751",     "x227",     "c27",      "x200",    "x226",    "c302",    "y253",
                                 "y255",     "x251",     "x252",     "x255",    "x253",    "x256",    "c22"})
            closes << QStringLiteral("close %1@1000").arg(item);
        QCOMPARE(f.t.operations(), closes);

        // Opened again: links afresh (the first values raise their lines again), and
        // the alarm list starts empty while the file keeps every line.
        f.showMain();
        QCOMPARE(f.t.alarmListLines().size(), 3);
        QCOMPARE(f.t.alarmLogLines().size(), 6);
        QCOMPARE(f.caption("lblMPHV10020"), QStringLiteral("45"));
    }
};

CORVANE_TEST_MAIN(TestFrmCVCarmain)
#include "tst_frmCVCarmain.moc"
