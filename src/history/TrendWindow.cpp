#include "TrendWindow.h"

#include "ReplayLaunch.h"

#include "TrendDialogs.h"

#include "core/link/TagSource.h"
#include "core/link/Value.h"
#include "core/time/HandOff.h"
#include "ui/ObserverWindow.h"

#include <QButtonGroup>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
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
const QColor kPenColours[] = {
        QColor(0x1f, 0x4e, 0xb4), QColor(0xc0, 0x39, 0x2b), QColor(0x1e, 0x84, 0x49), QColor(0xd3, 0x7a, 0x00),
        QColor(0x7d, 0x3c, 0x98), QColor(0x11, 0x8c, 0x8c), QColor(0x6e, 0x4b, 0x2a), QColor(0xc2, 0x18, 0x7a),
};
constexpr qint64 kShortestSpanMs = 10'000;
constexpr int kMarkSize = 7;

// The words of an item without its code: its caption and what its alarm says.
QString wordsOf(const ItemWords &w)
{
    if (w.alarm.isEmpty() || w.alarm.compare(w.caption, Qt::CaseInsensitive) == 0)
        return w.caption;
    return w.caption.isEmpty() ? w.alarm : w.caption + QStringLiteral(": ") + w.alarm;
}

QString titleOf(const QString &item, const ItemWords &w)
{
    const QString words = wordsOf(w);
    return words.isEmpty() ? item : QStringLiteral("%1 (%2)").arg(words, item);
}

// What a value axis says: the words, the unit, and how the screen scales the value.
QString axisTitleOf(const QString &item, const ItemWords &w)
{
    QString title = w.caption.isEmpty() ? item : w.caption;
    if (!w.unit.isEmpty())
        title += QStringLiteral(" in ") + w.unit;
    if (w.divisor != 1)
        title += QStringLiteral(", %1 \u00f7 %2").arg(item, numberText(w.divisor));
    return title;
}

// Characters a FAT file system refuses in a name.
QString fatSafe(QString name)
{
    for (QChar &c : name) {
        if (QStringView(u"\\/:*?\"<>|").contains(c) || c.unicode() < 0x20)
            c = u'_';
    }
    return name;
}

QString penSetsFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/trend-pens.ini");
}

QString csvField(const QString &field)
{
    if (!field.contains(u',') && !field.contains(u'"') && !field.contains(u'\n'))
        return field;
    QString q = field;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

QString utcText(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

QString localIsoText(qint64 ms)
{
    // With its offset: the repeated hour of a clock change stays two different hours.
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime);
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

// A CSV line's fields (the reader's rows hold no line breaks).
QStringList csvSplit(const QString &line)
{
    QStringList out;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == u'"' && i + 1 < line.size() && line[i + 1] == u'"')
                field += u'"', ++i;
            else if (c == u'"')
                quoted = false;
            else
                field += c;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            out << field;
            field.clear();
        } else {
            field += c;
        }
    }
    out << field;
    return out;
}

} // namespace

// The chart under the mouse: a cursor line follows it and a click pins it, the wheel
// zooms about the pointer, dragging pans; alarm marks, link-down bands and clock
// steps are painted over the plot.
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
        m_window.zoom(std::pow(0.8, steps), m_window.msAt(e->position().x()));
        e->accept();
    }
    void mousePressEvent(QMouseEvent *e) override
    {
        if (e->button() == Qt::LeftButton) {
            m_pressX = e->position().x();
            m_dragRange = {m_window.fromMs(), m_window.toMs()};
            m_dragging = true;
            m_moved = false;
        }
        QChartView::mousePressEvent(e);
    }
    void mouseMoveEvent(QMouseEvent *e) override
    {
        const double x = e->position().x();
        if (m_dragging && (e->buttons() & Qt::LeftButton)) {
            // Measured against the range at the press, so the point grabbed stays under the mouse.
            const double msPerPixel = double(m_dragRange.second - m_dragRange.first) / chart()->plotArea().width();
            const qint64 shift = qint64((x - m_pressX) * msPerPixel);
            m_moved = m_moved || std::abs(x - m_pressX) > 3;
            if (shift != 0 && m_moved)
                m_window.pan(m_dragRange.first - shift, m_dragRange.second - shift);
        } else if (chart()->plotArea().contains(e->position())) {
            if (!m_window.m_cursorPinned)
                m_window.setCursorAt(m_window.msAt(x), false);
            const QString mark = m_window.markAt(x, e->position().y());
            if (mark.isEmpty())
                QToolTip::hideText();
            else
                QToolTip::showText(e->globalPosition().toPoint(), mark, this);
        }
        QChartView::mouseMoveEvent(e);
    }
    void mouseReleaseEvent(QMouseEvent *e) override
    {
        if (m_dragging && !m_moved && e->button() == Qt::LeftButton && chart()->plotArea().contains(e->position())) {
            const bool pin = !m_window.m_cursorPinned;
            m_window.setCursorAt(m_window.msAt(e->position().x()), pin);
        }
        m_dragging = false;
        QChartView::mouseReleaseEvent(e);
    }
    void drawForeground(QPainter *painter, const QRectF &rect) override
    {
        QChartView::drawForeground(painter, rect);
        m_window.paintMarks(painter);
    }

