// The I/O screen pattern through the seven screens built on it: the rule kinds, the
// repaint, closing on another window of the program, and reopening.
#include "TestStation.h"

#include <QGroupBox>

using namespace corvane;
using namespace corvane::test;

namespace {

const QStringList kIoForms = {"frmACUnitIO", "frmOvrhdBlowIO",  "frmOvrhdHeatIO", "frmFlrHeatIO",
                              "frmWtrSysIO", "frmAntiFreezeIO", "frmAirVacIO"};

constexpr quint32 kFace = 0x8000000F, kGreen = 0x00FF00, kRed = 0x0000FF, kYellow = 0x00FFFF, kCyan = 0xFFFF00,
                  kLightCyan = 0xFFFFC0, kOrange = 0x0080FF, kLightOrange = 0x80C0FF;

void columns()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QStringList>("values"); // item=value
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<quint32>("colour");
}

void row(const char *name, const char *form, QStringList values, const char *status, const char *caption,
         quint32 colour)
{
    QTest::newRow(name) << form << values << status << caption << colour;
}

} // namespace

class TestIoScreen : public QObject
{
    Q_OBJECT

    static void check()
    {
        QFETCH(QString, form);
        QFETCH(QStringList, values);
        QFETCH(QString, status);
        QFETCH(QString, caption);
        QFETCH(quint32, colour);
        TestStation t;
        t.screens().show(form);
        for (const QString &v : values)
            t.server.setValue(v.section('=', 0, 0), v.section('=', 1));
        t.advance(200);
        QCOMPARE(t.captionOf(form, status), caption);
        QCOMPARE(t.colourOf(form, status), ColourRef(colour));
    }

private Q_SLOTS:

