#include "ReplaySession.h"

#include "ReplayTagSource.h"
#include "core/time/HandOff.h"
#include "core/time/VirtualScheduler.h"
#include "station/ScreenRegistry.h"
#include "station/Station.h"

#include <QDateTime>

#include <algorithm>
#include <limits>

namespace corvane::history {

namespace {
constexpr int kPumpMs = 10;
// Replayed time the pump runs at most in one go, and the real time it may spend on
// its ticks before it lets the event loop in: at 64x the screens' timers fire 320
// times a second each, and the window must stay responsive.
constexpr qint64 kSliceMs = 100;
constexpr qint64 kBudgetMs = 20;
// A replay that cannot keep up runs slower rather than catching up in one long go.
constexpr double kMaxOwedRealMs = 250;
} // namespace

ReplaySession::ReplaySession(Station &station, VirtualScheduler &scheduler, ReplayTagSource &tags,
                             const QString &historyPath, QObject *parent)
    : QObject(parent)
    , m_station(station)
    , m_scheduler(scheduler)
    , m_tags(tags)
    , m_handOff(new HandOff(this))
    , m_reader(std::make_unique<ReplayReader>(historyPath))
{
    m_pumpTimer.setTimerType(Qt::PreciseTimer);
    m_pumpTimer.setInterval(kPumpMs);
    connect(&m_pumpTimer, &QTimer::timeout, this, &ReplaySession::pump);
    m_pumpTimer.start();
    m_real.start();
    refreshRange();
}

ReplaySession::~ReplaySession()
{
    m_reader.reset(); // no answer runs on after this
}

qint64 ReplaySession::timeMs() const
{
    return m_scheduler.now().toMSecsSinceEpoch();
}

void ReplaySession::seek(qint64 utcMs)
{
    const quint64 generation = ++m_generation;
    m_seeking = true;
    m_reading = false;
    m_station.screens().unloadAll();
    m_scheduler.setWallClock(QDateTime::fromMSecsSinceEpoch(utcMs));
    Q_EMIT timeChanged(utcMs);
    m_reader->seek(utcMs, [this, generation](ReplayState state) {
        m_handOff->post([this, generation, state = std::move(state)] {
            if (generation != m_generation)
                return;
            if (state.tMs != timeMs())
                m_scheduler.setWallClock(QDateTime::fromMSecsSinceEpoch(state.tMs));
            m_tags.reset(state);
            for (const QString &form : std::as_const(m_forms))
                m_station.screens().show(form);
            m_scheduler.runPending(); // the links' first values, as a load delivers them
            m_seeking = false;
            m_owedMs = 0;
            readAhead();
            Q_EMIT seekDone(timeMs());
        });
    });
}

void ReplaySession::play()
{
    if (m_playing)
        return;
    m_playing = true;
    m_owedMs = 0;
    m_real.restart();
    Q_EMIT playingChanged(true);
}

void ReplaySession::pause()
{
    if (!m_playing)
        return;
    m_playing = false;
    Q_EMIT playingChanged(false);
}

void ReplaySession::setSpeed(double speed)
{
    m_speed = qBound(kMinSpeed, speed, kMaxSpeed);
}

qint64 ReplaySession::step(qint64 ms)
{
    if (m_seeking)
        return 0;
    // Short of the recording's last instant: a station closing ends every link at once,
    // which would read as the data server lost; the crew never saw that line.
    const qint64 limit = m_range ? qMin(m_tags.loadedThrough(), m_range->lastMs - 1) : m_tags.loadedThrough();
    const qint64 go = qMax<qint64>(0, qMin(ms, limit - timeMs()));
    m_scheduler.advance(go);
    if (go > 0)
        Q_EMIT timeChanged(timeMs());
    return go;
}

void ReplaySession::readAhead()
{
    if (m_seeking || m_reading)
        return;
    // Ahead by a few seconds of real time whatever the speed, in steps of at least 10 s.
    const qint64 span = std::clamp<qint64>(qint64(m_speed * 2000), 10000, 300000);
    if (m_tags.loadedThrough() - timeMs() >= span)
        return;
    m_reading = true;
    const quint64 generation = m_generation;
    m_reader->next(span, [this, generation](std::vector<ReplayEvent> events, qint64 through) {
        m_handOff->post([this, generation, events = std::move(events), through]() mutable {
            if (generation != m_generation)
                return;
            m_reading = false;
            m_tags.append(std::move(events), through);
            if (m_range && through > m_range->lastMs)
                refreshRange(); // a station may still be recording into the file
            readAhead();
        });
    });
}

void ReplaySession::pump()
{
    const double realMs = double(m_real.restart());
    if (!m_playing || m_seeking) {
        m_scheduler.runPending();
        return;
    }
    m_owedMs = qMin(m_owedMs + realMs * m_speed, kMaxOwedRealMs * m_speed);
    QElapsedTimer spent;
    spent.start();
    while (m_owedMs >= 1 && spent.elapsed() < kBudgetMs) {
        const qint64 moved = step(qMin<qint64>(qint64(m_owedMs), kSliceMs));
        if (moved == 0)
            break; // waiting for the reader
        m_owedMs -= double(moved);
    }
    readAhead();
    if (m_range && timeMs() >= m_range->lastMs - 1 && m_tags.loadedThrough() >= m_range->lastMs)
        pause(); // the end of the recording (or of what a live station has committed so far)
}

void ReplaySession::refreshRange()
{
    m_reader->range([this](std::optional<RecordedRange> range) {
        m_handOff->post([this, range] {
            const qint64 marksFrom = m_range ? m_range->lastMs + 1 : std::numeric_limits<qint64>::min();
            m_range = range;
            Q_EMIT rangeChanged();
            if (!range || range->lastMs < marksFrom)
                return;
            m_reader->alarmLines(qMax(marksFrom, range->firstMs), range->lastMs,
                                 [this](std::vector<AlarmRecord> lines) {
                                     m_handOff->post([this, lines = std::move(lines)] {
                                         m_marks.insert(m_marks.end(), lines.begin(), lines.end());
                                         Q_EMIT marksChanged();
                                     });
                                 });
        });
    });
}

std::optional<qint64> ReplaySession::nextMarkSeek() const
{
    const qint64 now = timeMs();
    for (const AlarmRecord &r : m_marks) {
        if (r.tMs - kMarkLeadMs > now)
            return r.tMs - kMarkLeadMs;
    }
    return std::nullopt;
}

std::optional<qint64> ReplaySession::previousMarkSeek() const
{
    // Half a second of slack: pressed again right after a jump, it goes further back.
    const qint64 now = timeMs() - 500;
    std::optional<qint64> found;
    for (const AlarmRecord &r : m_marks) {
        if (r.tMs - kMarkLeadMs >= now)
            break;
        found = r.tMs - kMarkLeadMs;
    }
    return found;
}

} // namespace corvane::history