private:
    TrendWindow &m_window;
    bool m_dragging = false;
    bool m_moved = false;
    double m_pressX = 0;
    std::pair<qint64, qint64> m_dragRange;
};

TrendWindow::TrendWindow(HistoryReader &reader, const QString &item, const ItemWords &words, UtcClock clock,
                         Glossary glossary, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_reader(reader)
    , m_handOff(new HandOff(this))
    , m_clock(clock ? std::move(clock) : UtcClock(&QDateTime::currentMSecsSinceEpoch))
    , m_glossary(std::move(glossary))
{
    setObjectName(QStringLiteral("frmTrend"));
    markObserverWindow(this);
    resize(900, 540);

    m_chart = new QChart;
    // Each value axis is titled in its pen's colour: a legend would list every
    // stretch between gaps.
    m_chart->legend()->setVisible(false);
    m_timeAxis = new QCategoryAxis;
    m_timeAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_view = new TrendChartView(m_chart, *this);
    // As many time ticks as the plot's width has room for.
    connect(m_chart, &QChart::plotAreaChanged, this, [this](const QRectF &area) {
        if (std::max(3, int(area.width() / 90)) != m_mostTicks)
            updateTimeAxis();
    });

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
    const auto button = [this](const char *name, const char *caption, void (TrendWindow::*slot)()) {
        auto *b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    bar->addWidget(button("cmdFromTo", "From/To...", &TrendWindow::askFromTo));
    bar->addWidget(button("cmdGoToAlarm", "Go to alarm...", &TrendWindow::askGoToAlarm));
    bar->addStretch();
    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("lblState"));
    m_state->setTextFormat(Qt::PlainText);
    m_state->setAlignment(Qt::AlignCenter);
    m_state->setMinimumWidth(80);
    bar->addWidget(m_state);
    m_live = button("cmdLive", "Live", &TrendWindow::goLive);
    bar->addWidget(m_live);

    auto *penBar = new QHBoxLayout;
    m_chips = new QHBoxLayout;
    penBar->addLayout(m_chips);
    penBar->addWidget(button("cmdAdd", "Add...", &TrendWindow::askAndAdd));
    auto *sets = new QPushButton(QStringLiteral("Pen sets"), this);
    sets->setObjectName(QStringLiteral("cmdPenSets"));
    auto *setsMenu = new QMenu(sets);
    sets->setMenu(setsMenu);
    connect(setsMenu, &QMenu::aboutToShow, this, [this, setsMenu] {
        setsMenu->clear();
        for (const QString &name : penSets())
            setsMenu->addAction(name, this, [this, name] { openPenSet(name); });
        setsMenu->addSeparator();
        setsMenu->addAction(QStringLiteral("Save these pens as..."), this, &TrendWindow::askSavePenSet);
    });
    penBar->addWidget(sets);
    penBar->addStretch();
    penBar->addWidget(button("cmdExportCsv", "Export CSV", &TrendWindow::askAndExport));
    penBar->addWidget(button("cmdSaveImage", "Save image", &TrendWindow::askSaveImage));
    penBar->addWidget(button("cmdPrint", "Print", &TrendWindow::askPrint));
    penBar->addWidget(button("cmdReplay", "Replay from here", &TrendWindow::replayFromHere));

    m_cursorLabel = new QLabel(this);
    m_cursorLabel->setObjectName(QStringLiteral("lblCursor"));
    m_cursorLabel->setTextFormat(Qt::PlainText);
    m_cursorLabel->setWordWrap(true);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setTextFormat(Qt::PlainText);
    auto *foot = new QHBoxLayout;
    foot->addWidget(m_cursorLabel, 1);
    foot->addWidget(m_status);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_view, 1);
    layout->addLayout(penBar);
    layout->addLayout(foot);

    Pen first;
    first.item = item;
    first.words = words;
    if (m_glossary)
        first.words.complete(m_glossary(item));
    m_pens.push_back(std::move(first));
    placeAxes();
    updateTitle();

    m_reader.recordedItems(
            [this](QStringList items) { m_handOff->post([this, items = std::move(items)] { m_recorded = items; }); });

    // Live: the shown range moves with the clock and is asked for again each second.
    m_follow = new QTimer(this);
    m_follow->setInterval(1000);
    connect(m_follow, &QTimer::timeout, this, &TrendWindow::refresh);
    showLast(m_spanMs);
}

TrendWindow::~TrendWindow()
{
    // Answers still on their way refer to this window; let the readers finish them.
    m_reader.wait();
    if (m_second)
        m_second->wait();
}

// A closed trend window is only hidden (it opens again as it was); it asks nothing
// of the history while hidden.
void TrendWindow::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    if (m_following) {
        m_follow->start();
        refresh();
    }
}

