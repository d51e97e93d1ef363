#include "TestStation.h"

#include "core/time/Pulse.h"
#include "core/time/Timer.h"

#include <QPushButton>

using namespace corvane;
using namespace corvane::test;

namespace {

const QString kPorter = QStringLiteral("frmPorter");
const QString kMain = QStringLiteral("frmCVCarmain");

struct Shown
{
    QString control;
    QString item;
    QString active; // a label's caption, which never changes
    QString idle;
    quint32 activeColour;
    bool flashes;
};

// Every indication as the porter sees it, written out independently of the screen's tables.
QList<Shown> indications()
{
    const QString flash = QStringLiteral("flash");
    struct Function
    {
        const char *control;
        const char *active;
        const char *idle;
        quint32 colour;
        bool flashes;
    };
    const Function functions[] = {
            {"cmd%1RmCall", "Room Call Active", "Room Call", 0x00FFFF, true},
            {"cmd%1AnxCall", " Annex Call Active", "Annex Call", 0x00FFFF, true},
            {"lbl%1DoNotDist", "Do Not Disturb", "Do Not Disturb", 0x0000FF, false},
            {"lbl%1MakeUp", "Make Up", "Make Up", 0x00FFFF, true},
            {"cmd%1MealCall", "Meal Call Active", "Meal Call", 0x00FF00, false},
            {"cmd%1CommCall", "Comm Call Active", "Comm Call", 0x00FF00, false},
            {"cmd%1Comm", "Comm Active", "Comm", 0x00FF00, false},
            {"cmd%1Wake", "Wake Active", "Wake Call", 0x00FFFF, true},
    };
    const std::pair<const char *, QStringList> rooms[] = {
            {"DrA", {"c42", "c43", "v17414:0", "v17414:2", "c604", "c624", "c614", "c605"}},
            {"DrB", {"c44", "c45", "v17450:0", "v17450:2", "c634", "c654", "c644", "c635"}},
            {"CmpC", {"c46", "c47", "v17504:0", "v17504:2", "c664", "c704", "c674", "c665"}},
            {"CmpD", {"c50", "c51", "v17540:0", "v17540:2", "c714", "c734", "c724", "c715"}},
    };
    QList<Shown> out;
    for (const auto &[room, items] : rooms) {
        for (int i = 0; i < 8; ++i) {
            const Function &f = functions[i];
            out.append({QString::fromLatin1(f.control).arg(QLatin1String(room)), items[i], f.active, f.idle, f.colour,
                        f.flashes});
        }
    }
    out.append({"cmdAllDest", "c562", "Destination Active", "Destination Call", 0x00FFFF, true});
    out.append({"cmdADoor", "c40", "A End Door Call Active", "A End Door", 0x00FFFF, true});
    out.append({"cmdGenTlt", "c52", "Gnrl Tlt Call Active", "General Toilet", 0x00FFFF, true});
    out.append({"cmdAllMeal", "c565", "Meal Call Active", "Meal Service", 0x00FFFF, true});
    out.append({"cmdBDoor", "c41", "B End Door Call Active", "B End Door", 0x00FFFF, true});
    const char *tables[] = {"c53", "c54", "c55", "c56", "c57", "c60"};
    for (int i = 0; i < 6; ++i) {
        const QString caption = QStringLiteral("Table %1").arg(i + 1);
        out.append({QStringLiteral("lblDmTbl%1").arg(i + 1), tables[i], caption, caption, 0x00FFFF, true});
    }
    out.append({"cmdDmTblDisabl", "c576", "Table Calls Disabled", "Disable Table Calls", 0xFFFF00, false});
    return out;
}

const QStringList kLinkOrder
        = QStringLiteral("c42 c43 v17414:0 v17414:2 c604 c623 c614 c605 c600 c603 c624 c613 c100 "
                         "c44 c45 v17450:0 v17450:2 c634 c654 c644 c635 c630 c633 c653 c643 c101 "
                         "c46 c47 v17504:0 v17504:2 c664 c704 c674 c665 c660 c663 c703 c673 c102 "
                         "c50 c51 v17540:0 v17540:2 c714 c734 c724 c715 c710 c713 c733 c723 c103 "
                         "c562 c40 c52 c565 c41 c560 c570 c572 c563 c571 c53 c54 c55 c56 c57 c60 c575 c576 c577")
                  .split(u' ');
const QStringList kCommands
        = QStringLiteral("c600 c603 c623 c613 c100 c630 c633 c653 c643 c101 c660 c663 c703 c673 c102 "
                         "c710 c713 c733 c723 c103 c560 c563 c570 c571 c572 c577 c575")
                  .split(u' ');

struct Fixture
{
    Fixture()
    {
        t.screens().show(kPorter);
        t.settle();
    }
    QPushButton *button(const QString &name) const { return t.control<QPushButton>(kPorter, name); }
    void click(const QString &name) const { button(name)->click(); }
    bool loaded() const { return t.screens().isLoaded(kPorter); }
    // Pokes of every item from a given time on, as "item value@ms".
    QStringList pokesFrom(qint64 fromMs) const
    {
        QStringList out;
        for (const auto &op : t.server.operations()) {
            if (op.kind == InProcessServer::Operation::Poke && op.timeMs >= fromMs)
                out << QStringLiteral("%1 %2@%3").arg(op.item, op.value).arg(op.timeMs);
        }
        return out;
    }
    TestStation t;
};

} // namespace

