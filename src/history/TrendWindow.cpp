#include "TrendWindow.h"

#include "core/link/Value.h"
#include "core/time/HandOff.h"
#include "ui/ObserverWindow.h"

#include <QButtonGroup>
#include <QDateTime>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLegend>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

namespace corvane::history {

namespace {

struct Range
{
    const char *caption;
    qint64 spanMs;
};
// clang-format off
constexpr Range kRanges[] = {
    {"10 min", 10 * 60'000},
    {"1 h", 3'600'000},
    {"8 h", 8 * 3'600'000},
    {"24 h", 24 * 3'600'000},
    {"7 d", 7 * 24 * 3'600'000LL},
};
// clang-format on
const QColor kTraceColours[] = {QColor(0x1f, 0x4e, 0xb4), QColor(0xc0, 0x39, 0x2b)};
constexpr qint64 kShortestSpanMs = 10'000;

QString timeText(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

} // namespace

// The chart with the time axis under the mouse: the wheel zooms about the pointer,
// dragging pans.
class TrendChartView : public QChartView
{
public:
    TrendChartView(QChart *chart, TrendWindow &window)
        : QChartView(chart)
        , m_window(window)
    {
        setRenderHint(QPainter::Antialiasing);
        setMouseTracking(true);
    }

protected:
    void wheelEvent(QWheelEvent *e) override
    {
        const int steps = e->angleDelta().y() / 120;
        if (steps == 0)
            return;
        m_window.zoom(std::pow(0.8, steps), m_window.msAt(e->position()));
        e->accept();
    }
    void mousePressEvent(QMouseEvent *e) override
    {
        if (e->button() == Qt::LeftButton) {
            m_pressX = e->position().x();
            m_dragRange = {m_window.fromMs(), m_window.toMs()};
            m_dragging = true;
        }
        QChartView::mousePressEvent(e);
    }
    void mouseMoveEvent(QMouseEvent *e) override
    {
        if (m_dragging && (e->buttons() & Qt::LeftButton)) {
            // Measured against the range at the press, so the point grabbed stays under the mouse.
            const double msPerPixel = double(m_dragRange.second - m_dragRange.first) / chart()->plotArea().width();
            const qint64 shift = qint64((e->position().x() - m_pressX) * msPerPixel);
            if (shift != 0)
                m_window.showRange(m_dragRange.first - shift, m_dragRange.second - shift);
        }
        QChartView::mouseMoveEvent(e);
    }
    void mouseReleaseEvent(QMouseEvent *e) override
    {
        m_dragging = false;
        QChartView::mouseReleaseEvent(e);
    }

private:
    TrendWindow &m_window;
    bool m_dragging = false;
    double m_pressX = 0;
    std::pair<qint64, qint64> m_dragRange;
};

TrendWindow::TrendWindow(HistoryReader &reader, const QString &item, const QString &description, UtcClock clock,
                         QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_reader(reader)
    , m_handOff(new HandOff(this))
    , m_clock(clock ? std::move(clock) : UtcClock(&QDateTime::currentMSecsSinceEpoch))
    , m_description(description.isEmpty() ? item : description)
{
    setWindowTitle(QStringLiteral("Trend - %1").arg(item));
    setObjectName(QStringLiteral("frmTrend"));
    markObserverWindow(this);
    resize(800, 480);

    m_chart = new QChart;
    m_chart->setTitle(m_description);
    // Each value axis is titled with its item, in its line's colour: a legend would
    // list every stretch between gaps.
    m_chart->legend()->setVisible(false);
    m_timeAxis = new QDateTimeAxis;
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_view = new TrendChartView(m_chart, *this);

    auto *bar = new QHBoxLayout;
    auto *ranges = new QButtonGroup(this);
    for (const Range &r : kRanges) {
        auto *b = new QPushButton(QString::fromLatin1(r.caption), this);
        b->setObjectName(QStringLiteral("cmdRange") + QString::fromLatin1(r.caption).remove(u' '));
        b->setCheckable(true);
        b->setChecked(r.spanMs == m_spanMs);
        ranges->addButton(b);
        bar->addWidget(b);
        const qint64 span = r.spanMs;
        connect(b, &QPushButton::clicked, this, [this, span] { showLast(span); });
    }
    bar->addStretch();
    auto *add = new QPushButton(QStringLiteral("Add..."), this);
    add->setObjectName(QStringLiteral("cmdAdd"));
    auto *csv = new QPushButton(QStringLiteral("Export CSV"), this);
    csv->setObjectName(QStringLiteral("cmdExportCsv"));
    bar->addWidget(add);
    bar->addWidget(csv);
    connect(add, &QPushButton::clicked, this, &TrendWindow::askAndAdd);
    connect(csv, &QPushButton::clicked, this, &TrendWindow::askAndExport);

    m_hover = new QLabel(this);
    m_hover->setObjectName(QStringLiteral("lblHover"));
    m_hover->setTextFormat(Qt::PlainText);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setTextFormat(Qt::PlainText);
    auto *foot = new QHBoxLayout;
    foot->addWidget(m_hover, 1);
    foot->addWidget(m_status);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_view, 1);
    layout->addLayout(foot);

    m_traces.emplace_back();
    m_traces[0].item = item;
    m_traces[0].axis = new QValueAxis;
    m_chart->addAxis(m_traces[0].axis, Qt::AlignLeft);

    // Live: the shown range moves with the clock and is asked for again each second.
    m_live = new QTimer(this);
    m_live->setInterval(1000);
    connect(m_live, &QTimer::timeout, this, &TrendWindow::refresh);
    showLast(m_spanMs);
}

TrendWindow::~TrendWindow()
{
    // Answers still on their way refer to this window; let the reader finish them.
    m_reader.wait();
}

// A closed trend window is only hidden (it opens again as it was); it asks nothing
// of the history while hidden.
void TrendWindow::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    if (m_following) {
        m_live->start();
        refresh();
    }
}

void TrendWindow::hideEvent(QHideEvent *e)
{
    QWidget::hideEvent(e);
    m_live->stop();
}

QChart *TrendWindow::chart() const
{
    return m_chart;
}

void TrendWindow::showLast(qint64 spanMs)
{
    m_spanMs = spanMs;
    m_following = true;
    if (isVisible())
        m_live->start();
    refresh();
}

void TrendWindow::showRange(qint64 fromMs, qint64 toMs)
{
    if (toMs - fromMs < kShortestSpanMs)
        return;
    m_following = false;
    m_live->stop();
    m_fromMs = fromMs;
    m_toMs = toMs;
    refresh();
}

void TrendWindow::zoom(double factor, qint64 centreMs)
{
    centreMs = std::clamp(centreMs, m_fromMs, m_toMs);
    const qint64 from = centreMs - qRound64(double(centreMs - m_fromMs) * factor);
    showRange(from, from + qRound64(double(m_toMs - m_fromMs) * factor));
}

qint64 TrendWindow::msAt(const QPointF &widgetPos) const
{
    const QRectF area = m_chart->plotArea();
    const double f = area.width() > 0 ? (widgetPos.x() - area.left()) / area.width() : 0.5;
    return m_fromMs + qint64(f * double(m_toMs - m_fromMs));
}

void TrendWindow::addItem(const QString &item)
{
    if (item.isEmpty() || item == m_traces[0].item)
        return;
    if (m_traces.size() < 2) {
        m_traces.emplace_back();
        m_traces[1].axis = new QValueAxis;
        m_chart->addAxis(m_traces[1].axis, Qt::AlignRight);
    }
    Trace &t = m_traces[1];
    for (QLineSeries *s : std::as_const(t.series))
        delete s;
    t.series.clear();
    t.points.clear();
    t.item = item;
    ++t.generation;
    refresh();
}

void TrendWindow::refresh()
{
    if (m_following) {
        m_toMs = m_clock();
        m_fromMs = m_toMs - m_spanMs;
    }
    m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(m_fromMs), QDateTime::fromMSecsSinceEpoch(m_toMs));
    m_timeAxis->setFormat(m_toMs - m_fromMs <= 3'600'000 ? QStringLiteral("HH:mm:ss") : QStringLiteral("dd.MM. HH:mm"));
    // A drag or a wheel moves the range many times a second: one question at a time,
    // and the latest range once it is answered.
    if (m_inFlight > 0) {
        m_again = true;
        return;
    }
    // A bucket per pixel column of the plot: the most a chart can show.
    const int buckets = std::max(100, int(m_chart->plotArea().width()));
    for (int i = 0; i < int(m_traces.size()); ++i) {
        const quint64 generation = ++m_traces[size_t(i)].generation;
        ++m_inFlight;
        m_reader.buckets(BucketRequest{m_traces[size_t(i)].item, m_fromMs, m_toMs, buckets},
                         [this, i, generation](std::vector<TrendPoint> pts) {
                             m_handOff->post([this, i, generation, pts = std::move(pts)]() mutable {
                                 draw(i, generation, std::move(pts));
                             });
                         });
    }
}

void TrendWindow::draw(int index, quint64 generation, std::vector<TrendPoint> points)
{
    --m_inFlight;
    // An answer to an older question (another item since) is not drawn.
    if (size_t(index) < m_traces.size() && m_traces[size_t(index)].generation == generation)
        drawTrace(index, std::move(points));
    if (m_inFlight == 0 && m_again) {
        m_again = false;
        refresh();
    }
}

void TrendWindow::drawTrace(int index, std::vector<TrendPoint> points)
{
    Trace &t = m_traces[size_t(index)];
    t.points = std::move(points);
    for (QLineSeries *s : std::as_const(t.series))
        delete s;
    t.series.clear();

    // Steps: a value holds until the next one; a gap ends the line there.
    const qint64 end = std::min(m_toMs, m_clock());
    QList<QList<QPointF>> lines{{}};
    double low = 0, high = 0;
    bool any = false, bits = true;
    for (const TrendPoint &p : t.points) {
        QList<QPointF> &line = lines.back();
        if (p.gap) {
            if (!line.isEmpty()) {
                line.append(QPointF(double(p.tMs), line.back().y()));
                lines.append(QList<QPointF>());
            }
            continue;
        }
        if (!line.isEmpty())
            line.append(QPointF(double(p.tMs), line.back().y()));
        line.append(QPointF(double(p.tMs), p.value));
        low = any ? std::min(low, p.value) : p.value;
        high = any ? std::max(high, p.value) : p.value;
        any = true;
        bits = bits && (p.value == 0 || p.value == 1);
    }
    if (!lines.back().isEmpty() && end > lines.back().back().x())
        lines.back().append(QPointF(double(end), lines.back().back().y()));

    const QColor colour = kTraceColours[index % 2];
    for (const QList<QPointF> &line : std::as_const(lines)) {
        if (line.isEmpty())
            continue;
        auto *s = new QLineSeries;
        s->setName(t.item);
        s->setPen(QPen(colour, 2));
        s->replace(line);
        m_chart->addSeries(s);
        s->attachAxis(m_timeAxis);
        s->attachAxis(t.axis);
        connect(s, &QLineSeries::hovered, this,
                [this, index](const QPointF &p, bool state) { hovered(index, p, state); });
        t.series.append(s);
    }

    t.axis->setTitleText(t.item);
    t.axis->setTitleBrush(colour);
    t.axis->setLinePenColor(colour);
    t.axis->setLabelsColor(colour);
    if (bits) {
        // A bit: 0 and 1 with room above and below.
        t.axis->setTickType(QValueAxis::TicksDynamic);
        t.axis->setTickAnchor(0);
        t.axis->setTickInterval(1);
        t.axis->setLabelFormat(QStringLiteral("%.0f"));
        t.axis->setRange(-0.2, 1.2);
    } else {
        // Ticks at a round step (1, 2 or 5 times a power of ten), about five of them,
        // so the labels are short and fit.
        const double span = high > low ? high - low : std::max(1.0, std::abs(high) * 0.1);
        const double raw = span / 5, magnitude = std::pow(10.0, std::floor(std::log10(raw)));
        const double step = raw / magnitude <= 1   ? magnitude
                            : raw / magnitude <= 2 ? 2 * magnitude
                            : raw / magnitude <= 5 ? 5 * magnitude
                                                   : 10 * magnitude;
        const double bottom = std::floor(low / step) * step, top = std::ceil(high / step) * step;
        t.axis->setTickType(QValueAxis::TicksDynamic);
        t.axis->setTickAnchor(0);
        t.axis->setTickInterval(step);
        t.axis->setLabelFormat(QStringLiteral("%g"));
        t.axis->setRange(bottom - step * 0.1, (top > high ? top : top + step) + step * 0.1);
    }
    Q_EMIT drawn();
}

std::vector<TrendPoint> TrendWindow::points(int trace) const
{
    return size_t(trace) < m_traces.size() ? m_traces[size_t(trace)].points : std::vector<TrendPoint>{};
}

QList<QList<QPointF>> TrendWindow::lines(int trace) const
{
    QList<QList<QPointF>> out;
    if (size_t(trace) < m_traces.size()) {
        for (const QLineSeries *s : m_traces[size_t(trace)].series)
            out.append(s->points());
    }
    return out;
}

QString TrendWindow::valueAt(int trace, qint64 ms) const
{
    const TrendPoint *holding = nullptr;
    if (size_t(trace) < m_traces.size()) {
        for (const TrendPoint &p : m_traces[size_t(trace)].points) {
            if (p.tMs > ms)
                break;
            holding = &p;
        }
    }
    if (!holding || holding->gap)
        return QStringLiteral("%1: no data at %2").arg(m_traces[size_t(trace)].item, timeText(ms));
    return QStringLiteral("%1 = %2 at %3").arg(m_traces[size_t(trace)].item, numberText(holding->value), timeText(ms));
}

QString TrendWindow::hoverText() const
{
    return m_hover->text();
}

void TrendWindow::hovered(int trace, const QPointF &point, bool state)
{
    if (!state)
        return;
    const QString text = valueAt(trace, qint64(point.x()));
    m_hover->setText(text);
    QToolTip::showText(QCursor::pos(), text, m_view);
}

void TrendWindow::askAndAdd()
{
    bool ok = false;
    const QString item = QInputDialog::getText(this, QStringLiteral("Add"), QStringLiteral("Item on the same chart:"),
                                               QLineEdit::Normal, QString(), &ok);
    if (ok)
        addItem(item.trimmed());
}

void TrendWindow::askAndExport()
{
    const QString file
            = QFileDialog::getSaveFileName(this, QStringLiteral("Export CSV"),
                                           m_traces[0].item + QStringLiteral(".csv"), QStringLiteral("CSV (*.csv)"));
    if (!file.isEmpty())
        exportCsv(file);
}

void TrendWindow::exportCsv(const QString &file)
{
    QStringList items;
    for (const Trace &t : m_traces)
        items << t.item;
    m_reader.exportCsv(items, m_fromMs, m_toMs, file, {}, [this, file](const QString &error) {
        m_handOff->post([this, file, error] {
            m_status->setText(error.isEmpty() ? QStringLiteral("Exported to %1").arg(file)
                                              : QStringLiteral("Export failed: %1").arg(error));
            Q_EMIT exported(file, error);
        });
    });
}

TrendWindows::TrendWindows(HistoryReader &reader, TrendWindow::UtcClock clock)
    : m_reader(reader)
    , m_clock(std::move(clock))
{
}

TrendWindows::~TrendWindows()
{
    qDeleteAll(m_windows);
}

TrendWindow *TrendWindows::show(const QString &item, const QString &description)
{
    TrendWindow *&w = m_windows[item];
    if (!w)
        w = new TrendWindow(m_reader, item, description, m_clock);
    w->show();
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) // it cannot, and says so
        w->raise();
    w->activateWindow();
    return w;
}

TrendWindow *TrendWindows::find(const QString &item) const
{
    return m_windows.value(item);
}

} // namespace corvane::history