void TrendWindow::hideEvent(QHideEvent *e)
{
    QWidget::hideEvent(e);
    m_follow->stop();
}

QChart *TrendWindow::chart() const
{
    return m_chart;
}

void TrendWindow::showLast(qint64 spanMs)
{
    m_spanMs = std::max(spanMs, kShortestSpanMs);
    m_following = true;
    m_holdScale = false;
    if (isVisible())
        m_follow->start();
    updateState();
    refresh();
}

void TrendWindow::showRange(qint64 fromMs, qint64 toMs)
{
    if (toMs - fromMs >= kShortestSpanMs)
        moveTo(fromMs, toMs, false);
}

// A drag holds the value axes as they are, so the eye can follow a line across.
void TrendWindow::pan(qint64 fromMs, qint64 toMs)
{
    moveTo(fromMs, toMs, true);
}

void TrendWindow::moveTo(qint64 fromMs, qint64 toMs, bool holdScale)
{
    m_holdScale = holdScale;
    m_following = false;
    m_follow->stop();
    m_fromMs = fromMs;
    m_toMs = toMs;
    updateState();
    refresh();
}

void TrendWindow::zoom(double factor, qint64 centreMs)
{
    centreMs = std::clamp(centreMs, m_fromMs, m_toMs);
    const qint64 from = centreMs - qRound64(double(centreMs - m_fromMs) * factor);
    showRange(from, from + qRound64(double(m_toMs - m_fromMs) * factor));
}

qint64 TrendWindow::msAt(double x) const
{
    const QRectF area = m_chart->plotArea();
    const double f = area.width() > 0 ? (x - area.left()) / area.width() : 0.5;
    return m_fromMs + qint64(f * double(m_toMs - m_fromMs));
}

double TrendWindow::xAt(qint64 ms) const
{
    const QRectF area = m_chart->plotArea();
    return area.left() + area.width() * double(ms - m_fromMs) / double(std::max<qint64>(1, m_toMs - m_fromMs));
}

void TrendWindow::updateState()
{
    m_state->setText(m_following ? QStringLiteral("LIVE") : QStringLiteral("PAUSED"));
    m_state->setStyleSheet(m_following ? QStringLiteral("background:#1e8449;color:white;font-weight:bold")
                                       : QStringLiteral("background:#d37a00;color:white;font-weight:bold"));
    m_live->setEnabled(!m_following);
}

void TrendWindow::setLinkUp(bool up)
{
    m_linkUp = up;
    updateTitle();
}

void TrendWindow::updateTitle()
{
    const QString title = penTitle(0);
    setWindowTitle(QStringLiteral("Trend - ") + title + (m_linkUp ? QString() : QStringLiteral(" [NO DATA]")));
    m_chart->setTitle(title);
}

QStringList TrendWindow::penItems() const
{
    QStringList out;
    for (const Pen &p : m_pens)
        out << p.item;
    return out;
}

QString TrendWindow::penTitle(int pen) const
{
    return size_t(pen) < m_pens.size() ? titleOf(m_pens[size_t(pen)].item, m_pens[size_t(pen)].words) : QString();
}

bool TrendWindow::addPen(const QString &item)
{
    if (!takePen(item))
        return false;
    placeAxes();
    // Only the new pen is asked for, and the alarm lines of its item; the others are
    // on the chart already.
    ask(m_pens.size() - 1);
    askMarks();
    return true;
}

bool TrendWindow::takePen(const QString &item)
{
    if (int(m_pens.size()) >= kMostPens || !m_recorded.contains(item) || penItems().contains(item))
        return false;
    Pen pen;
    pen.item = item;
    if (m_glossary)
        pen.words = m_glossary(item);
    m_pens.push_back(std::move(pen));
    return true;
}

void TrendWindow::removePen(int pen)
{
    // The first pen is what the window is the trend of.
    if (pen <= 0 || size_t(pen) >= m_pens.size())
        return;
    Pen &p = m_pens[size_t(pen)];
    qDeleteAll(p.series);
    // Later: the removal may come from the chip's own menu.
    p.chip->hide();
    p.chip->deleteLater();
    m_pens.erase(m_pens.begin() + pen);
    placeAxes();
    updateCursor();
}

void TrendWindow::setScale(int pen, double low, double high)
{
    if (size_t(pen) >= m_pens.size() || !(high > low))
        return;
    m_pens[size_t(pen)].manual = std::pair{low, high};
    scaleAxis(m_pens[size_t(pen)].axis);
}

void TrendWindow::setAutoScale(int pen)
{
    if (size_t(pen) >= m_pens.size())
        return;
    m_pens[size_t(pen)].manual.reset();
    m_holdScale = false;
    scaleAxis(m_pens[size_t(pen)].axis);
}

