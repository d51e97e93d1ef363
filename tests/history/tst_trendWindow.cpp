#include "HistoryProbe.h"
#include "TestStation.h"

#include "history/HistoryStore.h"
#include "history/TrendWindow.h"

#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QValueAxis>

using namespace corvane;
using namespace corvane::history;
using namespace corvane::test;

namespace {

constexpr qint64 kMin = 60'000;
constexpr qint64 kNow = kT0 + 10 * kMin; // the window's clock: 10:10:00.000 UTC

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

} // namespace

class TestTrendWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_store = std::make_unique<HistoryStore>(
                HistoryConfig{m_dir->filePath(QStringLiteral("history.sqlite")), 90, [](const QString &) {}});
        const int c27 = m_store->channel({QStringLiteral("DSData"), QStringLiteral("CVPlc"), QStringLiteral("c27")});
        m_store->add(c27, kT0 - 20 * kMin, QStringLiteral("0")); // before the range: holds into it
        m_store->add(c27, kT0 + 1 * kMin, QStringLiteral("1"));
        m_store->addGap(c27, kT0 + 3 * kMin); // link down
        m_store->add(c27, kT0 + 4 * kMin, QStringLiteral("1"));
        m_store->add(c27, kT0 + 7 * kMin, QStringLiteral("0"));
        const int x227 = m_store->channel({QStringLiteral("DSData"), QStringLiteral("CVPlc"), QStringLiteral("x227")});
        m_store->add(x227, kT0 + 2 * kMin, QStringLiteral("45.5"));
        m_store->add(x227, kT0 + 5 * kMin, QStringLiteral("60"));
        m_store->flush();
        m_now = kNow;
        m_reader = std::make_unique<HistoryReader>(m_store->path());
        m_windows = std::make_unique<TrendWindows>(*m_reader, [this] { return m_now; });
    }
    void cleanup()
    {
        m_windows.reset();
        m_reader.reset();
        m_store.reset();
        m_dir.reset();
    }

    void stepsGapsAndBits()
    {
        TrendWindow *w = m_windows->show(QStringLiteral("c27"), QStringLiteral("Brake pipe pressure"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Trend - c27"));
        QCOMPARE(w->chart()->title(), QStringLiteral("Brake pipe pressure"));
        QTRY_VERIFY(!w->lines(0).isEmpty());
        QCOMPARE(text(w->lines(0)),
                 (QStringList{QStringLiteral("0:0 1:0 1:1 3:1"), QStringLiteral("4:1 7:1 7:0 10:0")}));
        auto *axis = qobject_cast<QValueAxis *>(w->chart()->axes(Qt::Vertical).value(0));
        QVERIFY(axis);
        QVERIFY(axis->min() < 0 && axis->min() > -0.5);
        QVERIFY(axis->max() > 1 && axis->max() < 1.5);
        QVERIFY(w->valueAt(0, kT0 + 2 * kMin).startsWith(QStringLiteral("c27 = 1 at ")));
        QVERIFY(w->valueAt(0, kT0 + 3 * kMin + 30'000).startsWith(QStringLiteral("c27: no data at ")));
        // One window per item.
        QCOMPARE(m_windows->show(QStringLiteral("c27"), QStringLiteral("Brake pipe pressure")), w);
        QVERIFY(m_windows->show(QStringLiteral("x227"), QString()) != w);
    }

    void secondItemOnItsOwnAxis()
    {
        TrendWindow *w = m_windows->show(QStringLiteral("c27"), QString());
        w->addItem(QStringLiteral("x227"));
        QTRY_VERIFY(!w->lines(1).isEmpty());
        QCOMPARE(text(w->lines(1)), QStringList{QStringLiteral("2:45.5 5:45.5 5:60 10:60")});
        QCOMPARE(w->chart()->axes(Qt::Vertical).size(), 2);
        auto *right = qobject_cast<QValueAxis *>(w->chart()->axes(Qt::Vertical).value(1));
        // Its own range, around its values, not the bit's.
        QVERIFY(right->min() <= 45.5 && right->max() >= 60 && right->max() - right->min() <= 40);
    }

    void wheelZoomsAboutThePointer()
    {
        TrendWindow *w = m_windows->show(QStringLiteral("c27"), QString());
        QVERIFY(QTest::qWaitForWindowExposed(w));
        auto *view = w->findChild<QChartView *>();
        const QRectF area = w->chart()->plotArea();
        const QPointF right(area.right() - 1, area.center().y());
        QWheelEvent wheel(right, view->mapToGlobal(right), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(view->viewport(), &wheel);
        QVERIFY(!w->following());
        QCOMPARE(w->toMs() - w->fromMs(), 8 * kMin);
        QVERIFY(qAbs(w->toMs() - kNow) < 2000); // the pointer's end stays put
        // Dragging to the left by a quarter of the plot shows later times, by a quarter of the span.
        const QPointF middle = area.center();
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, middle.toPoint());
        const qint64 fromBefore = w->fromMs();
        QMouseEvent move(QEvent::MouseMove, middle - QPointF(area.width() / 4, 0), view->mapToGlobal(middle),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &move);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, (middle - QPointF(area.width() / 4, 0)).toPoint());
        QVERIFY(qAbs(w->fromMs() - fromBefore - 2 * kMin) < 2000);
        QCOMPARE(w->toMs() - w->fromMs(), 8 * kMin);
        w->showLast(10 * kMin);
        QVERIFY(w->following());
    }

    // While shown, the trend moves with the clock and draws what arrived meanwhile.
    void liveWhileValuesArrive()
    {
        TrendWindow *w = m_windows->show(QStringLiteral("c27"), QString());
        QTRY_VERIFY(!w->lines(0).isEmpty());
        m_now = kNow + kMin;
        const int c27 = m_store->channel({QStringLiteral("DSData"), QStringLiteral("CVPlc"), QStringLiteral("c27")});
        m_store->add(c27, kNow + 30'000, QStringLiteral("1"));
        QTRY_COMPARE(text(w->lines(0)).value(1), QStringLiteral("4:1 7:1 7:0 10.5:0 10.5:1 11:1"));
    }

    void exportWritesTheShownRange()
    {
        TrendWindow *w = m_windows->show(QStringLiteral("c27"), QString());
        w->addItem(QStringLiteral("x227"));
        QSignalSpy done(w, &TrendWindow::exported);
        const QString file = m_dir->filePath(QStringLiteral("trend.csv"));
        w->exportCsv(file);
        QTRY_COMPARE(done.size(), 1);
        QCOMPARE(done[0][1].toString(), QString());
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("item,time_utc,value\n"
                                         "c27,2026-12-08T10:01:00.000Z,1\n"
                                         "c27,2026-12-08T10:03:00.000Z,\n"
                                         "c27,2026-12-08T10:04:00.000Z,1\n"
                                         "c27,2026-12-08T10:07:00.000Z,0\n"
                                         "x227,2026-12-08T10:02:00.000Z,45.5\n"
                                         "x227,2026-12-08T10:05:00.000Z,60\n"));
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
