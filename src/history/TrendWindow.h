#pragma once

#include "HistoryReader.h"

#include <QHash>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QChart;
class QChartView;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QTimer;
class QValueAxis;

namespace corvane {
class HandOff;
}

namespace corvane::history {

class TrendChartView;

// The trend of one item (and optionally a second on its own axis): steps between
// changes, gaps where nothing was known, at most a few points per pixel column
// asked of the history off the UI thread.
class TrendWindow : public QWidget
{
    Q_OBJECT
public:
    using UtcClock = std::function<qint64()>;

    TrendWindow(HistoryReader &reader, const QString &item, const QString &description, UtcClock clock = {},
                QWidget *parent = nullptr);
    ~TrendWindow() override;

    QString item() const { return m_traces.front().item; }
    // Shows the last spanMs up to now and follows new values.
    void showLast(qint64 spanMs);
    // Shows a fixed stretch of time (zoom, pan); no longer follows.
    void showRange(qint64 fromMs, qint64 toMs);
    // A second item on the same chart with its own axis; replaces an earlier second item.
    void addItem(const QString &item);
    // Writes every row of the items in the shown range; exported() tells the result.
    void exportCsv(const QString &file);

    qint64 fromMs() const { return m_fromMs; }
    qint64 toMs() const { return m_toMs; }
    bool following() const { return m_following; }
    // Every question asked is answered and drawn (for pictures and tests).
    bool settled() const { return m_inFlight == 0 && !m_again; }
    QChart *chart() const;
    // The points drawn last for trace 0 (the item) or 1 (the added item).
    std::vector<TrendPoint> points(int trace) const;
    // The lines drawn for a trace: one per stretch without a gap, as (ms, value).
    QList<QList<QPointF>> lines(int trace) const;
    // What hovering at a time shows: "<value> at <time>", or "no data at <time>".
    QString valueAt(int trace, qint64 ms) const;
    QString hoverText() const;

Q_SIGNALS:
    // A query's answer is on the chart.
    void drawn();
    void exported(const QString &file, const QString &error);

protected:
    void showEvent(QShowEvent *e) override;
    void hideEvent(QHideEvent *e) override;

private:
    struct Trace
    {
        QString item;
        QValueAxis *axis = nullptr;
        std::vector<TrendPoint> points;
        QList<QLineSeries *> series;
        quint64 generation = 0;
    };
    friend class TrendChartView;
    void refresh();
    void draw(int trace, quint64 generation, std::vector<TrendPoint> points);
    void drawTrace(int trace, std::vector<TrendPoint> points);
    void hovered(int trace, const QPointF &point, bool state);
    void askAndAdd();
    void askAndExport();
    void zoom(double factor, qint64 centreMs);
    qint64 msAt(const QPointF &widgetPos) const;

    HistoryReader &m_reader;
    HandOff *m_handOff; // the history's answers, from its writer thread
    UtcClock m_clock;
    QString m_description;
    QChart *m_chart = nullptr;
    TrendChartView *m_view = nullptr;
    QDateTimeAxis *m_timeAxis = nullptr;
    QLabel *m_hover = nullptr;
    QLabel *m_status = nullptr;
    QTimer *m_live = nullptr;
    std::vector<Trace> m_traces;
    qint64 m_spanMs = 10 * 60'000;
    qint64 m_fromMs = 0, m_toMs = 0;
    bool m_following = true;
    int m_inFlight = 0;   // questions asked and not yet answered
    bool m_again = false; // the range moved meanwhile: ask once more when they are
};

// One trend window per item: a second request shows the same window.
class TrendWindows
{
public:
    explicit TrendWindows(HistoryReader &reader, TrendWindow::UtcClock clock = {});
    ~TrendWindows();

    // Opens (or raises) the trend of an item; the description becomes the chart's title.
    TrendWindow *show(const QString &item, const QString &description);
    TrendWindow *find(const QString &item) const;

private:
    HistoryReader &m_reader;
    TrendWindow::UtcClock m_clock;
    QHash<QString, TrendWindow *> m_windows; // owned
};

} // namespace corvane::history