// Every pen's axis afresh: pens whose unit matches share one, the others have their
// own, left and right in turn.
void TrendWindow::placeAxes()
{
    for (Pen &p : m_pens) {
        qDeleteAll(p.series);
        p.series.clear();
    }
    for (QAbstractAxis *a : m_chart->axes(Qt::Vertical)) {
        m_chart->removeAxis(a);
        delete a;
    }
    int placed = 0;
    for (size_t i = 0; i < m_pens.size(); ++i) {
        Pen &p = m_pens[i];
        p.colour = kPenColours[i % std::size(kPenColours)];
        p.axis = nullptr;
        for (size_t j = 0; j < i && !p.words.unit.isEmpty(); ++j) {
            if (m_pens[j].words.unit == p.words.unit)
                p.axis = m_pens[j].axis;
        }
        if (!p.axis) {
            p.axis = new QValueAxis;
            p.axis->setTitleText(axisTitleOf(p.item, p.words));
            p.axis->setTitleBrush(p.colour);
            p.axis->setLinePenColor(p.colour);
            p.axis->setLabelsColor(p.colour);
            m_chart->addAxis(p.axis, placed++ % 2 == 0 ? Qt::AlignLeft : Qt::AlignRight);
        } else {
            // A shared axis names its unit and the pens on it.
            QStringList names;
            for (const Pen &q : m_pens) {
                if (q.axis == p.axis)
                    names << (q.words.caption.isEmpty() ? q.item : q.words.caption);
            }
            p.axis->setTitleText(names.join(QStringLiteral(", ")) + QStringLiteral(" in ") + p.words.unit);
            p.axis->setTitleBrush(QColor(Qt::black));
            p.axis->setLinePenColor(QColor(Qt::black));
            p.axis->setLabelsColor(QColor(Qt::black));
        }
        if (!p.chip)
            addChip(p);
        p.chip->setStyleSheet(QStringLiteral("color:%1;font-weight:bold").arg(p.colour.name()));
    }
    for (Pen &p : m_pens)
        drawPen(p);
    for (Pen &p : m_pens)
        scaleAxis(p.axis);
}

// A button per pen in its colour: its words, and a menu to scale or remove it.
void TrendWindow::addChip(Pen &pen)
{
    pen.chip = new QPushButton(titleOf(pen.item, pen.words), this);
    pen.chip->setObjectName(QStringLiteral("cmdPen_") + pen.item);
    auto *menu = new QMenu(pen.chip);
    const QString item = pen.item;
    const auto index = [this, item] { return int(penItems().indexOf(item)); };
    menu->addAction(QStringLiteral("Scale..."), this, [this, index] { askScale(index()); });
    menu->addAction(QStringLiteral("Automatic scale"), this, [this, index] { setAutoScale(index()); });
    if (&pen != &m_pens.front()) // the first pen is what the window is the trend of
        menu->addAction(QStringLiteral("Remove"), this, [this, index] { removePen(index()); });
    pen.chip->setMenu(menu);
    m_chips->addWidget(pen.chip);
}

void TrendWindow::updateTimeAxis()
{
    m_mostTicks = std::max(3, int(m_chart->plotArea().width() / 90));
    for (const QString &label : m_timeAxis->categoriesLabels())
        m_timeAxis->remove(label);
    m_timeAxis->setStartValue(double(m_fromMs));
    m_timeAxis->setRange(double(m_fromMs), double(m_toMs));
    m_ticks = timeTicks(m_fromMs, m_toMs, m_mostTicks);
    for (const TimeTick &t : m_ticks) {
        // The axis wants distinct labels; the same hour on two days differs invisibly.
        QString label = t.label;
        while (m_timeAxis->categoriesLabels().contains(label))
            label += QChar(0x200B);
        m_timeAxis->append(label, double(t.ms));
    }
    m_timeAxis->setTitleText(rangeText(m_fromMs, m_toMs));
}

void TrendWindow::refresh()
{
    if (m_following) {
        m_toMs = m_clock();
        m_fromMs = m_toMs - m_spanMs;
    }
    updateTimeAxis();
    // A drag or a wheel moves the range many times a second: one question at a time,
    // and the latest range once it is answered.
    if (m_inFlight > 0) {
        m_again = true;
        return;
    }
    for (size_t i = 0; i < m_pens.size(); ++i)
        ask(i);
    askMarks();
}

void TrendWindow::ask(size_t pen)
{
    // A bucket per pixel column of the plot: the most a chart can show.
    const int buckets = std::max(100, int(m_chart->plotArea().width()));
    const quint64 generation = ++m_pens[pen].generation;
    ++m_inFlight;
    // Every other pen on the second connection: a week of eight pens is eight long
    // questions, and two cores answer them in half the time.
    HistoryReader &reader = m_second && pen % 2 == 1 ? *m_second : m_reader;
    reader.buckets(BucketRequest{m_pens[pen].item, m_fromMs, m_toMs, buckets},
                   [this, pen, generation](std::vector<TrendPoint> pts) {
                       m_handOff->post([this, pen, generation, pts = std::move(pts)]() mutable {
                           answered(int(pen), generation, std::move(pts));
                       });
                   });
}

