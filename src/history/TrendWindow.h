#pragma once

#include "HistoryReader.h"
#include "TrendTime.h"
#include "station/Station.h"

#include <QColor>
#include <QHash>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QCategoryAxis;
class QChart;
class QLabel;
class QLineSeries;
class QPainter;
class QPrinter;
class QPushButton;
class QTimer;
class QValueAxis;
class QHBoxLayout;

namespace corvane {
class HandOff;
class TagSource;
} // namespace corvane

namespace corvane::history {

class TrendChartView;

// The trend of up to eight items on one time axis: steps between changes, no line
// where nothing is known, the station's alarm lines along the bottom, link-down
// stretches shaded, clock steps marked. At most a few points per pixel column are
// asked of the history, on the reader's thread; the answers come back by HandOff.
class TrendWindow : public QWidget
{
    Q_OBJECT
public:
    using UtcClock = std::function<qint64()>;
    // What the station says about an item; empty words where it says nothing.
    using Glossary = std::function<ItemWords(const QString &item)>;
    static constexpr int kMostPens = 8;

    TrendWindow(HistoryReader &reader, const QString &item, const ItemWords &words, UtcClock clock = {},
                Glossary glossary = {}, QWidget *parent = nullptr);
    ~TrendWindow() override;

    QString item() const { return m_pens.front().item; }

    // Follows the newest data over the last spanMs.
    void showLast(qint64 spanMs);
    void goLive() { showLast(m_toMs - m_fromMs); }
    // A fixed stretch of time (zoom, pan, From/To, an alarm); no longer follows.
    void showRange(qint64 fromMs, qint64 toMs);
    bool following() const { return m_following; }
    qint64 fromMs() const { return m_fromMs; }
    qint64 toMs() const { return m_toMs; }

    // A pen for a recorded item; false (and nothing drawn) for an item the history
    // does not know, one already shown, or a ninth.
    bool addPen(const QString &item);
    void removePen(int pen);
    int penCount() const { return int(m_pens.size()); }
    QStringList penItems() const;
    // "Brake Pipe (v1413:b)": the pen's words with its code.
    QString penTitle(int pen) const;
    // A scale set by hand holds until set back to automatic.
    void setScale(int pen, double low, double high);
    void setAutoScale(int pen);

    // The cursor at a time: every pen's value there. Pinned, it stays when the mouse moves.
    void setCursorAt(qint64 ms, bool pinned);
    QString cursorText() const;

    // Every item the history recorded, sorted; known once the window has asked.
    QStringList recordedItems() const { return m_recorded; }
    // The alarm lines shown as markers, oldest first, each "<time> <line>".
    QStringList markerTexts() const;
    const std::vector<TimeTick> &ticks() const { return m_ticks; }

    // CSV of the shown pens and range: the value holding at the start, every change,
    // UTC and local times. exported() tells the result.
    void exportCsv(const QString &file);
    // The default name offered: no characters a FAT-formatted stick refuses.
    QString defaultFileName(const QString &suffix) const;
    bool saveImage(const QString &file);
    void print(QPrinter *printer);

    // Pen sets by name, for every trend window.
    void savePenSet(const QString &name) const;
    bool openPenSet(const QString &name);
    static QStringList penSets();

