#include "HistoryProbe.h"
#include "TestStation.h"

#include "history/HistoryReader.h"
#include "history/HistoryStore.h"
#include "history/TrendTime.h"
#include "history/TrendWindow.h"

#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QValueAxis>
#include <ctime>

using namespace corvane;
using namespace corvane::history;
using namespace corvane::test;

namespace {

constexpr qint64 kMin = 60'000;
constexpr qint64 kNow = kT0 + 10 * kMin; // the window's clock: 10:10:00.000 UTC, 04:10 CST

// Lines as "minute:value" pairs from kT0, one string per line.
QStringList text(const QList<QList<QPointF>> &lines)
{
    QStringList out;
    for (const QList<QPointF> &line : lines) {
        QStringList pts;
        for (const QPointF &p : line)
            pts << QStringLiteral("%1:%2").arg((qint64(p.x()) - kT0) / double(kMin)).arg(p.y());
        out << pts.join(u' ');
    }
    return out;
}

qint64 utc(int month, int day, int h, int m, int s = 0)
{
    return QDateTime(QDate(2026, month, day), QTime(h, m, s), Qt::UTC).toMSecsSinceEpoch();
}

ItemWords words(const QString &caption, const QString &alarm = {}, const QString &unit = {}, double divisor = 1)
{
    ItemWords w;
    w.caption = caption;
    w.alarm = alarm;
    w.unit = unit;
    w.divisor = divisor;
    return w;
}

QStringList labels(const std::vector<TimeTick> &ticks)
{
    QStringList out;
    for (const TimeTick &t : ticks)
        out << QStringLiteral("%1 %2").arg(QDateTime::fromMSecsSinceEpoch(t.ms, Qt::UTC).toString(u"HH:mm"), t.label);
    return out;
}

} // namespace

