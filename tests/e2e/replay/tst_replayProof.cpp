// Ten minutes of the simulated car recorded into a real history file, on virtual time
// (the recorder stamps with the station's own clock), then replayed through the same
// screens: the replay raises the live station's alarm lines, text for text, with the
// same time stamps, from the start at 16x in real time and from a seek in the middle.
#include "TestStation.h"

#include "core/alarm/AlarmLogger.h"
#include "history/HistoryStore.h"
#include "history/RecordingTagSource.h"
#include "history/ReplaySession.h"
#include "history/ReplayTagSource.h"
#include "screens/AllScreens.h"
#include "sim/SimulatedCar.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

using namespace corvane;
using namespace corvane::history;
using namespace corvane::test;

namespace {

const QDateTime kStart(QDate(2026, 12, 9), QTime(3, 50, 0));
constexpr qint64 kRunMs = 10 * 60'000;
constexpr qint64 kOutageFromMs = 6 * 60'000, kOutageToMs = kOutageFromMs + 30'000;

QDateTime stampOf(const QString &line)
{
    return QDateTime::fromString(line.right(19), QStringLiteral("HH:mm:ss MM/dd/yyyy"));
}

// Lines in time order, those of one time stamp by text: the history keeps changes to
// the millisecond and no order among the changes of one millisecond, so lines raised
// in one instant may come back in another order (item order); counted, not hidden.
QStringList byStamp(QStringList lines)
{
    std::stable_sort(lines.begin(), lines.end(), [](const QString &a, const QString &b) {
        return std::pair(stampOf(a), a) < std::pair(stampOf(b), b);
    });
    return lines;
}

// The largest wait of the event loop while it runs, from a 5 ms probe timer.
class GapProbe
{
public:
    GapProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { m_max = qMax(m_max, m_since.restart()); });
        m_since.start();
        m_timer.start(5);
    }
    qint64 maxMs() const { return m_max; }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_max = 0;
};

// The station on a replay of the file, as --replay builds it (no alarm log file).
struct Replay
{
    explicit Replay(const QString &path)
        : scheduler(kStart)
        , tags(scheduler)
        , station(scheduler, tags, QString())
    {
        registerAllScreens(station);
        QObject::connect(&station.alarms(), &AlarmLogger::lineRaised, [this](const QString &l) { lines << l; });
        session = std::make_unique<ReplaySession>(station, scheduler, tags, path);
        session->setScreensAtSeek({QStringLiteral("frmSelect"), QStringLiteral("frmCVCarmain")});
    }
    ~Replay()
    {
        session.reset();
        station.shutDown();
    }
    bool seek(qint64 utcMs)
    {
        QSignalSpy done(session.get(), &ReplaySession::seekDone);
        session->seek(utcMs);
        return done.wait(5000);
    }
    // On virtual time, waiting for the reader whenever the loaded changes run out.
    void runTo(qint64 utcMs)
    {
        while (session->timeMs() < utcMs) {
            session->readAhead();
            if (session->step(utcMs - session->timeMs()) == 0)
                QTest::qWait(1);
        }
    }

    VirtualScheduler scheduler;
    ReplayTagSource tags;
    Station station;
    std::unique_ptr<ReplaySession> session;
    QStringList lines;
};

} // namespace

class TestReplayProof : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_history;
    QStringList m_live;

