#include "ProbeScreen.h"
#include "TestStation.h"

#include <QSignalSpy>

using namespace corvane;
using namespace corvane::test;

class TestScreens : public QObject
{
    Q_OBJECT

    struct Fixture
    {
        TestStation t{false};
        ProbeScreen *add(const QString &name, Screen::SelfUnload rule = Screen::SelfUnload::Never)
        {
            return static_cast<ProbeScreen *>(t.screens().add(std::make_unique<ProbeScreen>(*t.station, name, rule)));
        }
    };

private Q_SLOTS:
    void loadIsHiddenShowIsModelessAndOneInstance()
    {
        Fixture f;
        ProbeScreen *p = f.add(QStringLiteral("probe"));
        QVERIFY(f.t.screens().load(QStringLiteral("probe")));
        QVERIFY(p->isLoaded());
        QVERIFY(!p->isVisible());
        QWidget *first = p->window();
        f.t.screens().show(QStringLiteral("probe"));
        f.t.screens().show(QStringLiteral("probe"));
        QVERIFY(p->isVisible());
        QCOMPARE(p->window(), first);
        QVERIFY(!p->window()->isModal());
        QCOMPARE(p->window()->windowTitle(), QStringLiteral("Probe probe"));
        QCOMPARE(p->window()->size(), QSize(twips(3000), twips(2000)));
    }

    void anUnknownScreenIsQuietlySkipped()
    {
        Fixture f;
        QVERIFY(!f.t.screens().show(QStringLiteral("frmNotYetBuilt")));
        f.t.screens().unload(QStringLiteral("frmNotYetBuilt"));
        QCOMPARE(f.t.screens().loadedCount(), 0);
    }

    void unloadStopsTimersAndDestroysTheWindow()
    {
        Fixture f;
        ProbeScreen *p = f.add(QStringLiteral("probe"));
        p->show();
        QPointer<QWidget> window = p->window();
        f.t.advance(200);
        QCOMPARE(p->flash.redCounter(), qint16(100));
        p->unload();
        QVERIFY(!p->isLoaded());
        f.t.advance(1000);
        QCOMPARE(p->flash.redCounter(), qint16(100));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(window.isNull());
    }

    void flashGeneratorsCarryOnAcrossReload()
    {
        Fixture f;
        ProbeScreen *p = f.add(QStringLiteral("probe"));
        p->load();
        f.t.advance(400); // 100, 200
        p->unload();
        p->load();
        f.t.advance(200); // 300: not restarted from 0
        QCOMPARE(p->flash.redCounter(), qint16(300));
        QCOMPARE(p->flash.red(), Colours::buttonFace);
    }

    void designCaptionsShowUntilTheFirstTick()
    {
        Fixture f;
        f.add(QStringLiteral("probe"))->load();
        f.t.advance(199);
        QCOMPARE(f.t.captionOf(QStringLiteral("probe"), QStringLiteral("lblAStatus")), QStringLiteral("DESIGN"));
        f.t.advance(1);
        QCOMPARE(f.t.captionOf(QStringLiteral("probe"), QStringLiteral("lblAStatus")), QStringLiteral("FAULT"));
        QCOMPARE(f.t.colourOf(QStringLiteral("probe"), QStringLiteral("lblAStatus")), Colours::red);
    }

    void theProgramEndsOnlyWhenTheLastLoadedScreenUnloads()
    {
        Fixture f;
        ProbeScreen *a = f.add(QStringLiteral("a"));
        ProbeScreen *b = f.add(QStringLiteral("b"));
        QSignalSpy last(&f.t.screens(), &ScreenRegistry::lastScreenUnloaded);
        a->show();
        b->load(); // hidden counts as open
        a->window()->close();
        QVERIFY(!a->isLoaded());
        QCOMPARE(last.count(), 0);
        b->unload();
        QCOMPARE(last.count(), 1);
    }

    void closingTheWindowUnloadsTheScreen()
    {
        Fixture f;
        ProbeScreen *p = f.add(QStringLiteral("probe"));
        p->show();
        f.t.settle();
        p->window()->close();
        QVERIFY(!p->isLoaded());
        QCOMPARE(f.t.server.openLinkCount(), 0);
    }

    void deactivationUnloadsOnlyForAnotherWindowOfTheProgram()
    {
        Fixture f;
        ProbeScreen *main = f.add(QStringLiteral("main"));
        ProbeScreen *io = f.add(QStringLiteral("io"), Screen::SelfUnload::OnDeactivate);
        main->show();
        io->show();
        TestStation::activate(io->window());
        QVERIFY(io->window()->isActiveWindow());

        TestStation::activate(nullptr); // another application took over
        QVERIFY(io->isLoaded());

        TestStation::activate(io->window());
        TestStation::activate(main->window());
        QVERIFY(!io->isLoaded());
        QVERIFY(main->isLoaded());
    }

    void lostFocusUnloadsWhenTheFocusGoesToAnotherWindowOfTheProgram()
    {
        Fixture f;
        ProbeScreen *main = f.add(QStringLiteral("main"));
        ProbeScreen *af = f.add(QStringLiteral("antifreeze"), Screen::SelfUnload::OnLostFocus);
        main->show();
        af->show();
        TestStation::activate(af->window());
        // The window has a button that takes the focus; move it to the window itself.
        af->window()->setFocus(Qt::OtherFocusReason);
        QCOMPARE(QApplication::focusWidget(), af->window());
        TestStation::activate(nullptr);
        QVERIFY(af->isLoaded());
        TestStation::activate(af->window());
        af->window()->setFocus(Qt::OtherFocusReason);
        TestStation::activate(main->window());
        QVERIFY(!af->isLoaded());
    }

    void aButtonHoldingTheFocusKeepsALostFocusScreenLoaded()
    {
        Fixture f;
        ProbeScreen *main = f.add(QStringLiteral("main"));
        ProbeScreen *water = f.add(QStringLiteral("water"), Screen::SelfUnload::OnLostFocus);
        main->show();
        water->show();
        TestStation::activate(water->window());
        QVERIFY(QApplication::focusWidget() != water->window());
        TestStation::activate(main->window());
        QVERIFY(water->isLoaded());
    }
};

CORVANE_TEST_MAIN(TestScreens)
#include "tst_screens.moc"