// The alarm lines, link-down stretches and clock steps of the shown range.
void TrendWindow::askMarks()
{
    const quint64 generation = ++m_marksGeneration;
    const auto answer = [this, generation](auto apply) {
        m_handOff->post([this, generation, apply = std::move(apply)]() mutable {
            --m_inFlight;
            if (generation == m_marksGeneration)
                apply();
            landed();
        });
    };
    m_inFlight += 3;
    m_reader.alarmLines(m_fromMs, m_toMs, alarmItems(), [this, answer](std::vector<AlarmRecord> lines) {
        answer([this, lines = std::move(lines)]() mutable { m_alarms = std::move(lines); });
    });
    m_reader.linkDown(m_fromMs, m_toMs, [this, answer](std::vector<TimeSpan> spans) {
        answer([this, spans = std::move(spans)]() mutable { m_linkDown = std::move(spans); });
    });
    m_reader.clockSteps(m_fromMs, m_toMs, [this, answer](std::vector<ClockStep> steps) {
        answer([this, steps = std::move(steps)]() mutable { m_clockSteps = std::move(steps); });
    });
}

void TrendWindow::answered(int index, quint64 generation, std::vector<TrendPoint> points)
{
    --m_inFlight;
    // An answer to an older question (another pen since) is not drawn.
    if (size_t(index) < m_pens.size() && m_pens[size_t(index)].generation == generation) {
        m_pens[size_t(index)].points = std::move(points);
        m_pens[size_t(index)].fresh = true;
    }
    landed();
}

// Once every question is answered, the new answers are drawn together: a chart
// painted once, not once per pen.
void TrendWindow::landed()
{
    if (m_inFlight > 0)
        return;
    bool any = false;
    for (Pen &p : m_pens) {
        if (p.fresh)
            drawPen(p);
        any = any || p.fresh;
    }
    for (Pen &p : m_pens) {
        if (p.fresh)
            scaleAxis(p.axis);
        p.fresh = false;
    }
    if (any)
        updateCursor();
    m_view->viewport()->update();
    if (m_again) {
        m_again = false;
        refresh();
    } else {
        Q_EMIT drawn();
    }
}

void TrendWindow::drawPen(Pen &pen)
{
    qDeleteAll(pen.series);
    pen.series.clear();

    // Steps: a value holds until the next one; a gap ends the line there.
    const qint64 end = std::min(m_toMs, m_clock());
    const double divisor = pen.words.divisor;
    QList<QList<QPointF>> lines{{}};
    for (const TrendPoint &p : pen.points) {
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
        line.append(QPointF(double(p.tMs), p.value / divisor));
    }
    if (!lines.back().isEmpty() && end > lines.back().back().x())
        lines.back().append(QPointF(double(end), lines.back().back().y()));

    for (const QList<QPointF> &line : std::as_const(lines)) {
        if (line.isEmpty())
            continue;
        auto *s = new QLineSeries;
        s->setName(pen.item);
        s->setPen(QPen(pen.colour, 2));
        s->replace(line);
        m_chart->addSeries(s);
        s->attachAxis(m_timeAxis);
        s->attachAxis(pen.axis);
        pen.series.append(s);
    }
}

void TrendWindow::scaleAxis(QValueAxis *axis)
{
    if (!axis)
        return;
    for (const Pen &p : m_pens) {
        if (p.axis == axis && p.manual) {
            axis->setTickType(QValueAxis::TicksFixed);
            axis->setTickCount(6);
            axis->setLabelFormat(QStringLiteral("%g"));
            axis->setRange(p.manual->first, p.manual->second);
            return;
        }
    }
    if (m_holdScale)
        return;
    double low = 0, high = 0;
    bool any = false, bits = true;
    for (const Pen &p : m_pens) {
        if (p.axis != axis)
            continue;
        for (const TrendPoint &pt : p.points) {
            if (pt.gap)
                continue;
            const double v = pt.value / p.words.divisor;
            low = any ? std::min(low, v) : v;
            high = any ? std::max(high, v) : v;
            any = true;
            bits = bits && (v == 0 || v == 1);
        }
    }
    if (bits) {
        // A bit: 0 and 1 with room above and below.
        axis->setTickType(QValueAxis::TicksDynamic);
        axis->setTickAnchor(0);
        axis->setTickInterval(1);
        axis->setLabelFormat(QStringLiteral("%.0f"));
        axis->setRange(-0.2, 1.2);
        return;
    }
    // Ticks at a round step (1, 2 or 5 times a power of ten), about five of them,
    // so the labels are short and fit.
    const double span = high > low ? high - low : std::max(1.0, std::abs(high) * 0.1);
    const double raw = span / 5, magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double step = raw / magnitude <= 1   ? magnitude
                        : raw / magnitude <= 2 ? 2 * magnitude
                        : raw / magnitude <= 5 ? 5 * magnitude
                                               : 10 * magnitude;
    const double bottom = std::floor(low / step) * step, top = std::ceil(high / step) * step;
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(step);
    axis->setLabelFormat(QStringLiteral("%g"));
    axis->setRange(bottom - step * 0.1, (top > high ? top : top + step) + step * 0.1);
}

