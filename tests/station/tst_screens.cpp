#include "ProbeScreen.h"
#include "TestStation.h"

#include <QProcess>
#include <QSignalSpy>

using namespace corvane;
using namespace corvane::test;

// A screen whose tables hold one mistake, named by CORVANE_TABLE_MISTAKE.
class MistakenScreen : public Screen
{
public:
    MistakenScreen(Station &station, const QString &mistake)
        : Screen(station, QStringLiteral("mistaken"), QStringLiteral("Mistaken"))
        , m_mistake(mistake)
    {
    }

protected:
    void build(QWidget *form) override
    {
        addLink(LinkDesign{u"lblA", u"a"});
        QWidget *status = makeStatusLabel(form, QStringLiteral("lblAStatus"), QStringLiteral("0"));
        if (m_mistake == u"twice")
            addLink(LinkDesign{u"lblA", u"b"});
        else if (m_mistake == u"rule")
            addIndicator(status, whenValue(u"lblNope", 1, {}, {}));
        else if (m_mistake == u"row")
            addIndicator(form->findChild<QWidget *>(QStringLiteral("lblNoRow")), whenValue(u"lblA", 1, {}, {}));
        else if (m_mistake == u"item")
            declaredItem(u"nope");
    }

private:
    QString m_mistake;
};

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
    // A name in a screen's tables that names nothing stops the program at that screen's
    // first load, in a release build too, saying what is wrong, instead of leaving a
    // null pointer for a later tick to meet.
    void aMistakeInTheTablesStopsTheLoad_data()
    {
        QTest::addColumn<QString>("mistake");
        QTest::addColumn<QString>("says");
        QTest::newRow("a link declared twice") << "twice"
                                               << "mistaken: the link lblA is declared twice";
        QTest::newRow("a rule reading no link") << "rule"
                                                << "mistaken: no link lblNope in its tables";
        QTest::newRow("a status label in no row") << "row"
                                                  << "mistaken: a status label of its tables stands in no row";
        QTest::newRow("an item without a link") << "item"
                                                << "mistaken: no link for the item nope in its tables";
    }
    void aMistakeInTheTablesStopsTheLoad()
    {
        QFETCH(QString, mistake);
        QFETCH(QString, says);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("CORVANE_TABLE_MISTAKE"), mistake);
        env.insert(QStringLiteral("QTEST_DISABLE_STACK_DUMP"), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("loadTheMistakenScreen")});
        QVERIFY(child.waitForFinished(30'000));
        QVERIFY2(child.exitStatus() == QProcess::CrashExit || child.exitCode() != 0, "the load went on");
        QVERIFY2(child.readAll().contains(says.toUtf8()), qPrintable(says));
    }
    void loadTheMistakenScreen()
    {
        const QString mistake = qEnvironmentVariable("CORVANE_TABLE_MISTAKE");
        if (mistake.isEmpty())
            QSKIP("run by aMistakeInTheTablesStopsTheLoad in a process of its own");
        Fixture f;
        f.t.screens().add(std::make_unique<MistakenScreen>(*f.t.station, mistake));
        f.t.screens().load(QStringLiteral("mistaken"));
    }

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