// A known history, written by the station's own writer into a real SQLite file and
// read back through the reader, in the car's time zone.
class TestTrendWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        qputenv("TZ", "America/Chicago");
        tzset();
    }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        const QString path = m_dir->filePath(QStringLiteral("history.sqlite"));
        HistoryConfig config;
        config.path = path;
        config.warn = [](const QString &) {};
        m_store = std::make_unique<HistoryStore>(config);
        const auto channel = [this](const char *item) {
            return m_store->channel({QStringLiteral("DSData"), QStringLiteral("CVPlc"), QString::fromLatin1(item)});
        };
        const int c27 = channel("c27");
        m_store->add(c27, kT0 - 20 * kMin, QStringLiteral("0")); // before the range: holds into it
        m_store->add(c27, kT0 + 1 * kMin, QStringLiteral("1"));
        m_store->addGap(c27, kT0 + 3 * kMin); // link down
        m_store->add(c27, kT0 + 4 * kMin, QStringLiteral("1"));
        m_store->add(c27, kT0 + 7 * kMin, QStringLiteral("0"));
        const int x227 = channel("x227");
        m_store->add(x227, kT0 + 2 * kMin, QStringLiteral("45.5"));
        m_store->add(x227, kT0 + 5 * kMin, QStringLiteral("60"));
        m_store->add(channel("v1426:b"), kT0 + 2 * kMin, QStringLiteral("123"));
        m_store->add(channel("x200"), kT0 + 2 * kMin, QStringLiteral("0"));
        const char *lines[][2] = {
                {"-5", "FAULT C27 Handbrake ON, Car Moving  03:55:00 12/08/2026"},
                {"1", "FAULT C27 Handbrake ON, Car Moving  04:01:00 12/08/2026"},
                {"2", "FAULT X200 Phase Fault Relay  04:02:00 12/08/2026"},
                {"3", "FAULT DSDATA Data Server Link Lost  04:03:00 12/08/2026"},
                {"4", "CLEAR DSDATA Data Server Link Lost  04:04:00 12/08/2026"},
                {"7", "CLEAR C27 Handbrake ON, Car Moving  04:07:00 12/08/2026"},
        };
        for (const auto &l : lines)
            m_store->addAlarmLine(kT0 + QByteArray(l[0]).toLongLong() * kMin, QString::fromLatin1(l[1]));
        m_store->addLinkState(kT0 + 3 * kMin, false);
        m_store->addLinkState(kT0 + 4 * kMin, true);
        m_store->flush();
        m_reader = std::make_unique<HistoryReader>(path);
        m_now = kNow;
        // The station's words for the items the test opens by code.
        const auto glossary = [](const QString &item) {
            if (item == QLatin1String("v1426:b"))
                return words(QStringLiteral("Vacuum Transducer"), {}, {}, 10);
            if (item == QLatin1String("x227"))
                return words(QStringLiteral("Hand Brake"), {}, QStringLiteral("PSI"));
            if (item == QLatin1String("x200"))
                return words(QStringLiteral("Electrical Phase Control"), {}, QStringLiteral("PSI"));
            return ItemWords{};
        };
        m_windows = std::make_unique<TrendWindows>(
                *m_reader, [this] { return m_now; }, glossary);
    }
    void cleanup()
    {
        m_windows.reset();
        m_reader.reset();
        m_store.reset();
        m_dir.reset();
    }

    // Round local times, the station's formats, and a clock change told as it is.
    void ticksAtRoundLocalTimes_data()
    {
        QTest::addColumn<qint64>("from");
        QTest::addColumn<qint64>("to");
        QTest::addColumn<QStringList>("ticks"); // "<UTC> <label>"
        QTest::newRow("10 min from an odd second")
                << utc(12, 8, 9, 47, 13) << utc(12, 8, 9, 57, 13)
                << QStringList{"09:48 03:48", "09:50 03:50", "09:52 03:52", "09:54 03:54", "09:56 03:56"};
        QTest::newRow("8 h") << utc(12, 8, 9, 47, 13) << utc(12, 8, 17, 47, 13)
                             << QStringList{"10:00 04:00", "12:00 06:00", "14:00 08:00", "16:00 10:00"};
        QTest::newRow("7 d, dates at local midnight")
                << utc(12, 1, 9, 47, 13) << utc(12, 8, 9, 47, 13)
                << QStringList{"06:00 12/02/2026", "06:00 12/03/2026", "06:00 12/04/2026", "06:00 12/05/2026",
                               "06:00 12/06/2026", "06:00 12/07/2026", "06:00 12/08/2026"};
        QTest::newRow("1 h across the November change")
                << utc(11, 1, 6, 10) << utc(11, 1, 7, 10)
                << QStringList{"06:10 01:10 CDT", "06:20 01:20 CDT", "06:30 01:30 CDT", "06:40 01:40 CDT",
                               "06:50 01:50 CDT", "07:00 01:00 CST", "07:10 01:10 CST"};
    }
    void ticksAtRoundLocalTimes()
    {
        QFETCH(qint64, from);
        QFETCH(qint64, to);
        QFETCH(QStringList, ticks);
        QCOMPARE(labels(timeTicks(from, to, 8)), ticks);
    }

    void stepsGapsAndBits()
    {
        TrendWindow *w = m_windows->show(QStringLiteral("c27"), words(QStringLiteral("Hand Brake")));
        QTRY_VERIFY(!w->lines(0).isEmpty());
        QCOMPARE(text(w->lines(0)),
                 (QStringList{QStringLiteral("0:0 1:0 1:1 3:1"), QStringLiteral("4:1 7:1 7:0 10:0")}));
        auto *axis = qobject_cast<QValueAxis *>(w->chart()->axes(Qt::Vertical).value(0));
        QVERIFY(axis);
        QVERIFY(axis->min() < 0 && axis->min() > -0.5);
        QVERIFY(axis->max() > 1 && axis->max() < 1.5);
        // One window per item.
        QCOMPARE(m_windows->show(QStringLiteral("c27"), ItemWords{}), w);
        QVERIFY(m_windows->show(QStringLiteral("x227"), ItemWords{}) != w);
    }

    // The value every pen holds at the cursor, as the screen shows it.
    void cursorReadsEveryPen_data()
    {
        QTest::addColumn<qint64>("at");
        QTest::addColumn<bool>("pinned");
        QTest::addColumn<QString>("readout");
        const QString pens = QStringLiteral("   Hand Brake: Handbrake ON, Car Moving (c27) = %1"
                                            "   Hand Brake (x227) = %2   Vacuum Transducer (v1426:b) = %3");
        QTest::newRow("all known") << kT0 + 2 * kMin + 30'250 << false
                                   << "12/08/2026 04:02:30.250 CST" + pens.arg("1", "45.5 PSI", "12.3");
        QTest::newRow("link down, pinned")
                << kT0 + 3 * kMin + 1 << true
                << "Pinned 12/08/2026 04:03:00.001 CST" + pens.arg("no data", "45.5 PSI", "12.3");
        QTest::newRow("before anything of two")
                << kT0 + 30'000 << false << "12/08/2026 04:00:30.000 CST" + pens.arg("0", "no data", "no data");
    }
    void cursorReadsEveryPen()
    {
        QFETCH(qint64, at);
        QFETCH(bool, pinned);
        QFETCH(QString, readout);
        TrendWindow *w = m_windows->show(
                QStringLiteral("c27"), words(QStringLiteral("Hand Brake"), QStringLiteral("Handbrake ON, Car Moving")));
        QTRY_VERIFY(w->recordedItems().size() == 4);
        QVERIFY(w->addPen(QStringLiteral("x227")));
        QVERIFY(w->addPen(QStringLiteral("v1426:b")));
        QTRY_VERIFY(w->settled() && !w->lines(2).isEmpty());
        // Drawn divided as the screen shows it.
        QCOMPARE(text(w->lines(2)), QStringList{QStringLiteral("2:12.3 10:12.3")});
        w->setCursorAt(at, pinned);
        QCOMPARE(w->cursorText(), readout);
        QCOMPARE(w->findChild<QLabel *>(QStringLiteral("lblCursor"))->text(), readout);
    }

    // Pens: only recorded items, each once, at most eight; one removed takes its line along.
    void pensAreCheckedAndRemoved()
    {
        TrendWindow *w = m_windows->show(QStringLiteral("c27"), ItemWords{});
        QTRY_VERIFY(w->recordedItems().size() == 4);
        QVERIFY(!w->addPen(QStringLiteral("c2")));  // never recorded
        QVERIFY(!w->addPen(QStringLiteral("c27"))); // shown already
        QVERIFY(w->addPen(QStringLiteral("x227")));
        QVERIFY(w->addPen(QStringLiteral("x200")));
        // Same unit, one axis.
        QTRY_VERIFY(w->settled());
        QCOMPARE(w->chart()->axes(Qt::Vertical).size(), 2);
        w->removePen(1);
        QCOMPARE(w->penItems(), (QStringList{"c27", "x200"}));
        QCOMPARE(w->chart()->series().size(), w->lines(0).size() + w->lines(1).size());
        // A pen set opens in another item's window beside that item.
        w->savePenSet(QStringLiteral("Phase"));
        TrendWindow *other = m_windows->show(QStringLiteral("x227"), ItemWords{});
        QTRY_VERIFY(other->recordedItems().size() == 4);
        QVERIFY(TrendWindow::penSets().contains(QStringLiteral("Phase")));
        QVERIFY(other->openPenSet(QStringLiteral("Phase")));
        QCOMPARE(other->penItems(), (QStringList{"x227", "c27", "x200"}));
    }

    void alarmMarkersOfTheShownItems_data()
    {
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("markers");
        const QString day = QStringLiteral("12/08/2026 %1:00.000 CST %2  %1:00 12/08/2026");
        QTest::newRow("c27") << QStringList{}
                             << QStringList{day.arg("04:01", "FAULT C27 Handbrake ON, Car Moving"),
                                            day.arg("04:03", "FAULT DSDATA Data Server Link Lost"),
                                            day.arg("04:04", "CLEAR DSDATA Data Server Link Lost"),
                                            day.arg("04:07", "CLEAR C27 Handbrake ON, Car Moving")};
        QTest::newRow("c27 and x200") << QStringList{"x200"}
                                      << QStringList{day.arg("04:01", "FAULT C27 Handbrake ON, Car Moving"),
                                                     day.arg("04:02", "FAULT X200 Phase Fault Relay"),
                                                     day.arg("04:03", "FAULT DSDATA Data Server Link Lost"),
                                                     day.arg("04:04", "CLEAR DSDATA Data Server Link Lost"),
                                                     day.arg("04:07", "CLEAR C27 Handbrake ON, Car Moving")};
    }
    void alarmMarkersOfTheShownItems()
    {
        QFETCH(QStringList, added);
        QFETCH(QStringList, markers);
        TrendWindow *w = m_windows->show(QStringLiteral("c27"), ItemWords{});
        QTRY_VERIFY(w->recordedItems().size() == 4);
        for (const QString &item : added)
            QVERIFY(w->addPen(item));
        QTRY_VERIFY(w->settled());
        QCOMPARE(w->markerTexts(), markers);
    }

    void wheelZoomsPausesAndLiveResumes()
    {
        TrendWindow *w = m_windows->show(QStringLiteral("x227"), ItemWords{});
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QTRY_VERIFY(w->settled() && !w->lines(0).isEmpty());
        auto *state = w->findChild<QLabel *>(QStringLiteral("lblState"));
        QCOMPARE(state->text(), QStringLiteral("LIVE"));
        auto *view = w->findChild<QChartView *>();
        const QRectF area = w->chart()->plotArea();
        const QPointF right(area.right() - 1, area.center().y());
        QWheelEvent wheel(right, view->mapToGlobal(right), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->viewport(), &wheel);
        QVERIFY(!w->following());
        QCOMPARE(state->text(), QStringLiteral("PAUSED"));
        QCOMPARE(w->toMs() - w->fromMs(), 8 * kMin);
        QVERIFY(qAbs(w->toMs() - kNow) < 2000); // the pointer's end stays put
        QTRY_VERIFY(w->settled());
        auto *axis = qobject_cast<QValueAxis *>(w->chart()->axes(Qt::Vertical).value(0));
        const std::pair scale{axis->min(), axis->max()};
        // Dragging to the right by a quarter of the plot shows earlier times, by a quarter
        // of the span, where x227 holds only 45.5: the value axis stays as it was.
        const QPointF middle = area.center();
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, middle.toPoint());
        const qint64 fromBefore = w->fromMs();
        QMouseEvent move(QEvent::MouseMove, middle + QPointF(area.width() / 4, 0), view->mapToGlobal(middle),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &move);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, (middle + QPointF(area.width() / 4, 0)).toPoint());
        QVERIFY(qAbs(fromBefore - w->fromMs() - 2 * kMin) < 2000);
        QTRY_VERIFY(w->settled());
        QCOMPARE((std::pair{axis->min(), axis->max()}), scale);
        QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("cmdLive")), Qt::LeftButton);
        QVERIFY(w->following());
        QCOMPARE(state->text(), QStringLiteral("LIVE"));
        QCOMPARE(w->toMs(), kNow);
    }

    // While shown, the trend moves with the clock and draws what arrived meanwhile.
    void liveWhileValuesArrive()
    {
        TrendWindow *w = m_windows->show(QStringLiteral("c27"), ItemWords{});
        QTRY_VERIFY(!w->lines(0).isEmpty());
        m_now = kNow + kMin;
        const int c27 = m_store->channel({QStringLiteral("DSData"), QStringLiteral("CVPlc"), QStringLiteral("c27")});
        m_store->add(c27, kNow + 30'000, QStringLiteral("1"));
        QTRY_COMPARE(text(w->lines(0)).value(1), QStringLiteral("4:1 7:1 7:0 10.5:0 10.5:1 11:1"));
    }

    // The value holding at the start, then every change, in UTC and local time.
    void exportStartsWithTheHoldingValue()
    {
        TrendWindow *w = m_windows->show(QStringLiteral("c27"), ItemWords{});
        QTRY_VERIFY(w->recordedItems().size() == 4);
        QVERIFY(w->addPen(QStringLiteral("x227")));
        QTRY_VERIFY(w->settled());
        QCOMPARE(w->defaultFileName(QStringLiteral("csv")), QStringLiteral("trend_c27_2026-12-08_0400.csv"));
        QCOMPARE(m_windows->show(QStringLiteral("v1426:b"), ItemWords{})->defaultFileName(QStringLiteral("csv")),
                 QStringLiteral("trend_v1426_b_2026-12-08_0400.csv"));
        QSignalSpy done(w, &TrendWindow::exported);
        const QString file = m_dir->filePath(QStringLiteral("trend.csv"));
        w->exportCsv(file);
        QTRY_COMPARE(done.size(), 1);
        QCOMPARE(done[0][1].toString(), QString());
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("item,time_utc,time_local,value\n"
                                         "c27,2026-12-08T10:00:00.000Z,2026-12-08T04:00:00.000-06:00,0\n"
                                         "c27,2026-12-08T10:01:00.000Z,2026-12-08T04:01:00.000-06:00,1\n"
                                         "c27,2026-12-08T10:03:00.000Z,2026-12-08T04:03:00.000-06:00,\n"
                                         "c27,2026-12-08T10:04:00.000Z,2026-12-08T04:04:00.000-06:00,1\n"
                                         "c27,2026-12-08T10:07:00.000Z,2026-12-08T04:07:00.000-06:00,0\n"
                                         "x227,2026-12-08T10:02:00.000Z,2026-12-08T04:02:00.000-06:00,45.5\n"
                                         "x227,2026-12-08T10:05:00.000Z,2026-12-08T04:05:00.000-06:00,60\n"));
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<HistoryStore> m_store;
    std::unique_ptr<HistoryReader> m_reader;
    std::unique_ptr<TrendWindows> m_windows;
    qint64 m_now = kNow;
};

CORVANE_TEST_MAIN(TestTrendWindow)
#include "tst_trendWindow.moc"