QList<QList<QPointF>> TrendWindow::lines(int pen) const
{
    QList<QList<QPointF>> out;
    if (size_t(pen) < m_pens.size()) {
        for (const QLineSeries *s : m_pens[size_t(pen)].series)
            out.append(s->points());
    }
    return out;
}

QString TrendWindow::valueText(const Pen &pen, qint64 ms) const
{
    const TrendPoint *holding = nullptr;
    for (const TrendPoint &p : pen.points) {
        if (p.tMs > ms)
            break;
        holding = &p;
    }
    if (!holding || holding->gap || ms > m_clock())
        return QStringLiteral("no data");
    const QString value = numberText(holding->value / pen.words.divisor);
    return pen.words.unit.isEmpty() ? value : value + u' ' + pen.words.unit;
}

void TrendWindow::setCursorAt(qint64 ms, bool pinned)
{
    m_cursorMs = ms;
    m_cursorPinned = pinned;
    updateCursor();
}

void TrendWindow::updateCursor()
{
    m_cursorLabel->setText(cursorText());
    m_view->viewport()->update();
}

QString TrendWindow::cursorText() const
{
    if (!m_cursorMs)
        return QString();
    QStringList parts{momentText(*m_cursorMs, m_toMs - m_fromMs)};
    for (const Pen &p : m_pens)
        parts << QStringLiteral("%1 = %2").arg(titleOf(p.item, p.words), valueText(p, *m_cursorMs));
    return (m_cursorPinned ? QStringLiteral("Pinned ") : QString()) + parts.join(QStringLiteral("   "));
}

// The alarm lines of the shown items, and the data server's, are the window's marks.
bool TrendWindow::marks(const AlarmRecord &a) const
{
    if (a.item == QLatin1String("DSDATA"))
        return true;
    return std::any_of(m_pens.begin(), m_pens.end(),
                       [&](const Pen &p) { return p.item.compare(a.item, Qt::CaseInsensitive) == 0; });
}

// The items of the alarm lines to ask for: an alarm line names its item as it writes
// it ("C27" for the item c27).
QStringList TrendWindow::alarmItems() const
{
    QStringList out{QStringLiteral("DSDATA")};
    for (const Pen &p : m_pens)
        out << p.item << p.item.toUpper();
    out.removeDuplicates();
    return out;
}

QStringList TrendWindow::markerTexts() const
{
    QStringList out;
    for (const AlarmRecord &a : m_alarms) {
        if (marks(a))
            out << momentText(a.tMs, m_toMs - m_fromMs) + u' ' + a.text;
    }
    return out;
}

void TrendWindow::paintMarks(QPainter *painter) const
{
    const QRectF area = m_chart->plotArea();
    painter->save();
    painter->setClipRect(area.adjusted(-kMarkSize, 0, kMarkSize, kMarkSize));
    // Link down: a grey band, where no value could arrive.
    for (const TimeSpan &s : m_linkDown) {
        const double a = xAt(s.fromMs), b = xAt(s.toMs);
        painter->fillRect(QRectF(a, area.top(), std::max(1.0, b - a), area.height()), QColor(0x80, 0x80, 0x80, 70));
    }
    // A clock step: a dashed line where the recorded times jump.
    for (const ClockStep &c : m_clockSteps) {
        painter->setPen(QPen(QColor(0x7d, 0x3c, 0x98), 1.5, Qt::DashLine));
        const double x = xAt(c.tMs);
        painter->drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    }
    // Alarm lines of the shown items: a triangle on the time axis each.
    for (const AlarmRecord &a : m_alarms) {
        if (!marks(a))
            continue;
        const QColor colour = a.kind == QLatin1String("FAULT")  ? QColor(0xd0, 0x00, 0x00)
                              : a.kind == QLatin1String("WARN") ? QColor(0xe0, 0xa0, 0x00)
                                                                : QColor(0x1e, 0x84, 0x49);
        const double x = xAt(a.tMs), y = area.bottom();
        painter->setPen(QPen(colour, 1, Qt::DotLine));
        painter->drawLine(QPointF(x, area.top()), QPointF(x, y));
        painter->setPen(Qt::NoPen);
        painter->setBrush(colour);
        const QPointF tri[] = {{x, y - kMarkSize}, {x - kMarkSize, y + 1}, {x + kMarkSize, y + 1}};
        painter->drawPolygon(tri, 3);
    }
    if (m_cursorMs && *m_cursorMs >= m_fromMs && *m_cursorMs <= m_toMs) {
        painter->setPen(QPen(QColor(0x20, 0x20, 0x20), m_cursorPinned ? 1.5 : 1));
        const double x = xAt(*m_cursorMs);
        painter->drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    }
    painter->restore();
}

