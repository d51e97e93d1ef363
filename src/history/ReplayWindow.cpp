#include "ReplayWindow.h"

#include "ReplaySession.h"
#include "ReplayTagSource.h"
#include "ui/ObserverWindow.h"

#include <QComboBox>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>
#include <limits>

namespace corvane::history {

namespace {
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QString speedText(double s)
{
    return s < 1 ? QStringLiteral("1/%1x").arg(qRound(1 / s)) : QStringLiteral("%1x").arg(s);
}
} // namespace

bool ReplayTitles::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::WindowTitleChange && watched->isWidgetType()) {
        auto *w = static_cast<QWidget *>(watched);
        const QString suffix = QString::fromUtf16(kSuffix);
        if (w->isWindow() && !w->windowTitle().endsWith(suffix))
            w->setWindowTitle(w->windowTitle() + suffix); // comes back here once, suffixed
    }
    return false;
}

void MarkedSlider::setMarks(std::vector<int> values)
{
    m_marks = std::move(values);
    update();
}

void MarkedSlider::paintEvent(QPaintEvent *event)
{
    QSlider::paintEvent(event);
    if (m_marks.empty() || maximum() <= minimum())
        return;
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
    const int handle = style()->pixelMetric(QStyle::PM_SliderLength, &opt, this);
    QPainter p(this);
    p.setPen(QColor(0xFF, 0, 0));
    for (const int v : m_marks) {
        const int x = groove.left() + handle / 2
                      + QStyle::sliderPositionFromValue(minimum(), maximum(), v, groove.width() - handle);
        p.drawLine(x, 0, x, height() / 4);
        p.drawLine(x, height() - height() / 4, x, height());
    }
}

const std::vector<double> &ReplayWindow::speeds()
{
    static const std::vector<double> all{0.25, 0.5, 1, 2, 4, 8, 16, 32, 64};
    return all;
}

