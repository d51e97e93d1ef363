#include "TestStation.h"

#include "history/HistoryStore.h"
#include "history/RecordingTagSource.h"
#include "history/TrendWindow.h"
#include "screens/AllScreens.h"

#include <QMenu>
#include <QtCharts/QChart>

using namespace corvane;
using namespace corvane::history;
using namespace corvane::test;

namespace {

constexpr qint64 kMin = 60'000;

QStringList entriesOf(const QMenu *menu)
{
    QStringList out;
    if (menu) {
        for (const QAction *a : menu->actions())
            out << a->text();
    }
    return out;
}

} // namespace

// The station as the program runs it with a history: every delivered value recorded,
// a right-click on a value offering its trend.
class TestTrendMenu : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_ts = std::make_unique<TestStation>(false); // its station is replaced below
        const QString alarmLog = m_ts->alarmLogPath();
        m_ts->station.reset();
        // Kept for longer than the virtual clock is behind the real one.
        m_store = std::make_unique<HistoryStore>(
                HistoryConfig{m_ts->dir.filePath(QStringLiteral("history.sqlite")), 100'000, [](const QString &) {}});
        m_recorded = std::make_unique<RecordingTagSource>(m_ts->server, m_store.get(), [this] { return utcNow(); });
        m_ts->station = std::make_unique<Station>(m_ts->scheduler, *m_recorded, alarmLog);
        registerAllScreens(*m_ts->station);
        m_reader = std::make_unique<HistoryReader>(m_store->path());
        m_trends = std::make_unique<TrendWindows>(*m_reader, [this] { return utcNow(); });
        m_ts->station->setTrendOpener(
                [this](const QString &item, const QString &description) { m_trends->show(item, description); });
        m_ts->screens().show(QStringLiteral("frmCVCarmain"));
        m_ts->settle();
        m_start = utcNow();
    }
    void cleanup()
    {
        m_trends.reset();
        m_reader.reset();
        m_ts->station.reset();
        m_recorded.reset();
        m_store.reset();
        m_ts.reset();
    }

    void rightClickOffersTheItemsTheControlShows_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("item"); // of the last entry
        QTest::addColumn<QString>("title");
        const QStringList one{QStringLiteral("Trend")};
        // clang-format off
        QTest::newRow("speed gauge, no words beside it")
                << "frmCVCarmain" << "lblMPHV10020" << one << "v10020:b" << "v10020:b";
        QTest::newRow("value box") << "frmCVCarmain" << "lblPipePsiV1413" << one << "v1413:b" << "Brake Pipe";
        QTest::newRow("status word of two items")
                << "frmCVCarmain" << "lblHandBrakeStatus" << QStringList{"Trend c27", "Trend x227"} << "x227"
                << "Hand Brake";
        QTest::newRow("backfeed square") << "frmCVCarmain" << "lblX251Status" << one << "x251" << "Trainline Open";
        QTest::newRow("system lamp button")
                << "frmCVCarmain" << "cmdHeatAC" << QStringList{"Trend c510", "Trend c511"} << "c511" << "c511";
        QTest::newRow("summary status word") << "frmWtrSystem" << "lblC354Status" << one << "c354" << "Air Compressor";
        QTest::newRow("I/O value") << "frmAntiFreezeIO" << "lblWaterTempv1415" << one << "v1415:b" << "water temp";
        QTest::newRow("I/O status word of two stages")
                << "frmACUnitIO" << "lblX400Status" << QStringList{"Trend x404", "Trend x400"} << "x400"
                << "A End AC Thermostat Stages";
        QTest::newRow("I/O scaled reading") << "frmAirVacIO" << "lblVacuum" << one << "v1426:b" << "Vacuum Transducer";
        QTest::newRow("blower read-back")
                << "frmBlowBSpeeds" << "lblBEndActDV7030Status" << one << "v7030:db" << "Actual";
        QTest::newRow("fixed text") << "frmCVCarmain" << "lblHandBrake" << QStringList{} << "" << "";
        QTest::newRow("command button") << "frmCVCarmain" << "cmdBkfdStop" << QStringList{} << "" << "";
        // clang-format on
    }
    void rightClickOffersTheItemsTheControlShows()
    {
        QFETCH(QString, form);
        QFETCH(QString, control);
        QFETCH(QStringList, entries);
        QFETCH(QString, item);
        QFETCH(QString, title);
        m_ts->screens().show(form);
        m_ts->settle();
        QWidget *w = m_ts->control(form, control);
        QVERIFY2(w, qPrintable(control));

        QMenu *menu = rightClick(w);
        QCOMPARE(entriesOf(menu), entries);
        if (!menu)
            return;
        choose(menu, menu->actions().last());
        m_ts->settle();
        TrendWindow *trend = m_trends->find(item);
        QVERIFY(trend && trend->isVisible());
        QTRY_COMPARE(QApplication::activeWindow(), trend); // the screen lost the station's attention
        QCOMPARE(trend->windowTitle(), QStringLiteral("Trend - ") + item);
        QCOMPARE(trend->chart()->title(), title);
        // The screen is untouched: still loaded, the menu gone.
        QVERIFY(m_ts->screen(form)->isLoaded());
        QTRY_VERIFY(!QApplication::activePopupWidget());
    }

    // Nothing changes on any screen when there is no history to show.
    void withoutAHistoryNoMenu()
    {
        m_ts->station->setTrendOpener({});
        QVERIFY(!rightClick(m_ts->control(QStringLiteral("frmCVCarmain"), QStringLiteral("lblMPHV10020"))));
    }

    void theTrendDrawsWhatTheGaugeWasGiven()
    {
        // Minute by minute: 0, 35, 70.5, the data server gone for a minute, back, 20.
        auto speed
                = [this](const char *v) { m_ts->server.setValue(QStringLiteral("v10020:b"), QString::fromLatin1(v)); };
        speed("0");
        m_ts->advance(kMin);
        speed("35");
        m_ts->advance(kMin);
        speed("70.5");
        m_ts->advance(kMin);
        m_ts->server.setPresent(false);
        m_ts->advance(kMin);
        m_ts->server.setPresent(true);
        m_ts->advance(kMin);
        speed("20");
        m_ts->advance(kMin);
        m_store->flush();

        QMenu *menu = rightClick(m_ts->control(QStringLiteral("frmCVCarmain"), QStringLiteral("lblMPHV10020")));
        QVERIFY(menu);
        choose(menu, menu->actions().first());
        TrendWindow *trend = m_trends->find(QStringLiteral("v10020:b"));
        QVERIFY(trend);
        QTRY_VERIFY(trend->settled() && !trend->lines(0).isEmpty());
        QStringList lines;
        for (const QList<QPointF> &line : trend->lines(0)) {
            QStringList points;
            for (const QPointF &p : line)
                points << QStringLiteral("%1:%2").arg(double(qint64(p.x()) - m_start) / kMin).arg(p.y());
            lines << points.join(u' ');
        }
        QCOMPARE(lines, (QStringList{QStringLiteral("0:0 1:0 1:35 2:35 2:70.5 3:70.5"),
                                     QStringLiteral("4:70.5 5:70.5 5:20 6:20")}));
    }

    // A trend opened from a screen that closes when it loses the station's attention
    // leaves it open; the next screen of the station to become active still closes it.
    void aTrendIsNotAnotherScreen_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("control");
        // clang-format off
        QTest::newRow("closes on deactivation") << "frmBlowASpeeds" << "lblAEndActDV7024Status";
        QTest::newRow("closes on lost focus") << "frmAntiFreezeIO" << "lblX425Status";
        // clang-format on
    }
    void aTrendIsNotAnotherScreen()
    {
        QFETCH(QString, form);
        QFETCH(QString, control);
        Screen *screen = m_ts->screen(form);
        screen->show();
        TestStation::activate(screen->window());
        if (screen->window()->focusPolicy() != Qt::NoFocus)
            screen->window()->setFocus();
        m_ts->settle();

        QMenu *menu = rightClick(m_ts->control(form, control));
        QVERIFY(menu);
        QVERIFY(screen->isLoaded());
        choose(menu, menu->actions().first());
        QWidget *trend = m_trends->find(m_ts->screen(form)->trendItems(m_ts->control(form, control)).value(0));
        QVERIFY(trend);
        TestStation::activate(trend);
        trend->setFocus();
        m_ts->settle();
        QVERIFY(screen->isLoaded());

        TestStation::activate(m_ts->screen(QStringLiteral("frmCVCarmain"))->window());
        m_ts->settle();
        QVERIFY(!screen->isLoaded());
    }

private:
    qint64 utcNow() const { return m_ts->scheduler.now().toMSecsSinceEpoch(); }

    // A right-click as the operator gives it; the menu it opened, if any.
    QMenu *rightClick(QWidget *w)
    {
        if (!w)
            return nullptr;
        // Through the window, as the window system delivers it: only that way does a
        // right button become a context menu event.
        QTest::mouseClick(w->window()->windowHandle(), Qt::RightButton, {}, w->mapTo(w->window(), w->rect().center()));
        m_ts->settle();
        return qobject_cast<QMenu *>(QApplication::activePopupWidget());
    }

    static void choose(QMenu *menu, QAction *entry)
    {
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
    }

    std::unique_ptr<TestStation> m_ts;
    std::unique_ptr<HistoryStore> m_store;
    std::unique_ptr<HistoryReader> m_reader;
    std::unique_ptr<RecordingTagSource> m_recorded;
    std::unique_ptr<TrendWindows> m_trends;
    qint64 m_start = 0;
};

CORVANE_TEST_MAIN(TestTrendMenu)
#include "tst_trendMenu.moc"
