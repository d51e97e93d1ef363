#pragma once

#include "ReplayReader.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <optional>
#include <vector>

namespace corvane {
class HandOff;
class Station;
class VirtualScheduler;
} // namespace corvane

namespace corvane::history {

class ReplayTagSource;

// A replay of the history through the station's own screens. The station runs on a
// virtual scheduler whose wall clock is the replayed time; the session reads the
// recorded changes ahead of it (off the UI thread) and moves that clock on at a speed
// of real time, never past what is loaded, so every change arrives in order.
class ReplaySession : public QObject
{
    Q_OBJECT
public:
    static constexpr double kMinSpeed = 0.25;
    static constexpr double kMaxSpeed = 64;

    ReplaySession(Station &station, VirtualScheduler &scheduler, ReplayTagSource &tags, const QString &historyPath,
                  QObject *parent = nullptr);
    ~ReplaySession() override;

    // Shown again at every seek, in this order, as the crew had them open.
    void setScreensAtSeek(const QStringList &forms) { m_forms = forms; }

    // The screens unload, the station's clock is set to utcMs, and once the state then
    // is read the screens load again with it (seekDone).
    void seek(qint64 utcMs);
    bool isSeeking() const { return m_seeking; }

    void play();
    void pause();
    bool isPlaying() const { return m_playing; }
    // Clamped to kMinSpeed..kMaxSpeed.
    void setSpeed(double speed);
    double speed() const { return m_speed; }

    qint64 timeMs() const;
    std::optional<RecordedRange> range() const { return m_range; }
    const std::vector<AlarmRecord> &alarmMarks() const { return m_marks; }
    // Where "next alarm line" and "previous alarm line" seek to: kMarkLeadMs before
    // the first line after (or the last line before) the replayed time.
    static constexpr qint64 kMarkLeadMs = 2000;
    std::optional<qint64> nextMarkSeek() const;
    std::optional<qint64> previousMarkSeek() const;

    // Moves the replayed time on by up to ms, as far as loaded changes allow; what the
    // real-time pump does, and what a test calls. Returns how far it went.
    qint64 step(qint64 ms);
    // Reads ahead when the loaded changes run short (the pump does it on each tick).
    void readAhead();
    QString readerError() const { return m_reader->error(); }

Q_SIGNALS:
    void rangeChanged();
    void marksChanged();
    void timeChanged(qint64 utcMs);
    void seekDone(qint64 utcMs);
    void playingChanged(bool playing);

private:
    void pump();
    void refreshRange();

    Station &m_station;
    VirtualScheduler &m_scheduler;
    ReplayTagSource &m_tags;
    HandOff *m_handOff;
    std::unique_ptr<ReplayReader> m_reader;
    QStringList m_forms;
    std::optional<RecordedRange> m_range;
    std::vector<AlarmRecord> m_marks;

    quint64 m_generation = 0; // answers for an earlier seek are dropped
    bool m_seeking = false;
    bool m_reading = false;
    bool m_playing = false;
    double m_speed = 1;
    QTimer m_pumpTimer;
    QElapsedTimer m_real;
    double m_owedMs = 0; // replayed time due but not yet run
};

} // namespace corvane::history
