#include "report/ReportCharts.h"

#include "report/LocalClock.h"

#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QBuffer>
#include <QCategoryAxis>
#include <QChart>
#include <QDateTimeAxis>
#include <QGraphicsScene>
#include <QLineSeries>
#include <QPainter>
#include <QSvgGenerator>
#include <QValueAxis>
#include <algorithm>

namespace corvane::report {

using namespace measure;

namespace {
constexpr QSize kChartSize(960, 360);
// More columns than this are drawn as the busiest period of each column.
constexpr qsizetype kMaxColumns = 960;
const QColor kActivations(0x2b, 0x6c, 0xb0);
const QColor kFlood(0xd9, 0x3b, 0x3b, 110);
const QColor kTarget(0x2e, 0x8b, 0x57);
const QColor kBusy(0xd9, 0x3b, 0x3b);
const QColor kStanding(0xe0, 0x8a, 0x1e);

QChart *newChart(const QString &title)
{
    auto *chart = new QChart;
    chart->setTitle(title);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundRoundness(0);
    chart->setBackgroundBrush(Qt::white);
    QFont font = chart->titleFont();
    font.setPointSizeF(font.pointSizeF() * 1.3);
    font.setBold(true);
    chart->setTitleFont(font);
    chart->legend()->setAlignment(Qt::AlignBottom);
    return chart;
}

// The chart takes the series; it is drawn against the two axes (already on the chart).
void plot(QChart *chart, QAbstractSeries *series, QAbstractAxis *x, QAbstractAxis *y)
{
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
}

QByteArray render(QChart *chart, QSize size = kChartSize)
{
    QGraphicsScene scene;
    scene.addItem(chart); // the scene owns it from here
    chart->setGeometry(QRectF(QPointF(0, 0), size));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setTitle(chart->title());
    {
        QPainter painter(&svg);
        painter.setRenderHint(QPainter::Antialiasing);
        scene.render(&painter, QRectF(QPointF(0, 0), size), QRectF(QPointF(0, 0), size));
    }
    return buffer.data();
}

QDateTimeAxis *timeAxis(const ReportRange &range)
{
    auto *axis = new QDateTimeAxis;
    const qint64 length = range.lengthMs();
    axis->setFormat(length > 3 * 24 * 3600 * 1000LL ? QStringLiteral("yyyy-MM-dd")
                    : length > 24 * 3600 * 1000LL   ? QStringLiteral("MM-dd HH:mm")
                                                    : QStringLiteral("HH:mm"));
    axis->setRange(QDateTime::fromMSecsSinceEpoch(range.fromMs), QDateTime::fromMSecsSinceEpoch(range.toMs));
    axis->setTickCount(7);
    return axis;
}

QLineSeries *horizontal(const QString &name, double y, const ReportRange &range, const QColor &colour,
                        Qt::PenStyle style)
{
    auto *line = new QLineSeries;
    line->setName(name);
    line->append(double(range.fromMs), y);
    line->append(double(range.toMs), y);
    QPen pen(colour, 1.5, style);
    line->setPen(pen);
    return line;
}
} // namespace

QByteArray periodChartSvg(const Report &r)
{
    const AlarmFigures &f = r.figures;
    QChart *chart = newChart(QStringLiteral("Activations per 10 minutes"));
    const qsizetype periods = qsizetype(f.perPeriod.size());
    const qsizetype perColumn = (periods + kMaxColumns - 1) / kMaxColumns;
    if (perColumn > 1)
        chart->setTitle(QStringLiteral("Activations per 10 minutes (the busiest of every %1 periods)").arg(perColumn));

    // Steps: each column holds its value over its whole width.
    auto *upper = new QLineSeries;
    int top = 0;
    for (qsizetype c = 0; c < periods; c += perColumn) {
        int most = 0;
        for (qsizetype p = c; p < std::min(periods, c + perColumn); ++p)
            most = std::max(most, f.perPeriod[size_t(p)]);
        top = std::max(top, most);
        const double from = double(std::max(f.range.fromMs, f.firstPeriodMs + c * kPeriodMs));
        const double to = double(std::min(f.range.toMs, f.firstPeriodMs + (c + perColumn) * kPeriodMs));
        upper->append(from, most);
        upper->append(to, most);
    }
    auto *y = new QValueAxis;
    y->setRange(0, std::max(12, top + top / 10 + 1));
    y->setLabelFormat(QStringLiteral("%d"));
    y->applyNiceNumbers();
    const double yMax = y->max();

    // A flood is at least a column wide, so that a short one still shows.
    auto *floodLine = new QLineSeries;
    floodLine->append(double(f.range.fromMs), 0);
    for (const Flood &fl : f.floods) {
        const double end = double(std::min(f.range.toMs, std::max(fl.endMs, fl.startMs + perColumn * kPeriodMs)));
        floodLine->append(double(fl.startMs), 0);
        floodLine->append(double(fl.startMs), yMax);
        floodLine->append(end, yMax);
        floodLine->append(end, 0);
    }
    floodLine->append(double(f.range.toMs), 0);
    auto *floods = new QAreaSeries(floodLine);
    floods->setName(QStringLiteral("Flood (%1)").arg(f.floods.size()));
    floods->setColor(kFlood);
    floods->setBorderColor(Qt::transparent);

    auto *activations = new QAreaSeries(upper);
    activations->setName(QStringLiteral("Activations"));
    activations->setColor(kActivations);
    activations->setBorderColor(kActivations);

    const QList<QAbstractSeries *> series{
            floods, activations,
            horizontal(QStringLiteral("Target: 1 per 10 minutes"), kAcceptablePerPeriod, f.range, kTarget,
                       Qt::DashLine),
            horizontal(QStringLiteral("Over 10"), kPeriodBusy, f.range, kBusy, Qt::DotLine)};
    auto *x = timeAxis(f.range);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries *s : series)
        plot(chart, s, x, y);
    return render(chart);
}