QString TrendWindow::markAt(double x, double y) const
{
    const QRectF area = m_chart->plotArea();
    if (y < area.bottom() - 3 * kMarkSize)
        return QString();
    QStringList texts;
    for (const AlarmRecord &a : m_alarms) {
        if (marks(a) && std::abs(xAt(a.tMs) - x) <= kMarkSize)
            texts << a.text;
    }
    return texts.join(u'\n');
}

void TrendWindow::askAndAdd()
{
    m_reader.recordedItems([this](QStringList items) {
        m_handOff->post([this, items = std::move(items)] {
            m_recorded = items;
            QStringList offered;
            for (const QString &i : items) {
                if (!penItems().contains(i))
                    offered << i;
            }
            const auto chosen = chooseItem(this, offered, [this](const QString &item) {
                return titleOf(item, m_glossary ? m_glossary(item) : ItemWords{});
            });
            if (chosen && !addPen(*chosen))
                m_status->setText(QStringLiteral("At most %1 pens").arg(kMostPens));
        });
    });
}

void TrendWindow::askFromTo()
{
    if (const auto range = chooseRange(this, m_fromMs, m_toMs))
        showRange(range->first, range->second);
}

void TrendWindow::askGoToAlarm()
{
    m_reader.alarmLines(0, m_clock() + 1, alarmItems(), [this](std::vector<AlarmRecord> lines) {
        m_handOff->post([this, lines = std::move(lines)]() mutable {
            std::erase_if(lines, [this](const AlarmRecord &a) { return !marks(a); });
            if (const auto at = chooseAlarm(this, lines)) {
                const qint64 span = m_toMs - m_fromMs;
                showRange(*at - span / 2, *at + span / 2);
                setCursorAt(*at, true);
            }
        });
    });
}

void TrendWindow::askScale(int pen)
{
    if (size_t(pen) >= m_pens.size() || !m_pens[size_t(pen)].axis)
        return;
    const QValueAxis *axis = m_pens[size_t(pen)].axis;
    if (const auto scale = chooseScale(this, penTitle(pen), axis->min(), axis->max()))
        setScale(pen, scale->first, scale->second);
}

QString TrendWindow::defaultFileName(const QString &suffix) const
{
    const QString from
            = QDateTime::fromMSecsSinceEpoch(m_fromMs, Qt::LocalTime).toString(QStringLiteral("yyyy-MM-dd_HHmm"));
    return fatSafe(QStringLiteral("trend_%1_%2.%3").arg(item(), from, suffix));
}

void TrendWindow::askAndExport()
{
    const QString file = QFileDialog::getSaveFileName(
            this, QStringLiteral("Export CSV"), defaultFileName(QStringLiteral("csv")), QStringLiteral("CSV (*.csv)"));
    if (!file.isEmpty())
        exportCsv(file);
}

void TrendWindow::exportCsv(const QString &file)
{
    // The value holding at the start is what the pen drew there.
    QList<QPair<QString, QString>> starts; // pen order: item, its start row or nothing
    const QString fromUtc = utcText(m_fromMs), fromLocal = localIsoText(m_fromMs);
    for (const Pen &p : m_pens) {
        const TrendPoint *holding = nullptr;
        for (const TrendPoint &pt : p.points) {
            if (pt.tMs > m_fromMs)
                break;
            holding = &pt;
        }
        const QString value = holding && !holding->gap ? numberText(holding->value) : QString();
        starts.append(
                {p.item, holding ? QStringList{csvField(p.item), fromUtc, fromLocal, value}.join(u',') : QString()});
    }
    const QString rows = file + QStringLiteral(".rows");
    m_status->setText(QStringLiteral("Exporting..."));
    m_reader.exportCsv(
            penItems(), m_fromMs + 1, m_toMs, rows,
            [this](double done) {
                m_handOff->post(
                        [this, done] { m_status->setText(QStringLiteral("Exporting %1 %").arg(int(done * 100))); });
            },
            [this, file, rows, starts](QString error) {
                // The reader's rows with the start values and local times, on the reader's thread.
                if (error.isEmpty()) {
                    QFile in(rows);
                    QSaveFile out(file);
                    if (!in.open(QIODevice::ReadOnly | QIODevice::Text))
                        error = in.errorString();
                    else if (!out.open(QIODevice::WriteOnly | QIODevice::Text))
                        error = out.errorString();
                    if (error.isEmpty()) {
                        const QStringList head = csvSplit(QString::fromUtf8(in.readLine()).trimmed());
                        const int item = int(head.indexOf(QStringLiteral("item"))),
                                  time = int(head.indexOf(QStringLiteral("time_utc"))),
                                  value = int(head.indexOf(QStringLiteral("value")));
                        if (std::min({item, time, value}) < 0)
                            error = QStringLiteral("the history's rows have no item, time_utc or value");
                        if (error.isEmpty())
                            out.write("item,time_utc,time_local,value\n");
                        // The start rows of the pens up to this item, before its first change.
                        qsizetype next = 0;
                        const auto startsUpTo = [&](const QString &item) {
                            while (next < starts.size()) {
                                const auto &[pen, row] = starts[next++];
                                if (!row.isEmpty())
                                    out.write(row.toUtf8() + '\n');
                                if (pen == item)
                                    break;
                            }
                        };
                        QString current;
                        while (error.isEmpty() && !in.atEnd()) {
                            const QStringList f = csvSplit(QString::fromUtf8(in.readLine()).chopped(1));
                            if (f.size() <= std::max({item, time, value}))
                                continue;
                            if (f[item] != current)
                                startsUpTo(current = f[item]);
                            const qint64 t = QDateTime::fromString(f[time], Qt::ISODateWithMs).toMSecsSinceEpoch();
                            out.write(QStringList{csvField(f[item]), utcText(t), localIsoText(t), csvField(f[value])}
                                              .join(u',')
                                              .toUtf8()
                                      + '\n');
                        }
                        startsUpTo(QString());
                        if (error.isEmpty() && !out.commit())
                            error = out.errorString();
                    }
                    in.remove();
                }
                m_handOff->post([this, file, error] {
                    m_status->setText(error.isEmpty() ? QStringLiteral("Exported to %1").arg(file)
                                                      : QStringLiteral("Export failed: %1").arg(error));
                    Q_EMIT exported(file, error);
                });
            });
}