private Q_SLOTS:
    void initTestCase()
    {
        m_history = m_dir.filePath(QStringLiteral("history.sqlite"));
        const QString log = m_dir.filePath(QStringLiteral("alarm_log.txt"));
        VirtualScheduler live(kStart);
        InProcessServer server(live);
        server.setRecording(false);
        sim::DemoCar car(live, server, 7);
        HistoryStore store({m_history, 90, [](const QString &w) { qWarning("%s", qPrintable(w)); }});
        RecordingTagSource recorded(server, &store, [&live] { return live.now().toMSecsSinceEpoch(); });
        {
            Station station(live, recorded, log);
            registerAllScreens(station);
            station.screens().show(QStringLiteral("frmSelect"));
            station.screens().show(QStringLiteral("frmCVCarmain"));
            for (qint64 t = 0; t < kRunMs; t += 100) {
                if (t == kOutageFromMs || t == kOutageToMs)
                    server.setPresent(t == kOutageToMs);
                live.advance(100);
                if (t % 1000 == 0)
                    QCoreApplication::processEvents();
            }
            station.shutDown();
        }
        store.flush();
        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        m_live = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        // The run must hold what it is meant to prove: faults, clears and the outage.
        QVERIFY2(m_live.filter(QRegularExpression(QStringLiteral("^FAULT (?!DSDATA)"))).size() >= 2,
                 qPrintable(m_live.join(u'\n')));
        QVERIFY(!m_live.filter(QStringLiteral("CLEAR DSDATA")).isEmpty());
        qInfo("live run: %lld alarm lines in 10 minutes", qint64(m_live.size()));
    }

    void fromTheStartAt16x()
    {
        Replay r(m_history);
        GapProbe probe;
        r.session->setSpeed(16);
        QVERIFY(r.seek(kStart.toMSecsSinceEpoch()));
        QElapsedTimer wall;
        wall.start();
        r.session->play();
        const qint64 end = kStart.toMSecsSinceEpoch() + kRunMs;
        QTRY_VERIFY_WITH_TIMEOUT(r.session->timeMs() >= end || !r.session->isPlaying(), 240'000);
        qInfo("16x: 10 minutes replayed in %lld ms, largest UI gap %lld ms", wall.elapsed(), probe.maxMs());
        int inOtherOrder = 0;
        for (qsizetype i = 0; i < qMin(r.lines.size(), m_live.size()); ++i)
            inOtherOrder += r.lines[i] != m_live[i] ? 1 : 0;
        qInfo("16x: %lld lines, %d of them in another order within their instant", qint64(r.lines.size()),
              inOtherOrder);
        QCOMPARE(byStamp(r.lines), byStamp(m_live));
    }

    void fromASeekInTheMiddle()
    {
        // Seek where no live line falls within a second, so "after" is plain.
        QDateTime at = kStart.addSecs(5 * 60);
        const auto near = [&](const QDateTime &t) {
            for (const QString &l : std::as_const(m_live)) {
                if (qAbs(stampOf(l).secsTo(t)) <= 1)
                    return true;
            }
            return false;
        };
        while (near(at))
            at = at.addSecs(3);
        Replay r(m_history);
        r.seek(kStart.toMSecsSinceEpoch() + 1000); // a first seek, as a user's would be
        r.runTo(kStart.toMSecsSinceEpoch() + 20'000);
        r.lines.clear();
        QVERIFY(r.seek(at.toMSecsSinceEpoch()));
        const QStringList standing = r.lines; // raised by the load itself
        r.runTo(kStart.toMSecsSinceEpoch() + kRunMs - 1000);
        QStringList after;
        for (const QString &l : std::as_const(m_live)) {
            if (stampOf(l) > at && stampOf(l) < kStart.addMSecs(kRunMs - 1000))
                after << l;
        }
        QCOMPARE(byStamp(r.lines.mid(standing.size())), byStamp(after));
        for (const QString &l : standing) {
            QCOMPARE(stampOf(l), at);
            qInfo("standing at the seek: %s", qPrintable(l));
        }
    }

    // The real program on the recording: it raises the live lines on its stdout and
    // leaves the live station's files as they were: no alarm log, the history untouched.
    void theProgramWritesNothing()
    {
        // Contents only: SQLite may make an empty write-ahead log beside the file to read it.
        const auto digest = [](const QString &path) {
            QFile f(path);
            return QCryptographicHash::hash(f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(),
                                            QCryptographicHash::Sha1);
        };
        const QByteArray before = digest(m_history) + digest(m_history + QStringLiteral("-wal"));
        QTemporaryDir state;
        QProcess station;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_STATE_HOME"), state.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        station.setProcessEnvironment(env);
        station.start(QStringLiteral(CORVANE_STATION),
                      {QStringLiteral("--replay"), kStart.toString(Qt::ISODate), QStringLiteral("--history"), m_history,
                       QStringLiteral("--speed"), QStringLiteral("64"), QStringLiteral("--echo-alarms")});
        QVERIFY(station.waitForStarted());
        // The first minute's lines, then it is ended as a user ends it.
        const QString firstMinute = kStart.addSecs(60).toString(QStringLiteral("HH:mm:ss"));
        QStringList echoed;
        QTRY_VERIFY_WITH_TIMEOUT(
                [&] {
                    while (station.canReadLine())
                        echoed << QString::fromUtf8(station.readLine()).trimmed().remove(QStringLiteral("alarm: "));
                    return !echoed.isEmpty() && echoed.last().section(u' ', -2, -2) >= firstMinute;
                }(),
                60'000);
        station.terminate();
        QVERIFY(station.waitForFinished(10'000));
        QCOMPARE(echoed.mid(0, 5), m_live.mid(0, 5));
        QVERIFY2(QDir(state.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty(),
                 "a replay wrote into the station's state folder");
        QCOMPARE(digest(m_history) + digest(m_history + QStringLiteral("-wal")), before);
    }
};

CORVANE_TEST_MAIN(TestReplayProof)
#include "tst_replayProof.moc"