QByteArray paretoChartSvg(const Report &r)
{
    const AlarmFigures &f = r.figures;
    QChart *chart = newChart(QStringLiteral("The ten most frequent items"));
    auto *set = new QBarSet(QStringLiteral("Activations"));
    set->setColor(kActivations);
    auto *cumulative = new QLineSeries;
    cumulative->setName(QStringLiteral("Cumulative share of all activations (%)"));
    cumulative->setPen(QPen(kBusy, 2));
    QStringList names;
    qint64 sum = 0;
    int most = 0;
    for (size_t i = 0; i < f.items.size() && i < size_t(kTopCount) && f.items[i].activations > 0; ++i) {
        const ItemFigures &it = f.items[i];
        names.append(r.itemName(it.item));
        *set << it.activations;
        most = std::max(most, it.activations);
        sum += it.activations;
        cumulative->append(double(i), 100.0 * double(sum) / double(f.activations));
    }
    auto *bars = new QBarSeries;
    bars->append(set);
    auto *x = new QBarCategoryAxis;
    x->append(names.isEmpty() ? QStringList{QStringLiteral("(no activations)")} : names);
    auto *y = new QValueAxis;
    y->setRange(0, std::max(1, most + most / 10 + 1));
    y->setLabelFormat(QStringLiteral("%d"));
    y->applyNiceNumbers();
    y->setTitleText(QStringLiteral("Activations"));
    auto *share = new QValueAxis;
    share->setRange(0, 100);
    share->setLabelFormat(QStringLiteral("%d %%"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    chart->addAxis(share, Qt::AlignRight);
    plot(chart, bars, x, y);
    plot(chart, cumulative, x, share);
    return render(chart);
}

QByteArray standingChartSvg(const Report &r)
{
    const AlarmFigures &f = r.figures;
    // Rows: the items with the most standing time first, at most kRows of them.
    constexpr qsizetype kRows = 12;
    constexpr size_t kMaxSpans = 400;
    QHash<qint32, qint64> total;
    for (const ActiveSpan &s : f.standingSpans)
        total[s.item] += s.toMs - s.fromMs;
    QList<qint32> rows = total.keys();
    std::sort(rows.begin(), rows.end(), [&](qint32 a, qint32 b) {
        return total[a] != total[b] ? total[a] > total[b] : r.itemName(a) < r.itemName(b);
    });
    if (rows.size() > kRows)
        rows.resize(kRows);

    QChart *chart = newChart(rows.isEmpty() ? QStringLiteral("Standing alarms: none")
                                            : QStringLiteral("Standing alarms (over 24 h, or active at the end)"));
    chart->legend()->hide();
    auto *x = timeAxis(f.range);
    auto *y = new QCategoryAxis;
    y->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    y->setRange(-0.5, std::max<qsizetype>(1, rows.size()) - 0.5);
    // Categories go in ascending order: the first row (most standing time) on top.
    for (qsizetype i = rows.size() - 1; i >= 0; --i)
        y->append(r.itemName(rows[i]), double(rows.size() - 1 - i));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    const qreal barWidth = std::clamp<qreal>(200.0 / std::max<qsizetype>(1, rows.size()), 4, 18);
    std::vector<ActiveSpan> spans = f.standingSpans;
    if (spans.size() > kMaxSpans) {
        std::partial_sort(
                spans.begin(), spans.begin() + kMaxSpans, spans.end(),
                [](const ActiveSpan &a, const ActiveSpan &b) { return a.toMs - a.fromMs > b.toMs - b.fromMs; });
        spans.resize(kMaxSpans);
    }
    for (const ActiveSpan &s : spans) {
        const qsizetype row = rows.indexOf(s.item);
        if (row < 0)
            continue;
        auto *bar = new QLineSeries;
        const double at = double(rows.size() - 1 - row);
        bar->append(double(s.fromMs), at);
        bar->append(double(s.toMs), at);
        bar->setPen(QPen(s.open ? kBusy : kStanding, barWidth, Qt::SolidLine, Qt::FlatCap));
        plot(chart, bar, x, y);
    }
    if (rows.isEmpty()) {
        plot(chart, new QLineSeries, x, y); // the axes need a series to be drawn
    }
    return render(chart, QSize(kChartSize.width(), std::max<int>(200, 90 + int(rows.size()) * 28)));
}

} // namespace corvane::report