    void setLinkUp(bool up);
    // A second connection for every other pen's question.
    void setSecondReader(HistoryReader *reader) { m_second = reader; }
    // Every question asked is answered and drawn (for pictures and tests).
    bool settled() const { return m_inFlight == 0 && !m_again; }
    QChart *chart() const;
    // The lines drawn for a pen: one per stretch without a gap, as (ms, value shown).
    QList<QList<QPointF>> lines(int pen) const;

Q_SIGNALS:
    // A question's answer is on the chart.
    void drawn();
    void exported(const QString &file, const QString &error);

protected:
    void showEvent(QShowEvent *e) override;
    void hideEvent(QHideEvent *e) override;

private:
    struct Pen
    {
        QString item;
        ItemWords words;
        QColor colour;
        QValueAxis *axis = nullptr;
        std::vector<TrendPoint> points; // as recorded
        QList<QLineSeries *> series;
        quint64 generation = 0;
        bool fresh = false; // answered, not yet drawn
        std::optional<std::pair<double, double>> manual;
        QPushButton *chip = nullptr;
    };
    friend class TrendChartView;
    void refresh();
    void ask(size_t pen);
    bool takePen(const QString &item);
    void askMarks();
    void answered(int pen, quint64 generation, std::vector<TrendPoint> points);
    void landed();
    void drawPen(Pen &pen);
    void placeAxes();
    void scaleAxis(QValueAxis *axis);
    void updateTimeAxis();
    void updateTitle();
    void updateState();
    void updateCursor();
    void addChip(Pen &pen);
    QString valueText(const Pen &pen, qint64 ms) const;
    void zoom(double factor, qint64 centreMs);
    void pan(qint64 fromMs, qint64 toMs);
    void moveTo(qint64 fromMs, qint64 toMs, bool holdScale);
    qint64 msAt(double x) const;
    double xAt(qint64 ms) const;
    bool marks(const AlarmRecord &alarm) const;
    QStringList alarmItems() const;
    void paintMarks(QPainter *painter) const;
    QString markAt(double x, double y) const;

    void askAndAdd();
    void askFromTo();
    void askGoToAlarm();
    void askAndExport();
    void askSaveImage();
    void askPrint();
    void replayFromHere();
    void askScale(int pen);
    void askSavePenSet();

    HistoryReader &m_reader;
    HistoryReader *m_second = nullptr;
    HandOff *m_handOff; // the reader's answers, from its thread
    UtcClock m_clock;
    Glossary m_glossary;
    QChart *m_chart = nullptr;
    TrendChartView *m_view = nullptr;
    QCategoryAxis *m_timeAxis = nullptr;
    QLabel *m_cursorLabel = nullptr;
    QLabel *m_state = nullptr;
    QLabel *m_status = nullptr;
    QPushButton *m_live = nullptr;
    QHBoxLayout *m_chips = nullptr;
    QTimer *m_follow = nullptr;
    std::vector<Pen> m_pens;
    std::vector<TimeTick> m_ticks;
    int m_mostTicks = 8;
    std::vector<AlarmRecord> m_alarms;
    std::vector<TimeSpan> m_linkDown;
    std::vector<ClockStep> m_clockSteps;
    QStringList m_recorded;
    quint64 m_marksGeneration = 0;
    qint64 m_spanMs = 10 * 60'000;
    qint64 m_fromMs = 0, m_toMs = 0;
    bool m_following = true;
    bool m_holdScale = false; // panning: the value axes stay as they are
    bool m_linkUp = true;
    std::optional<qint64> m_cursorMs;
    bool m_cursorPinned = false;
    int m_inFlight = 0;   // questions asked and not yet answered
    bool m_again = false; // the range moved meanwhile: ask once more when they are
};

// One trend window per item: a second request shows the same window.
class TrendWindows
{
public:
    TrendWindows(HistoryReader &reader, TrendWindow::UtcClock clock = {}, TrendWindow::Glossary glossary = {},
                 const TagSource *link = nullptr);
    ~TrendWindows();

    // Opens (or raises) the trend of an item, titled by the words it was asked with.
    TrendWindow *show(const QString &item, const ItemWords &words);
    TrendWindow *find(const QString &item) const;

private:
    HistoryReader &m_reader;
    std::unique_ptr<HistoryReader> m_second; // the windows' second connection
    TrendWindow::UtcClock m_clock;
    TrendWindow::Glossary m_glossary;
    const TagSource *m_link;
    QHash<QString, TrendWindow *> m_windows; // owned
};

} // namespace corvane::history