bool TrendWindow::saveImage(const QString &file)
{
    return m_view->grab().save(file, "PNG");
}

void TrendWindow::askSaveImage()
{
    const QString file = QFileDialog::getSaveFileName(
            this, QStringLiteral("Save image"), defaultFileName(QStringLiteral("png")), QStringLiteral("PNG (*.png)"));
    if (!file.isEmpty())
        m_status->setText(saveImage(file) ? QStringLiteral("Saved %1").arg(file)
                                          : QStringLiteral("Cannot save %1").arg(file));
}

void TrendWindow::print(QPrinter *printer)
{
    printer->setPageOrientation(QPageLayout::Landscape);
    QPainter painter(printer);
    const QRect page = painter.viewport();
    QSize size = m_view->size();
    size.scale(page.size(), Qt::KeepAspectRatio);
    painter.setViewport(page.x(), page.y(), size.width(), size.height());
    painter.setWindow(m_view->rect());
    m_view->render(&painter);
}

// A second station on this history, at the pinned cursor or the range's start; this
// one goes on as it is.
void TrendWindow::replayFromHere()
{
    const qint64 at = m_cursorPinned && m_cursorMs ? *m_cursorMs : m_fromMs;
    if (!startReplay(m_reader.path(), at))
        m_status->setText(QStringLiteral("The replay could not start"));
}

void TrendWindow::askPrint()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted)
        print(&printer);
}

void TrendWindow::savePenSet(const QString &name) const
{
    QSettings settings(penSetsFile(), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("penSets"));
    settings.setValue(name, penItems());
}

QStringList TrendWindow::penSets()
{
    QSettings settings(penSetsFile(), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("penSets"));
    return settings.childKeys();
}

bool TrendWindow::openPenSet(const QString &name)
{
    QSettings settings(penSetsFile(), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("penSets"));
    const QStringList items = settings.value(name).toStringList();
    if (items.isEmpty())
        return false;
    while (m_pens.size() > 1)
        removePen(int(m_pens.size()) - 1);
    bool all = true;
    for (const QString &i : items) {
        if (i != item())
            all = takePen(i) && all;
    }
    placeAxes();
    refresh();
    return all;
}

void TrendWindow::askSavePenSet()
{
    bool ok = false;
    const QString name = QInputDialog::getText(this, QStringLiteral("Pen set"), QStringLiteral("Name of these pens:"),
                                               QLineEdit::Normal, QString(), &ok)
                                 .trimmed();
    if (ok && !name.isEmpty())
        savePenSet(name);
}

TrendWindows::TrendWindows(HistoryReader &reader, TrendWindow::UtcClock clock, TrendWindow::Glossary glossary,
                           const TagSource *link)
    : m_reader(reader)
    , m_second(std::make_unique<HistoryReader>(reader.path()))
    , m_clock(std::move(clock))
    , m_glossary(std::move(glossary))
    , m_link(link)
{
}

TrendWindows::~TrendWindows()
{
    qDeleteAll(m_windows);
}

TrendWindow *TrendWindows::show(const QString &item, const ItemWords &words)
{
    TrendWindow *&w = m_windows[item];
    if (!w) {
        w = new TrendWindow(m_reader, item, words, m_clock, m_glossary);
        w->setSecondReader(m_second.get());
        if (m_link) {
            w->setLinkUp(m_link->isLinkUp());
            QObject::connect(m_link, &TagSource::linkStateChanged, w, &TrendWindow::setLinkUp);
        }
    }
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