class TestFrmPorter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void layoutInTwips_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QRect>("twipsGeometry");
        const auto row = [](const char *name, int l, int t, int w, int h) {
            QTest::newRow(name) << QString::fromLatin1(name) << QRect(l, t, w, h);
        };
        row("fraDrawA", 60, 60, 2775, 2955);
        row("fraDrawB", 2880, 60, 2775, 2955);
        row("fraComptC", 60, 3060, 2775, 2955);
        row("fraComptD", 2880, 3060, 2775, 2955);
        row("fraDmTbl", 5700, 3720, 2775, 2295);
        row("cmdAllDest", 5760, 900, 975, 555);
        row("cmdAllMeal", 7020, 900, 975, 555);
        row("cmdADoor", 5760, 1560, 975, 555);
        row("cmdBDoor", 7020, 1560, 975, 555);
        row("cmdGenTlt", 5760, 2220, 975, 555);
        row("cmdHidefrmPorter", 7500, 60, 975, 555);
        row("cmdDrARmCall", 240, 300, 975, 555);
        row("cmdDrAAnxCall", 240, 960, 975, 555);
        row("lblDrADoNotDist", 180, 1680, 1215, 255);
        row("lblDrAMakeUp", 180, 2100, 1215, 255);
        row("cmdDrAMealCall", 1560, 300, 975, 555);
        row("cmdDrACommCall", 1560, 960, 975, 555);
        row("cmdDrAComm", 1560, 1620, 975, 555);
        row("cmdDrAWake", 1560, 2280, 975, 555);
        row("cmdDrBWake", 1560, 2280, 975, 555);
        row("lblCmpCMakeUp", 180, 2100, 1215, 255);
        row("cmdCmpDAnxCall", 240, 960, 975, 555);
        row("lblDmTbl1", 120, 420, 1215, 255);
        row("lblDmTbl3", 120, 1140, 1215, 255);
        row("lblDmTbl4", 1440, 420, 1215, 255);
        row("lblDmTbl6", 1440, 1140, 1215, 255);
        row("cmdDmTblRst", 240, 1560, 975, 555);
        row("cmdDmTblDisabl", 1560, 1560, 975, 555);
    }
    void layoutInTwips()
    {
        QFETCH(QString, control);
        QFETCH(QRect, twipsGeometry);
        Fixture f;
        QWidget *w = f.t.control(kPorter, control);
        QVERIFY(w);
        const QRect r = twipsGeometry;
        QCOMPARE(w->geometry(), twipsRect(r.x(), r.y(), r.width(), r.height()));
    }

    void windowAndParents()
    {
        Fixture f;
        QWidget *form = f.t.screen(kPorter)->window();
        QCOMPARE(form->windowTitle(), QStringLiteral("Corvane Porter Interface"));
        QCOMPARE(form->size(), QSize(twips(8565), twips(6120)));
        QCOMPARE(f.t.control(kPorter, "cmdCmpCComm")->parentWidget()->objectName(), QStringLiteral("fraComptC"));
        QCOMPARE(f.t.control(kPorter, "lblDmTbl5")->parentWidget()->objectName(), QStringLiteral("fraDmTbl"));
        QCOMPARE(f.t.captionOf(kPorter, "fraComptD"), QStringLiteral("Compartment D"));
        QVERIFY(!f.button("cmdHidefrmPorter")->isVisibleTo(form));
        QVERIFY(f.t.link(kPorter, "lblV17414_0") && !f.t.control(kPorter, "lblV17414_0")); // a link, no widget
    }

    void linksOpenInTableOrderAndCloseTheSame()
    {
        TestStation t;
        t.screens().load(kPorter);
        QStringList expected;
        for (const QString &item : kLinkOrder)
            expected << QStringLiteral("open %1 %2@0").arg(item, kCommands.contains(item) ? "manual" : "auto");
        for (const QString &item : kLinkOrder)
            expected << QStringLiteral("timeout %1 50@0").arg(item);
        QCOMPARE(t.operations(), expected);
        QCOMPARE(kLinkOrder.size(), 71);
        QVERIFY(t.link(kPorter, "lblV17414_0"));
        QVERIFY(t.link(kPorter, "lblC60"));

        t.server.clearOperations();
        t.screens().unload(kPorter);
        expected.clear();
        for (const QString &item : kLinkOrder)
            expected << QStringLiteral("close %1@0").arg(item);
        QCOMPARE(t.operations(), expected);
    }

    void designCaptionsUntilTheFirstRefresh()
    {
        Fixture f;
        f.t.server.setValue("c562", "1");
        f.t.advance(199);
        QCOMPARE(f.t.captionOf(kPorter, "cmdAllDest"), QStringLiteral("Destination"));
        QCOMPARE(f.t.captionOf(kPorter, "cmdCmpDRmCall"), QStringLiteral(" Room Call  Active"));
        QCOMPARE(f.t.captionOf(kPorter, "cmdDrBWake"), QStringLiteral("Wake Active"));
        QCOMPARE(f.t.colourOf(kPorter, "cmdAllDest"), Colours::buttonFace);
        f.t.advance(1);
        QCOMPARE(f.t.captionOf(kPorter, "cmdAllDest"), QStringLiteral("Destination Active"));
        QCOMPARE(f.t.captionOf(kPorter, "cmdCmpDRmCall"), QStringLiteral("Room Call"));
        QCOMPARE(f.t.captionOf(kPorter, "cmdDmTblRst"), QStringLiteral("Table Call Reset"));
    }

    void indicationFollowsItsTagOnly_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("active");
        QTest::addColumn<QString>("idle");
        QTest::addColumn<quint32>("colour");
        QTest::addColumn<bool>("flashes");
        for (const Shown &s : indications()) {
            QTest::newRow(qPrintable(s.control + u' ' + s.item))
                    << s.control << s.item << s.active << s.idle << s.activeColour << s.flashes;
        }
    }
    void indicationFollowsItsTagOnly()
    {
        QFETCH(QString, control);
        QFETCH(QString, item);
        QFETCH(QString, active);
        QFETCH(QString, idle);
        QFETCH(quint32, colour);
        QFETCH(bool, flashes);
        Fixture f;
        f.t.server.setValue(item, "1");
        f.t.advance(200); // first tick: the yellow generator is lit
        QCOMPARE(f.t.captionOf(kPorter, control), active);
        QCOMPARE(f.t.colourOf(kPorter, control), ColourRef(colour));
        // No other indication reads this tag.
        for (const Shown &other : indications()) {
            if (other.control != control)
                QVERIFY2(f.t.colourOf(kPorter, other.control) == Colours::buttonFace, qPrintable(other.control));
        }
        f.t.advance(400); // third tick: the yellow generator is dark
        QCOMPARE(f.t.colourOf(kPorter, control), flashes ? Colours::buttonFace : ColourRef(colour));
        QCOMPARE(f.t.captionOf(kPorter, control), active);

        for (const char *notActive : {"2", "0", "1.5", "on"}) {
            f.t.server.setValue(item, QString::fromLatin1(notActive));
            f.t.advance(200);
            QCOMPARE(f.t.captionOf(kPorter, control), idle);
            QCOMPARE(f.t.colourOf(kPorter, control), Colours::buttonFace);
        }
    }

    void tableSixIsC60NotC58()
    {
        Fixture f;
        f.t.server.setValue("c58", "1");
        f.t.advance(200);
        QCOMPARE(f.t.colourOf(kPorter, "lblDmTbl6"), Colours::buttonFace);
        QVERIFY(!f.t.server.operations().isEmpty());
        for (const auto &op : f.t.server.operations())
            QVERIFY(op.item != QLatin1String("c58"));
    }

    void roomAndAnnexCallFlashTogether()
    {
        Fixture f;
        f.t.server.setValue("c46", "1");
        f.t.server.setValue("c47", "1");
        f.t.advance(200);
        QCOMPARE(f.t.captionOf(kPorter, "cmdCmpCRmCall"), QStringLiteral("Room Call Active"));
        QCOMPARE(f.t.captionOf(kPorter, "cmdCmpCAnxCall"), QStringLiteral(" Annex Call Active"));
        QCOMPARE(f.t.colourOf(kPorter, "cmdCmpCRmCall"), Colours::yellow);
        QCOMPARE(f.t.colourOf(kPorter, "cmdCmpCAnxCall"), Colours::yellow);
    }

    void loadWritesOnlyTheThreeRoomResetsZero()
    {
        Fixture f;
        f.t.advance(5000);
        QCOMPARE(f.pokesFrom(0), QStringList({"c630 0@200", "c660 0@200", "c710 0@200"}));
    }

    void pulseButton_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("timer");
        QTest::addColumn<int>("ms");
        const auto row = [](const char *button, const char *item, const char *timer, int ms) {
            QTest::newRow(button) << QString::fromLatin1(button) << QString::fromLatin1(item)
                                  << QString::fromLatin1(timer) << ms;
        };
        row("cmdDrARmCall", "c600", "tmrRmACallReset", 1000);
        row("cmdDrAAnxCall", "c600", "tmrRmACallReset", 1000);
        row("cmdDrAMealCall", "c603", "tmrRmAMealCallActv", 1000);
        row("cmdDrACommCall", "c623", "tmrRmAComCallActv", 1000);
        row("cmdDrAComm", "c613", "tmrRmAComActv", 1000);
        row("cmdDrBRmCall", "c630", "tmrRmBCallReset", 200);
        row("cmdDrBAnxCall", "c630", "tmrRmBCallReset", 200);
        row("cmdDrBMealCall", "c633", "tmrRmBMealCallActv", 1000);
        row("cmdDrBCommCall", "c653", "tmrRmBComCallActv", 1000);
        row("cmdDrBComm", "c643", "tmrRmBComActv", 1000);
        row("cmdCmpCRmCall", "c660", "tmrCmpCCallReset", 200);
        row("cmdCmpCAnxCall", "c660", "tmrCmpCCallReset", 200);
        row("cmdCmpCMealCall", "c663", "tmrCmpCMealCallActv", 1000);
        row("cmdCmpCCommCall", "c703", "tmrCmpCComCallActv", 1000);
        row("cmdCmpCComm", "c673", "tmrCmpCComActv", 1000);
        row("cmdCmpDRmCall", "c710", "tmrCmpDCallReset", 200);
        row("cmdCmpDAnxCall", "c710", "tmrCmpDCallReset", 200);
        row("cmdCmpDMealCall", "c713", "tmrCmpDMealCallActv", 1000);
        row("cmdCmpDCommCall", "c733", "tmrCmpDComCallActv", 1000);
        row("cmdCmpDComm", "c723", "tmrCmpDComActv", 1000);
        row("cmdAllDest", "c560", "tmrDestCallActv", 1000);
        row("cmdAllMeal", "c563", "tmrMealCallActv", 1000);
        row("cmdADoor", "c570", "tmrDrACallRst", 1000);
        row("cmdBDoor", "c571", "tmrDrBCallRst", 1000);
        row("cmdGenTlt", "c572", "tmrGnlTltCallRst", 1000);
        row("cmdDmTblRst", "c577", "tmrDmCallReset", 1000);
        row("cmdDmTblDisabl", "c575", "tmrDmCallDisabl", 1000);
    }
    void pulseButton()
    {
        QFETCH(QString, button);
        QFETCH(QString, item);
        QFETCH(QString, timer);
        QFETCH(int, ms);
        Fixture f;
        QCOMPARE(f.t.control<Timer>(kPorter, timer)->interval(), ms);
        f.t.advance(300);
        f.click(button);
        f.t.advance(3000);
        const QString end = QString::number(300 + ms);
        QCOMPARE(f.pokesFrom(300), QStringList({item + " 1@300", item + " 0@" + end}));
        QVERIFY(!f.t.control<Timer>(kPorter, timer)->isEnabled());
        // Idle again: a click on a status that stays active sends a further pulse.
        f.click(button);
        f.t.advance(3000);
        QCOMPARE(f.t.server.pokes(item).mid(ms == 200 ? 3 : 2),
                 QStringList({"1@3300", "0@" + QString::number(3300 + ms)}));
    }

    // A click during a running pulse writes nothing and keeps the pulse's first schedule,
    // also when it comes from the other button of the pair.
    void clicksWithinOnePulse_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::newRow("two quick clicks") << "cmdAllMeal"
                                          << "cmdAllMeal";
        QTest::newRow("room then annex") << "cmdDrARmCall"
                                         << "cmdDrAAnxCall";
        QTest::newRow("annex then room") << "cmdDrAAnxCall"
                                         << "cmdDrARmCall";
    }
    void clicksWithinOnePulse()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        Fixture f;
        f.t.advance(300);
        f.click(first);
        f.t.advance(900);
        f.click(second);
        f.t.advance(3000);
        const QString item = first == QLatin1String("cmdAllMeal") ? "c563" : "c600";
        QCOMPARE(f.pokesFrom(300), QStringList({item + " 1@300", item + " 0@1300"}));
    }

    void wakeWritesOneOnlyWhileTheRoomIsNotBeingWoken()
    {
        Fixture f;
        f.t.server.setValue("c665", "1");
        f.t.settle();
        f.click("cmdCmpCWake");
        f.t.server.setValue("c665", "2");
        f.t.settle();
        f.click("cmdCmpCWake");
        QCOMPARE(f.t.pokes("c102"), QStringList());

        f.t.server.setValue("c665", "0");
        f.t.advance(100);
        f.click("cmdCmpCWake");
        f.t.advance(100);
        f.click("cmdCmpCWake"); // "1" again although "1" was written last
        f.t.advance(10000);
        QCOMPARE(f.t.pokes("c102"), QStringList({"1@100", "1@200"}));
        QCOMPARE(f.pokesFrom(201), QStringList()); // never a "0"
    }

    // The pulse ends on time although the screen unloads within it (the PulseKeeper);
    // a reload within the pulse takes it back, so a click there sends no second "1".
    void closingWithinAPulseStillEndsItOnTime_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("reopen");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("c600 closed") << "cmdDrARmCall"
                                     << "c600" << false << QStringList({"1@300", "0@1300"});
        QTest::newRow("c600 reopened") << "cmdDrARmCall"
                                       << "c600" << true << QStringList({"1@300", "0@1300"});
        QTest::newRow("c575 reopened") << "cmdDmTblDisabl"
                                       << "c575" << true << QStringList({"1@300", "0@1300"});
        // The 200 ms resets also get the "0" of the reload 200 ms after it.
        QTest::newRow("c630 closed") << "cmdDrBRmCall"
                                     << "c630" << false << QStringList({"0@200", "1@300", "0@500"});
        QTest::newRow("c630 reopened") << "cmdDrBAnxCall"
                                       << "c630" << true
                                       << QStringList({"0@200", "1@300", "0@500", "0@650", "1@700", "0@900"});
    }
    void closingWithinAPulseStillEndsItOnTime()
    {
        QFETCH(QString, button);
        QFETCH(QString, item);
        QFETCH(bool, reopen);
        QFETCH(QStringList, expected);
        TestStation t;
        t.screens().show(kMain);
        t.screens().show(kPorter);
        TestStation::activate(t.screen(kPorter)->window());
        t.advance(300);
        t.control<QPushButton>(kPorter, button)->click();
        t.advance(100);
        TestStation::activate(t.screen(kMain)->window());
        QVERIFY(!t.screens().isLoaded(kPorter));
        if (reopen) {
            t.advance(50);
            t.screens().makeVisible(kPorter); // as the main screen does while c750 is 1
            t.advance(250);
            t.control<QPushButton>(kPorter, button)->click();
        }
        t.advance(3000);
        QCOMPARE(t.pokes(item), expected);
        QCOMPARE(t.station->pulses().pendingCount(), 0);
    }

    void deactivationUnloadsAndAFreshShowStartsOver()
    {
        TestStation t;
        t.screens().show(kMain);
        t.server.setValue("c42", "1");
        t.screens().show(kPorter);
        TestStation::activate(t.screen(kPorter)->window());
        t.advance(400);
        QVERIFY(t.screens().isLoaded(kPorter));
        TestStation::activate(nullptr); // another application: it stays
        QVERIFY(t.screens().isLoaded(kPorter));
        TestStation::activate(t.screen(kPorter)->window());
        TestStation::activate(t.screen(kMain)->window());
        QVERIFY(!t.screens().isLoaded(kPorter));

        t.screens().makeVisible(kPorter); // as the main screen does while c750 is 1
        QCOMPARE(t.captionOf(kPorter, "cmdDrARmCall"), QStringLiteral(" Room Call  Active"));
        t.advance(200);
        QCOMPARE(t.captionOf(kPorter, "cmdDrARmCall"), QStringLiteral("Room Call Active"));
        QCOMPARE(t.pokes("c710"), QStringList({"0@200", "0@600"}));
    }

    // While c750 is 1 it brings the porter screen back.
    void mainScreenBringsItBackWhileC750IsOne()
    {
        TestStation t;
        t.screens().show(kMain);
        t.screens().show(kPorter);
        TestStation::activate(t.screen(kPorter)->window());
        TestStation::activate(t.screen(kMain)->window());
        QVERIFY(!t.screens().isLoaded(kPorter));
        t.advance(1000);
        QVERIFY(!t.screens().isLoaded(kPorter)); // c750 is 0
        t.server.setValue("c750", "1");
        t.advance(200);
        QVERIFY(t.screens().isLoaded(kPorter));
        QVERIFY(t.screen(kPorter)->isVisible());
        TestStation::activate(t.screen(kMain)->window());
        QVERIFY(!t.screens().isLoaded(kPorter));
        t.advance(200);
        QVERIFY(t.screens().isLoaded(kPorter));
    }

    void hideOnlyHides()
    {
        Fixture f;
        f.click("cmdHidefrmPorter");
        QVERIFY(f.loaded());
        QVERIFY(!f.t.screen(kPorter)->isVisible());
    }

    void serverAbsentShowsAllIdle()
    {
        TestStation t;
        t.server.setValue("c42", "1");
        t.server.setPresent(false);
        t.screens().show(kPorter);
        t.advance(1000);
        for (const Shown &s : indications()) {
            QCOMPARE(t.colourOf(kPorter, s.control), Colours::buttonFace);
            QCOMPARE(t.captionOf(kPorter, s.control), s.idle);
        }
        t.control<QPushButton>(kPorter, "cmdDrARmCall")->click(); // goes nowhere, stops nothing
        t.advance(2000);
        QCOMPARE(t.link(kPorter, "lblC600")->value(), QStringLiteral("0"));
    }
};

CORVANE_TEST_MAIN(TestFrmPorter)
#include "tst_frmPorter.moc"