ReplayWindow::ReplayWindow(ReplaySession &session, ReplayTagSource &tags, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_session(session)
    , lblTime(new QLabel(this))
    , cmdPlay(new QPushButton(this))
    , cboSpeed(new QComboBox(this))
    , sldTime(new MarkedSlider(Qt::Horizontal, this))
    , cmdPrevAlarm(new QPushButton(tr("Previous alarm line"), this))
    , cmdNextAlarm(new QPushButton(tr("Next alarm line"), this))
    , txtGoTo(new QDateTimeEdit(this))
    , cmdGoTo(new QPushButton(tr("Go to"), this))
    , lblNote(new QLabel(this))
{
    setObjectName(QStringLiteral("frmReplay"));
    setWindowTitle(tr("Corvane Replay"));
    markObserverWindow(this);
    lblTime->setObjectName(QStringLiteral("lblTime"));
    cmdPlay->setObjectName(QStringLiteral("cmdPlay"));
    cboSpeed->setObjectName(QStringLiteral("cboSpeed"));
    sldTime->setObjectName(QStringLiteral("sldTime"));
    cmdPrevAlarm->setObjectName(QStringLiteral("cmdPrevAlarm"));
    cmdNextAlarm->setObjectName(QStringLiteral("cmdNextAlarm"));
    txtGoTo->setObjectName(QStringLiteral("txtGoTo"));
    cmdGoTo->setObjectName(QStringLiteral("cmdGoTo"));
    lblNote->setObjectName(QStringLiteral("lblNote"));

    lblTime->setTextFormat(Qt::PlainText);
    QFont big = lblTime->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    lblTime->setFont(big);
    lblNote->setTextFormat(Qt::PlainText); // it quotes item names and values
    lblNote->setWordWrap(true);
    lblNote->setText(tr("Replay of the history: commands are not sent to the car."));
    txtGoTo->setDisplayFormat(kTimeFormat);
    txtGoTo->setCalendarPopup(true);
    for (const double s : speeds())
        cboSpeed->addItem(speedText(s), s);
    sldTime->setTracking(false);

    auto *grid = new QGridLayout(this);
    grid->addWidget(lblTime, 0, 0, 1, 3);
    grid->addWidget(cmdPlay, 0, 3);
    grid->addWidget(cboSpeed, 0, 4);
    grid->addWidget(sldTime, 1, 0, 1, 5);
    grid->addWidget(cmdPrevAlarm, 2, 0);
    grid->addWidget(cmdNextAlarm, 2, 1);
    grid->addWidget(txtGoTo, 2, 3);
    grid->addWidget(cmdGoTo, 2, 4);
    grid->addWidget(lblNote, 3, 0, 1, 5);
    grid->setColumnStretch(2, 1);

    auto showPlaying = [this](bool playing) { cmdPlay->setText(playing ? tr("Pause") : tr("Play")); };
    showPlaying(session.isPlaying());
    connect(&session, &ReplaySession::playingChanged, this, showPlaying);
    connect(cmdPlay, &QPushButton::clicked, this,
            [this] { m_session.isPlaying() ? m_session.pause() : m_session.play(); });

    const auto at = std::find(speeds().begin(), speeds().end(), session.speed());
    cboSpeed->setCurrentIndex(at == speeds().end() ? 2 : int(at - speeds().begin()));
    connect(cboSpeed, &QComboBox::activated, this,
            [this](int index) { m_session.setSpeed(cboSpeed->itemData(index).toDouble()); });

    connect(&session, &ReplaySession::timeChanged, this, &ReplayWindow::showTime);
    connect(&session, &ReplaySession::rangeChanged, this, &ReplayWindow::showRange);
    connect(&session, &ReplaySession::marksChanged, this, &ReplayWindow::showMarks);
    connect(sldTime, &QSlider::sliderMoved, this, [this](int v) {
        lblTime->setText(QDateTime::fromMSecsSinceEpoch(m_originMs + qint64(v) * 1000).toString(kTimeFormat));
    });
    connect(sldTime, &QSlider::valueChanged, this, [this](int v) {
        if (toSlider(m_session.timeMs()) != v)
            m_session.seek(m_originMs + qint64(v) * 1000);
    });
    connect(cmdPrevAlarm, &QPushButton::clicked, this, [this] {
        if (const auto t = m_session.previousMarkSeek())
            m_session.seek(*t);
    });
    connect(cmdNextAlarm, &QPushButton::clicked, this, [this] {
        if (const auto t = m_session.nextMarkSeek())
            m_session.seek(*t);
    });
    connect(cmdGoTo, &QPushButton::clicked, this, &ReplayWindow::seekTyped);
    connect(txtGoTo, &QDateTimeEdit::editingFinished, this, [this] {
        if (txtGoTo->hasFocus())
            seekTyped();
    });
    connect(&tags, &ReplayTagSource::pokeRefused, this, [this](const TagAddress &address, const QString &value) {
        lblNote->setText(tr("Not sent: %1 = %2. A replay writes nothing to the car.").arg(address.item, value));
    });

    showRange();
    showMarks();
    showTime(session.timeMs());
}

int ReplayWindow::toSlider(qint64 utcMs) const
{
    return int(qBound(qint64(sldTime->minimum()), (utcMs - m_originMs) / 1000, qint64(sldTime->maximum())));
}

void ReplayWindow::showTime(qint64 utcMs)
{
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(utcMs);
    if (!sldTime->isSliderDown()) {
        lblTime->setText(t.toString(kTimeFormat));
        const QSignalBlocker quiet(sldTime);
        sldTime->setValue(toSlider(utcMs));
    }
    if (!txtGoTo->hasFocus())
        txtGoTo->setDateTime(t);
}

void ReplayWindow::showRange()
{
    const auto range = m_session.range();
    sldTime->setEnabled(range.has_value());
    if (!range)
        return;
    m_originMs = range->firstMs;
    const QSignalBlocker quiet(sldTime);
    sldTime->setRange(0, int(qMin<qint64>((range->lastMs - range->firstMs) / 1000, std::numeric_limits<int>::max())));
    txtGoTo->setDateTimeRange(QDateTime::fromMSecsSinceEpoch(range->firstMs),
                              QDateTime::fromMSecsSinceEpoch(range->lastMs));
    showTime(m_session.timeMs());
    showMarks();
}

void ReplayWindow::showMarks()
{
    std::vector<int> marks;
    for (const AlarmRecord &r : m_session.alarmMarks())
        marks.push_back(toSlider(r.tMs));
    sldTime->setMarks(std::move(marks));
    cmdPrevAlarm->setEnabled(!m_session.alarmMarks().empty());
    cmdNextAlarm->setEnabled(!m_session.alarmMarks().empty());
}

void ReplayWindow::seekTyped()
{
    m_session.seek(txtGoTo->dateTime().toMSecsSinceEpoch());
}

} // namespace corvane::history
