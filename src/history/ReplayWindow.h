#pragma once

#include <QSlider>
#include <QWidget>
#include <vector>

class QComboBox;
class QDateTimeEdit;
class QLabel;
class QPushButton;

namespace corvane::history {

class ReplaySession;
class ReplayTagSource;

// Installed on the application, it ends every window's title in " [REPLAY]",
// whatever sets the title and when.
class ReplayTitles final : public QObject
{
public:
    static constexpr char16_t kSuffix[] = u" [REPLAY]";
    bool eventFilter(QObject *watched, QEvent *event) override;
};

// A slider over the recorded range with a tick for each alarm line.
class MarkedSlider : public QSlider
{
public:
    using QSlider::QSlider;
    void setMarks(std::vector<int> values);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::vector<int> m_marks;
};

// The replay's controls beside the station's screens (it is none of them): the
// replayed date and time, play and pause, speed, the recorded range with its alarm
// lines, the way to the previous or next line, and a typed time to go to.
class ReplayWindow : public QWidget
{
    Q_OBJECT
public:
    ReplayWindow(ReplaySession &session, ReplayTagSource &tags, QWidget *parent = nullptr);

    // Speeds offered, slowest first.
    static const std::vector<double> &speeds();

private:
    void showTime(qint64 utcMs);
    void showRange();
    void showMarks();
    void seekTyped();
    int toSlider(qint64 utcMs) const;

    ReplaySession &m_session;
    QLabel *lblTime;
    QPushButton *cmdPlay;
    QComboBox *cboSpeed;
    MarkedSlider *sldTime;
    QPushButton *cmdPrevAlarm;
    QPushButton *cmdNextAlarm;
    QDateTimeEdit *txtGoTo;
    QPushButton *cmdGoTo;
    QLabel *lblNote;
    qint64 m_originMs = 0;
};

} // namespace corvane::history