    void windowsAndFrames_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QSize>("client");
        QTest::addColumn<QStringList>("frames"); // name=caption, top to bottom
        QTest::newRow("AC unit") << "frmACUnitIO"
                                 << "AC Unit I/O" << QSize(4485, 6405)
                                 << QStringList{"fraACUndrcrUnitIO=AC Undercar Unit IO",
                                                "fraOvrhdACIO=AC Overhead Unit IO"};
        QTest::newRow("blower") << "frmOvrhdBlowIO"
                                << "Overhead Blower I/O" << QSize(5835, 4275)
                                << QStringList{"fraOHBlowIO=Overhead Blower Inputs"};
        QTest::newRow("overhead heat") << "frmOvrhdHeatIO"
                                       << "Overhead Heat I/O" << QSize(4485, 4560)
                                       << QStringList{"fraOvrhdHeatIO=Overhead Heat IO"};
        QTest::newRow("floor heat") << "frmFlrHeatIO"
                                    << "Floor Heat I/O" << QSize(4470, 5775)
                                    << QStringList{"fraFlrHeatIO=Floor Heat IO"};
        QTest::newRow("water") << "frmWtrSysIO"
                               << "Water System I/O" << QSize()
                               << QStringList{"fraWtrSysIn=Water System Inputs", "fraWtrSysOut=Water System Outputs"};
        QTest::newRow("anti-freeze") << "frmAntiFreezeIO"
                                     << "Anti Freeze I/O" << QSize()
                                     << QStringList{"fraAntiFreezeIn=Anti Freeze System Inputs",
                                                    "fraAntiFreezeOut=Anti Freeze System Outputs"};
        QTest::newRow("air/vacuum") << "frmAirVacIO"
                                    << "Air/Vacuum Systems I/O" << QSize()
                                    << QStringList{"fraAirVacuumIn=Air/Vacuum System Inputs",
                                                   "fraAirVacuumOut=Air/Vacuum System Outputs"};
    }
    void windowsAndFrames()
    {
        QFETCH(QString, form);
        QFETCH(QString, caption);
        QFETCH(QSize, client);
        QFETCH(QStringList, frames);
        TestStation t;
        t.screens().show(form);
        QWidget *w = t.screen(form)->window();
        QCOMPARE(w->windowTitle(), caption);
        if (client.isValid())
            QCOMPARE(w->size(), QSize(twips(client.width()), twips(client.height())));
        int lastBottom = -1;
        for (const QString &f : frames) {
            const QString name = f.section('=', 0, 0);
            QCOMPARE(t.captionOf(form, name), f.section('=', 1));
            QVERIFY(t.control(form, name)->y() > lastBottom); // one above the other
            lastBottom = t.control(form, name)->geometry().bottom();
        }
    }

    void linksOpenInTheirOrderThenTheTimeOutsAndCloseInTheSameOrder_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("items");
        QTest::newRow("AC unit") << "frmACUnitIO"
                                 << "x220 x224 x266 x221 x225 x263 x400 x404 x233 x237 x401 x405 "
                                    "y204 y200 y205 y201 y206 y202";
        QTest::newRow("blower") << "frmOvrhdBlowIO"
                                << "x202 x403 x406 x206 x230 x231 x203 x373 x376";
        QTest::newRow("overhead heat") << "frmOvrhdHeatIO"
                                       << "x410 y310 x214 x211 y314 y311 x414 x411 y315 y312 y240 y244";
        QTest::newRow("floor heat") << "frmFlrHeatIO"
                                    << "x212 x216 x213 x217 x424 x421 x412 x215 x416 x415 x413 x210 x417 "
                                       "y234 y231 y235 y232 y233 y236 y226 y223 y227 y230 y225 y237 y222";
        QTest::newRow("water") << "frmWtrSysIO"
                               << "x425 x422 x460 x464 x461 x465 y203 y207 y263 y260 y264";
        QTest::newRow("anti-freeze") << "frmAntiFreezeIO"
                                     << "x425 x422 c10 y262 y266 y261 y265 y220 y303 y306 y307 v1415:b";
        QTest::newRow("air/vacuum") << "frmAirVacIO"
                                    << "x222 x402 y213 y217 y221 y267 y317 v1426:b";
    }
    void linksOpenInTheirOrderThenTheTimeOutsAndCloseInTheSameOrder()
    {
        QFETCH(QString, form);
        QFETCH(QString, items);
        const QStringList list = items.split(' ');
        TestStation t;
        t.advance(40);
        t.screens().show(form);
        QStringList expected;
        for (const QString &item : list)
            expected << "open " + item + " auto@40";
        for (const QString &item : list)
            expected << "timeout " + item + " 50@40";
        QCOMPARE(t.operations(), expected);
        t.server.clearOperations();
        t.advance(1000);
        t.screens().unload(form);
        expected.clear();
        for (const QString &item : list)
            expected << "close " + item + "@1040";
        QCOMPARE(t.operations(), expected);
    }

    void rows_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("left"); // name=design caption, or empty
        QTest::addColumn<QString>("right");
        QTest::addColumn<QString>("below");
        const char *form = nullptr;
        const char *frame = nullptr;
        auto row = [&](const char *label, const char *text, const char *left, const char *right = "",
                       const char *below = "") {
            QTest::addRow("%s %s", form, label) << form << frame << label << text << left << right << below;
        };
        form = "frmACUnitIO";
        frame = "fraACUndrcrUnitIO";
        row("lblACCompA", "AC Compressor A", "lblX220Status=OFF");
        row("lblACCondA", "AC Condensor A", "lblX224Status=OFF");
        row("lblACCompABlkHet", "AC Compressor A Block Heater", "lblX266Status=OFF");
        row("lblACCompB", "AC Compressor B", "lblX221Status=OFF");
        row("lblACCondB", "AC Condensor B", "lblX225Status=OFF");
        row("lblACCompBBlkHet", "AC Compressor B Block Heater", "lblX263Status=OFF");
        frame = "fraOvrhdACIO";
        row("lblAEndACThermo", "A End AC Thermostat Stages", "lblX400Status=0");
        row("lblAEndACSolnd", "A End AC Solenoid Stages", "", "lblY204Status=0", "lblY200Status=0");
        row("lblBEndACThermo", "B End AC Thermostat Stages", "lblX233Status=0");
        row("lblBEndACSolnd", "B End AC Solenoid Stages", "", "lblY205Status=0", "lblY201Status=0");
        row("lblDmACThermo", "Dome AC Thermostat Stages", "lblX401Status=0");
        row("lblDmACSolnd", "Dome AC Solenoid Stages", "", "lblY206Status=0", "lblY202Status=0");
        form = "frmOvrhdBlowIO";
        frame = "fraOHBlowIO";
        row("lblOHABlowStrt", "OH A Blower Starter", "lblX202Status=OFF");
        row("lblOHABlowDrv", "OH A Blower Drive", "lblX403Status=OFF");
        row("lblOHABlowByps", "OH A Blower Drive Bypass Switch", "lblX406Status=OFF");
        row("lblOHBBlowStrt", "OH B Blower Starter", "lblX206Status=OFF");
        row("lblOHBBlowDrv", "OH B Blower Drive", "lblX230Status=OFF");
        row("lblOHBBlowByps", "OH B Blower Drive Bypass Switch", "lblX231Status=OFF");
        row("lblOHDmBlowStrt", "OH Dome Blower Starter", "lblX203Status=OFF");
        row("lblOHDmBlowDrv", "OH Dome Blower Drive", "lblX373Status=OFF");
        row("lblOHDmBlowByps", "OH Dome Blower Drive Bypass Switch", "lblX376Status=OFF");
        form = "frmOvrhdHeatIO";
        frame = "fraOvrhdHeatIO";
        row("lblAEndOHHtThermo", "A End OH Heat Thermostat", "lblX410Status=0");
        row("lblAEndOHHtRly", "A End OH Heat Relay", "", "lblY310Status=0");
        row("lblBEndOHHtThermo", "B End OH Heat Thermostat", "lblX214Status=0");
        row("lblBEndOHHtRly", "B End OH Heat Relays", "", "lblY314Status=0", "lblY311Status=0");
        row("lblDmOHHtThermo", "Dome OH Heat Thermostat", "lblX414Status=0");
        row("lblDmOHHtRly", "Dome OH Heat Relays", "", "lblY315Status=0", "lblY312Status=0");
        row("lblDmDfrstFns", "Dome Defrost Fans", "", "lblY240Status=0");
        row("lblDmDfrstHtrs", "Dome Defrost Heaters", "", "lblY244Status=0");
        form = "frmFlrHeatIO";
        frame = "fraFlrHeatIO";
        row("lblDrwAFlrHt", "Drawing Room A Floor Heat", "lblX212Status=OFF", "lblY234Status=OFF");
        row("lblDrwABthFlrHt", "Drawing Room A Bath Floor Heat", "lblX216Status=OFF", "lblY231Status=OFF");
        row("lblDrwBFlrHt", "Drawing Room B Floor Heat", "lblX213Status=OFF", "lblY235Status=OFF");
        row("lblDrwBBthFlrHt", "Drawing Room B Bath Floor Heat", "lblX217Status=OFF", "lblY232Status=OFF");
        row("lblCompCFlrHt", "Compartment C Floor Heat", "lblX424Status=OFF", "lblY233Status=OFF");
        row("lblCompDFlrHt", "Compartment D Floor Heat", "lblX421Status=OFF", "lblY236Status=OFF");
        row("lblAEndHlFlrHt", "A End Hall Floor Heat", "lblX412Status=OFF", "lblY226Status=OFF");
        row("lblBEndHlFlrHt", "B End Hall Floor Heat", "lblX215Status=OFF", "lblY223Status=OFF");
        row("Label29", "Lower Hall Floor Heat", "lblX416Status=OFF", "lblY227Status=OFF");
        row("lblDmFlrHt", "Dome Floor Heat", "lblX415Status=OFF", "lblY230Status=OFF");
        row("lblCrewFlrHt", "Crew Room Floor Heat", "lblX413Status=OFF", "lblY225Status=OFF");
        row("lblGTFlrHt", "General Toilet Floor Heat", "lblX210Status=OFF", "lblY237Status=OFF");
        row("lblKtchFlrHt", "Kitchen Floor Heat", "lblX417Status=OFF", "lblY222Status=OFF");
        form = "frmWtrSysIO";
        frame = "fraWtrSysIn";
        row("lblWtrTnkAThermo", "Water Tank A Thermostat", "lblX425Status=OFF");
        row("lblWtrTnkBThermo", "Water Tank B Thermostat", "lblX422Status=OFF");
        row("lblHeatABrkr", "Water Heater 1st Stage Thermostat", "lblX460Status=OFF");
        row("Label8", "Water Heater 2nd Stage Thermostat", "lblX464Status=OFF");
        row("lblSwgHeatBrkr", "Water Tank High Level Float", "lblX461Status=OFF");
        row("lblWtrTempLow", "Water Tank Low Level Float", "lblX465Status=OFF");
        frame = "fraWtrSysOut";
        row("lblWtrHtr1", "Water Heater 1", "", "lblY203Status=OFF");
        row("lblWtrHtr2", "Water Heater 2", "", "lblY207Status=OFF");
        row("lblHotWtrPump", "Hot Water Recirculator Pump", "", "lblY263Status=OFF");
        row("lblWtrTnkDrain", "Water Tank Drain", "", "lblY260Status=OFF");
        row("lblCarWtrDrain", "Car Water Drain", "", "lblY264Status=OFF");
        form = "frmAntiFreezeIO";
        frame = "fraAntiFreezeIn";
        row("lblWtrTnkAThermo", "Water Tank A Thermostat", "lblX425Status=OFF");
        row("lblWtrTnkBThermo", "Water Tank B Thermostat", "lblX422Status=OFF");
        row("lblSummrWinter", "Summer/Winter Operation", "lblC10Status=WINTER");
        row("lblWaterTemp", "water temp", "lblWaterTempv1415=0");
        frame = "fraAntiFreezeOut";
        row("lblWtrHtr1", "Water Tank Heat Tape A", "", "lblY262Status=OFF");
        row("lblWtrHtr2", "Water Tank Heat Tape B", "", "lblY266Status=OFF");
        row("lblHotWtrPump", "Water Tank Heat A", "", "lblY261Status=OFF");
        row("lblWtrTnkDrain", "Water Tank Heat B", "", "lblY265Status=OFF");
        row("lblCarWtrDrain", "Sewage Tank Heat", "", "lblY220Status=OFF");
        row("Label9", "B end Drain Anti Freeze", "", "lblY303Status=OFF");
        row("Label8", "A end Drain Anti Freeze", "", "lblY306Status=OFF");
        row("Label7", "Mid Car Drain Anti Freeze", "", "lblY307Status=OFF");
        form = "frmAirVacIO";
        frame = "fraAirVacuumIn";
        row("lblWtrTnkAThermo", "Air Compressor Running", "lblX222Status=OFF");
        row("lblWtrTnkBThermo", "Air Compressor Pressure Switch", "lblX402Status=OFF");
        row("lblWaterTemp", "Vacuum Transducer", "lblVacuum=0");
        frame = "fraAirVacuumOut";
        row("lblWtrHtr1", "Air Compressor", "", "lblY213Status=OFF");
        row("lblWtrHtr2", "Air Compressor Drain", "", "lblY217Status=OFF");
        row("lblHotWtrPump", "Sewage Tank Vacuum Solenoid", "", "lblY221Status=OFF");
        row("lblWtrTnkDrain", "Vacuum System Power Supply", "", "lblY267Status=OFF");
        row("lblCarWtrDrain", "Vacuum System Venturi Heater", "", "lblY317Status=OFF");
        row("Label9", "Air Compressor Drain Timers", "", "lblY303Status=OFF");
    }
    void rows()
    {
        QFETCH(QString, form);
        QFETCH(QString, frame);
        QFETCH(QString, label);
        QFETCH(QString, text);
        QFETCH(QString, left);
        QFETCH(QString, right);
        QFETCH(QString, below);
        TestStation t;
        t.server.setPresent(false); // design captions only
        t.screens().show(form);
        QWidget *textLabel = t.control<QGroupBox>(form, frame)->findChild<QWidget *>(label);
        QVERIFY(textLabel);
        QCOMPARE(caption(textLabel), text);
        const QRect tr = textLabel->geometry();
        // Each named control of the row: in the frame, with its design caption.
        QGroupBox *box = t.control<QGroupBox>(form, frame);
        QList<QRect> at; // left, right, below
        for (const QString &design : {left, right, below}) {
            QWidget *c = design.isEmpty() ? nullptr : box->findChild<QWidget *>(design.section('=', 0, 0));
            QCOMPARE(c != nullptr, !design.isEmpty());
            if (c)
                QCOMPARE(caption(c), design.section('=', 1));
            at << (c ? c->geometry() : QRect());
        }
        if (at[0].isValid()) {
            QVERIFY(at[0].right() < tr.left());
            QCOMPARE(at[0].center().y(), tr.center().y());
        }
        if (at[1].isValid()) {
            QVERIFY(at[1].left() > tr.right());
            QCOMPARE(at[1].center().y(), tr.center().y());
        }
        if (at[2].isValid()) { // just below the right one
            QCOMPARE(at[2].x(), at[1].x());
            QVERIFY(at[2].y() > at[1].bottom());
        }
    }
    // "OFF" for exactly 0, "ON" for anything else.
    void zeroIsOffEverythingElseOn_data()
    {
        columns();
        row("AC compressor 0", "frmACUnitIO", {"x220=0"}, "lblX220Status", "OFF", kFace);
        row("AC compressor 1", "frmACUnitIO", {"x220=1"}, "lblX220Status", "ON", kGreen);
        row("AC condenser 2", "frmACUnitIO", {"x225=2"}, "lblX225Status", "ON", kGreen);
        row("AC block heater word", "frmACUnitIO", {"x263=N/A"}, "lblX263Status", "ON", kGreen);
        row("blower 0 with blanks", "frmOvrhdBlowIO", {"x376= 0 "}, "lblX376Status", "OFF", kFace);
        row("blower -1", "frmOvrhdBlowIO", {"x202=-1"}, "lblX202Status", "ON", kGreen);
        row("water heater 0.5", "frmWtrSysIO", {"y207=0.5"}, "lblY207Status", "ON", kGreen);
        row("water thermostat empty", "frmWtrSysIO", {"x422="}, "lblX422Status", "ON", kGreen);
        row("heat tape 1", "frmAntiFreezeIO", {"y262=1"}, "lblY262Status", "ON", kGreen);
        row("drain anti-freeze 0", "frmAntiFreezeIO", {"y307=0"}, "lblY307Status", "OFF", kFace);
        row("air compressor 2", "frmAirVacIO", {"y213=2"}, "lblY213Status", "ON", kGreen);
        row("venturi heater word", "frmAirVacIO", {"y317=x"}, "lblY317Status", "ON", kGreen);
    }
    void zeroIsOffEverythingElseOn() { check(); }

    // The per-point colours of the water system and the summer/winter switch.
    void pointColours_data()
    {
        columns();
        row("low float 0 red", "frmWtrSysIO", {"x465=0"}, "lblX465Status", "OFF", kRed);
        row("low float 1 green", "frmWtrSysIO", {"x465=1"}, "lblX465Status", "ON", kGreen);
        row("pump 0 red", "frmWtrSysIO", {"y263=0"}, "lblY263Status", "OFF", kRed);
        row("pump 2 green", "frmWtrSysIO", {"y263=2"}, "lblY263Status", "ON", kGreen);
        row("tank drain 0 green", "frmWtrSysIO", {"y260=0"}, "lblY260Status", "OFF", kGreen);
        row("tank drain 1 face", "frmWtrSysIO", {"y260=1"}, "lblY260Status", "ON", kFace);
        row("car drain 0 green", "frmWtrSysIO", {"y264=0"}, "lblY264Status", "OFF", kGreen);
        row("car drain word face", "frmWtrSysIO", {"y264=open"}, "lblY264Status", "ON", kFace);
        row("high float 0 face", "frmWtrSysIO", {"x461=0"}, "lblX461Status", "OFF", kFace);
        row("c10 0 winter", "frmAntiFreezeIO", {"c10=0"}, "lblC10Status", "WINTER", kYellow);
        row("c10 1 summer", "frmAntiFreezeIO", {"c10=1"}, "lblC10Status", "SUMMER", kGreen);
        row("c10 2 summer", "frmAntiFreezeIO", {"c10=2"}, "lblC10Status", "SUMMER", kGreen);
        row("c10 word summer", "frmAntiFreezeIO", {"c10=?"}, "lblC10Status", "SUMMER", kGreen);
    }
    void pointColours() { check(); }

    // Active only for exactly 1.
    void activeOnlyForOne_data()
    {
        columns();
        row("solenoid A 1", "frmACUnitIO", {"y204=1"}, "lblY204Status", "A", kCyan);
        row("solenoid B 1", "frmACUnitIO", {"y202=1"}, "lblY202Status", "B", kCyan);
        row("solenoid A 0", "frmACUnitIO", {"y205=0"}, "lblY205Status", "0", kFace);
        row("solenoid B 2", "frmACUnitIO", {"y201=2"}, "lblY201Status", "0", kFace);
        row("solenoid A word", "frmACUnitIO", {"y206=on"}, "lblY206Status", "0", kFace);
        row("OH thermostat 1", "frmOvrhdHeatIO", {"x410=1"}, "lblX410Status", "ON", kOrange);
        row("OH thermostat 2", "frmOvrhdHeatIO", {"x410=2"}, "lblX410Status", "OFF", kFace);
        row("OH relay 1", "frmOvrhdHeatIO", {"y311=1"}, "lblY311Status", "ON", kOrange);
        row("defrost fans 1", "frmOvrhdHeatIO", {"y240=1"}, "lblY240Status", "ON", kOrange);
        row("defrost heaters word", "frmOvrhdHeatIO", {"y244=yes"}, "lblY244Status", "OFF", kFace);
        row("floor thermostat 1", "frmFlrHeatIO", {"x417=1"}, "lblX417Status", "ON", kOrange);
        row("floor output 0", "frmFlrHeatIO", {"y222=0"}, "lblY222Status", "OFF", kFace);
        row("floor output 2", "frmFlrHeatIO", {"y234=2"}, "lblY234Status", "OFF", kFace);
        row("floor output 1 with blanks", "frmFlrHeatIO", {"y237= 1"}, "lblY237Status", "ON", kOrange);
    }
    void activeOnlyForOne() { check(); }

    // The second stage wins; the first shows only when the second is not exactly 1.
    void thermostatStages_data()
    {
        columns();
        row("AC A both", "frmACUnitIO", {"x404=1", "x400=1"}, "lblX400Status", "2nd", kCyan);
        row("AC A second only", "frmACUnitIO", {"x404=1", "x400=0"}, "lblX400Status", "2nd", kCyan);
        row("AC A first", "frmACUnitIO", {"x404=0", "x400=1"}, "lblX400Status", "1st", kLightCyan);
        row("AC A neither", "frmACUnitIO", {"x404=0", "x400=0"}, "lblX400Status", "0", kFace);
        row("AC B second 2", "frmACUnitIO", {"x237=2", "x233=1"}, "lblX233Status", "1st", kLightCyan);
        row("AC dome words", "frmACUnitIO", {"x405=hi", "x401=2"}, "lblX401Status", "0", kFace);
        row("AC dome first", "frmACUnitIO", {"x401=1"}, "lblX401Status", "1st", kLightCyan);
        row("OH B second without first", "frmOvrhdHeatIO", {"x211=1", "x214=0"}, "lblX214Status", "2nd", kOrange);
        row("OH B first", "frmOvrhdHeatIO", {"x214=1"}, "lblX214Status", "1st", kLightOrange);
        row("OH dome both", "frmOvrhdHeatIO", {"x411=1", "x414=1"}, "lblX414Status", "2nd", kOrange);
        row("OH dome first, second 2", "frmOvrhdHeatIO", {"x411=2", "x414=1"}, "lblX414Status", "1st", kLightOrange);
        row("OH dome neither", "frmOvrhdHeatIO", {"x411=0", "x414=0"}, "lblX414Status", "0", kFace);
    }
    void thermostatStages() { check(); }

    void everyStatusLabelSitsInItsFrameWithoutOverlap_data()
    {
        QTest::addColumn<QString>("form");
        for (const QString &f : kIoForms + QStringList{"frmEnvSystem", "frmWtrSystem"})
            QTest::newRow(qPrintable(f)) << f;
    }
    void everyStatusLabelSitsInItsFrameWithoutOverlap()
    {
        QFETCH(QString, form);
        TestStation t;
        t.screens().show(form);
        QWidget *w = t.screen(form)->window();
        for (QGroupBox *frame : w->findChildren<QGroupBox *>()) {
            QVERIFY(w->rect().contains(frame->geometry()));
            QList<QWidget *> inside;
            for (QWidget *c : frame->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
                if (!c->isVisibleTo(w))
                    continue;
                QVERIFY2(frame->rect().contains(c->geometry()), qPrintable(c->objectName()));
                for (QWidget *other : inside)
                    QVERIFY2(!other->geometry().intersects(c->geometry()),
                             qPrintable(other->objectName() + " / " + c->objectName()));
                inside << c;
                // A caption that does not fit would be cut off.
                if (auto *l = qobject_cast<QLabel *>(c))
                    QVERIFY2(l->fontMetrics().horizontalAdvance(l->text()) <= l->contentsRect().width(),
                             qPrintable(c->objectName()));
            }
        }
    }

    void theScreenClosesWhenAnotherWindowOfTheProgramBecomesActive_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("opener");
        for (const QString &f : kIoForms)
            QTest::newRow(qPrintable(f)) << f << (kIoForms.indexOf(f) < 4 ? "frmEnvSystem" : "frmWtrSystem");
    }
    void theScreenClosesWhenAnotherWindowOfTheProgramBecomesActive()
    {
        QFETCH(QString, form);
        QFETCH(QString, opener);
        TestStation t;
        t.screens().show(opener);
        t.screens().show(form);
        QWidget *w = t.screen(form)->window();
        TestStation::activate(w);
        TestStation::activate(nullptr); // another application: not ours
        QVERIFY(t.screens().isLoaded(form));
        TestStation::activate(w);
        TestStation::activate(t.screen(opener)->window());
        QVERIFY(!t.screens().isLoaded(form));
        QVERIFY(t.screens().isLoaded(opener));
    }

    void onlyTheAntiFreezeScreenHoldsTheFocusInItsWindow()
    {
        // It closes on losing the focus, which its window itself holds while active.
        TestStation t;
        for (const QString &f : kIoForms) {
            t.screens().show(f);
            TestStation::activate(t.screen(f)->window());
            const bool own = QApplication::focusWidget() == t.screen(f)->window();
            QCOMPARE(own, f == "frmAntiFreezeIO");
            t.screens().unload(f);
        }
    }

    void openingASecondIoScreenFromTheSummaryClosesTheFirst()
    {
        TestStation t;
        t.screens().show("frmEnvSystem");
        QWidget *env = t.screen("frmEnvSystem")->window();
        t.control<QPushButton>("frmEnvSystem", "cmdACUnitIO")->click();
        TestStation::activate(t.screen("frmACUnitIO")->window());
        TestStation::activate(env); // the operator clicks the environmental screen
        t.control<QPushButton>("frmEnvSystem", "cmdOHHeatIO")->click();
        TestStation::activate(t.screen("frmOvrhdHeatIO")->window());
        QVERIFY(!t.screens().isLoaded("frmACUnitIO"));
        QVERIFY(t.screens().isLoaded("frmOvrhdHeatIO"));
    }

    void reopeningShowsTheDesignCaptionsUntilTheFirstTick_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("design");
        QTest::addColumn<QString>("live");
        QTest::newRow("AC stage") << "frmACUnitIO"
                                  << "x404"
                                  << "lblX400Status"
                                  << "0"
                                  << "2nd";
        QTest::newRow("AC compressor") << "frmACUnitIO"
                                       << "x220"
                                       << "lblX220Status"
                                       << "OFF"
                                       << "ON";
        QTest::newRow("OH thermostat") << "frmOvrhdHeatIO"
                                       << "x410"
                                       << "lblX410Status"
                                       << "0"
                                       << "ON";
        QTest::newRow("floor") << "frmFlrHeatIO"
                               << "y226"
                               << "lblY226Status"
                               << "OFF"
                               << "ON";
        QTest::newRow("blower") << "frmOvrhdBlowIO"
                                << "x230"
                                << "lblX230Status"
                                << "OFF"
                                << "ON";
        QTest::newRow("summer") << "frmAntiFreezeIO"
                                << "c10"
                                << "lblC10Status"
                                << "WINTER"
                                << "SUMMER";
        QTest::newRow("water") << "frmWtrSysIO"
                               << "y203"
                               << "lblY203Status"
                               << "OFF"
                               << "ON";
        QTest::newRow("air") << "frmAirVacIO"
                             << "x402"
                             << "lblX402Status"
                             << "OFF"
                             << "ON";
    }
    void reopeningShowsTheDesignCaptionsUntilTheFirstTick()
    {
        QFETCH(QString, form);
        QFETCH(QString, item);
        QFETCH(QString, status);
        QFETCH(QString, design);
        QFETCH(QString, live);
        TestStation t;
        t.server.setValue(item, "1");
        t.screens().show(form);
        t.advance(200);
        QCOMPARE(t.captionOf(form, status), live);
        t.screens().unload(form);
        QCOMPARE(t.server.openLinkCount(), 0);
        t.advance(50);
        t.screens().show(form);
        t.advance(199);
        QCOMPARE(t.captionOf(form, status), design);
        QCOMPARE(t.colourOf(form, status), Colours::buttonFace);
        t.advance(1);
        QCOMPARE(t.captionOf(form, status), live);
    }

    void theyRaiseNoAlarmLinesAndWriteNothing()
    {
        TestStation t;
        for (const QString &f : kIoForms) {
            t.screens().show(f);
            for (const char *item : {"x220", "x410", "x212", "x465", "c10", "x222", "x202"})
                t.server.setValue(item, "0");
            t.advance(400);
            for (const char *item : {"x220", "x410", "x212", "x465", "c10", "x222", "x202"})
                t.server.setValue(item, "1");
            t.advance(400);
            t.screens().unload(f);
        }
        QVERIFY(t.alarmLogLines().isEmpty());
        for (const auto &op : t.server.operations()) {
            QVERIFY(op.kind != InProcessServer::Operation::Poke);
            QVERIFY(op.kind != InProcessServer::Operation::Open || op.mode == LinkMode::Automatic);
        }
    }
};

CORVANE_TEST_MAIN(TestIoScreen)
#include "tst_ioScreen.moc"
