#include "TestStation.h"

#include "core/alarm/AlarmLogger.h"
#include "station/FrmAlarmlist.h"

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>

#include <atomic>
#include <csignal>
#include <functional>
#include <mutex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvane;
using namespace corvane::test;

namespace {

const QString kList = QStringLiteral("frmAlarmlist");

QStringList numbered(int from, int to)
{
    QStringList out;
    for (int i = from; i <= to; ++i)
        out << QStringLiteral("FAULT T%1 line  ").arg(i);
    return out;
}

// The lines of the file without their time stamps (the 19 characters at the end).
QStringList messages(const QStringList &lines)
{
    QStringList out;
    for (const QString &l : lines)
        out << l.chopped(19);
    return out;
}

// Ways the log file stops taking lines, each with its mend.
using Step = std::function<void(const QString &path)>;
struct Breakage
{
    Step breakIt;
    Step mendIt;
};

Breakage folderIsAFile()
{
    return {[](const QString &path) {
                QFile f(QFileInfo(path).absolutePath());
                QVERIFY(f.open(QIODevice::WriteOnly));
            },
            [](const QString &path) { QVERIFY(QFile::remove(QFileInfo(path).absolutePath())); }};
}

Breakage directoryInPlaceOfTheFile()
{
    return {[](const QString &path) { QVERIFY(QDir().mkpath(path)); },
            [](const QString &path) { QVERIFY(QDir().rmdir(path)); }};
}

Breakage diskFull()
{
    return {[](const QString &path) {
                QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
                QVERIFY(QFile::link(QStringLiteral("/dev/full"), path));
            },
            [](const QString &path) { QVERIFY(QFile::remove(path)); }};
}

Breakage readOnlyFile()
{
    return {[](const QString &path) {
                QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
                QFile f(path);
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.close();
                QVERIFY(f.setPermissions(QFileDevice::ReadOwner));
            },
            [](const QString &path) {
                QVERIFY(QFile(path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
            }};
}

// A sync function that records, for each call, when it started and how much of the
// file it found: what that sync made durable.
struct SyncRecorder
{
    using Clock = DiskSyncer::Clock;
    struct Call
    {
        Clock::time_point at;
        qint64 size;
    };
    std::mutex mutex;
    std::vector<Call> calls;
    std::atomic<bool> fail{false};

    DiskSyncer::SyncFunction function()
    {
        return [this](const QByteArray &path) {
            std::lock_guard lock(mutex);
            calls.push_back({Clock::now(), QFileInfo(QFile::decodeName(path)).size()});
            return !fail;
        };
    }
    std::vector<Call> snapshot()
    {
        std::lock_guard lock(mutex);
        return calls;
    }
    int count() { return int(snapshot().size()); }
    qint64 lastSize()
    {
        const auto c = snapshot();
        return c.empty() ? -1 : c.back().size;
    }
};

void appendLine(const QString &path, int n)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Append));
    f.write(QByteArray("FAULT T") + QByteArray::number(n) + " line  14:03:07 06/21/2004\r\n");
}

} // namespace

Q_DECLARE_METATYPE(Breakage)

class TestAlarmLogger : public QObject
{
    Q_OBJECT

    static AlarmLogger &logger(TestStation &t) { return t.station->alarms(); }
    static QString textBox(TestStation &t) { return t.control<QLineEdit>(kList, "txtAlarm")->text(); }

private Q_SLOTS:
    void lineIsMessageThenStampWithNothingBetween_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("line");
        QTest::newRow("afternoon, two blanks kept")
                << "FAULT C27 Handbrake ON, Car Moving  " << QDateTime(QDate(2004, 6, 21), QTime(14, 3, 7))
                << "FAULT C27 Handbrake ON, Car Moving  14:03:07 06/21/2004";
        QTest::newRow("midnight is 00") << "CLEAR X200 Phase Fault Relay  "
                                        << QDateTime(QDate(2005, 1, 1), QTime(0, 0, 0))
                                        << "CLEAR X200 Phase Fault Relay  00:00:00 01/01/2005";
        QTest::newRow("24-hour clock, last second of the year")
                << "WARN C511 one blank " << QDateTime(QDate(2004, 12, 31), QTime(23, 59, 59))
                << "WARN C511 one blank 23:59:59 12/31/2004";
        QTest::newRow("morning, single digits padded")
                << "FAULT X226 Generator Control OFF  " << QDateTime(QDate(2026, 7, 3), QTime(9, 5, 2))
                << "FAULT X226 Generator Control OFF  09:05:02 07/03/2026";
    }
    void lineIsMessageThenStampWithNothingBetween()
    {
        QFETCH(QString, message);
        QFETCH(QDateTime, when);
        QFETCH(QString, line);
        TestStation t;
        t.scheduler.setWallClock(when);
        logger(t).raise(message);
        QCOMPARE(logger(t).lastLine(), line);
        QCOMPARE(t.alarmLogBytes(), line.toUtf8() + "\r\n"); // CR LF on every platform
        QCOMPARE(t.alarmListLines(), QStringList{line});
        QCOMPARE(textBox(t), line);
    }

    void theFileHasTheLineBeforeTheListDoes()
    {
        TestStation t;
        t.screens().load(kList);
        auto *view = t.control<QAbstractItemView>(kList, "lstAlarm");
        QStringList fileWhenListed;
        connect(view->model(), &QAbstractItemModel::rowsInserted, this,
                [&] { fileWhenListed << QString::fromUtf8(t.alarmLogBytes()); });
        logger(t).raise(QStringLiteral("FAULT C27 Handbrake ON, Car Moving  "));
        QCOMPARE(fileWhenListed.size(), 1);
        QCOMPARE(fileWhenListed.first(), logger(t).lastLine() + QStringLiteral("\r\n"));
    }

    void linesAreAppendedInOrderAfterAnEarlierRun()
    {
        TestStation t;
        QVERIFY(QDir().mkpath(QFileInfo(t.alarmLogPath()).absolutePath()));
        QFile old(t.alarmLogPath());
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("an earlier run\r\n");
        old.close();
        logger(t).raise(QStringLiteral("FAULT C27 Handbrake ON, Car Moving  "));
        t.advance(2000);
        logger(t).raise(QStringLiteral("CLEAR C27 Handbrake ON, Car Moving  "));
        QCOMPARE(t.alarmLogLines(),
                 QStringList({"an earlier run", "FAULT C27 Handbrake ON, Car Moving  14:03:00 06/21/2004",
                              "CLEAR C27 Handbrake ON, Car Moving  14:03:02 06/21/2004"}));
        QCOMPARE(t.alarmListLines(), t.alarmLogLines().mid(1));
    }

    void theLoggerCreatesTheListHiddenAndNeverChangesItsVisibility()
    {
        TestStation t;
        QVERIFY(!t.screens().isLoaded(kList));
        logger(t).raise(QStringLiteral("FAULT A  "));
        QVERIFY(t.screens().isLoaded(kList));
        QVERIFY(!t.screen(kList)->isVisible());
        t.screens().show(kList);
        logger(t).raise(QStringLiteral("FAULT B  "));
        QVERIFY(t.screen(kList)->isVisible());
        QCOMPARE(t.alarmListLines().size(), 2);
    }

    void clearEmptiesOnlyTheListAndHideKeepsCollecting()
    {
        TestStation t;
        t.screens().show(kList);
        logger(t).raise(QStringLiteral("FAULT A  "));
        logger(t).raise(QStringLiteral("FAULT B  "));
        t.control<QPushButton>(kList, "cmdAlarmList")->click();
        QVERIFY(t.alarmListLines().isEmpty());
        QCOMPARE(textBox(t), logger(t).lastLine());
        t.control<QPushButton>(kList, "cmdHidefrmAlarmlist")->click();
        QVERIFY(t.screens().isLoaded(kList));
        QVERIFY(!t.screen(kList)->isVisible());
        logger(t).raise(QStringLiteral("FAULT C  "));
        QCOMPARE(messages(t.alarmListLines()), QStringList{"FAULT C  "});
        QCOMPARE(messages(t.alarmLogLines()), QStringList({"FAULT A  ", "FAULT B  ", "FAULT C  "}));
    }

    void theListFollowsNewLinesOnlyWhileAtItsEnd()
    {
        TestStation t;
        t.screens().show(kList);
        auto *view = t.control<QAbstractItemView>(kList, "lstAlarm");
        QScrollBar *bar = view->verticalScrollBar();
        for (int i = 0; i < 200; ++i)
            logger(t).raise(QStringLiteral("FAULT T%1  ").arg(i));
        t.settle();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        bar->setValue(10); // the operator reads older lines
        logger(t).raise(QStringLiteral("FAULT later  "));
        t.settle();
        QCOMPARE(bar->value(), 10);
        bar->setValue(bar->maximum());
        logger(t).raise(QStringLiteral("FAULT last  "));
        t.settle();
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(view->visualRect(view->model()->index(view->model()->rowCount() - 1, 0)).isValid());

        // Lines raised while hidden are in view when the list is shown again.
        bar->setValue(10);
        t.screens().hide(kList);
        for (int i = 0; i < 50; ++i)
            logger(t).raise(QStringLiteral("FAULT hidden %1  ").arg(i));
        t.screens().show(kList);
        t.settle();
        QCOMPARE(bar->value(), bar->maximum());
    }

    void unloadingTheListLosesItsLinesAndTheNextLineStartsAFreshOne()
    {
        TestStation t;
        logger(t).raise(QStringLiteral("FAULT A  "));
        t.screens().unload(kList);
        t.settle(); // what the old window still had queued finds it gone
        logger(t).raise(QStringLiteral("FAULT B  "));
        t.settle();
        QCOMPARE(messages(t.alarmListLines()), QStringList{"FAULT B  "});
    }

    void aFailingFileKeepsEveryLineAndWritesThemInOrderWhenItRecovers_data()
    {
        QTest::addColumn<Breakage>("breakage");
        QTest::addColumn<bool>("recoverByTimer");
        const std::pair<const char *, Breakage> ways[] = {
                {"folder is a file", folderIsAFile()},
                {"directory in place of the file", directoryInPlaceOfTheFile()},
                {"disk full (/dev/full)", diskFull()},
                {"read-only file", readOnlyFile()},
        };
        for (const auto &[name, b] : ways) {
            QTest::addRow("%s, next line", name) << b << false;
            QTest::addRow("%s, retry timer", name) << b << true;
        }
    }
    void aFailingFileKeepsEveryLineAndWritesThemInOrderWhenItRecovers()
    {
        QFETCH(Breakage, breakage);
        QFETCH(bool, recoverByTimer);
        if (QByteArray(QTest::currentDataTag()).startsWith("read-only") && geteuid() == 0)
            QSKIP("permissions do not stop root");
        TestStation t;
        QSignalSpy writable(&logger(t), &AlarmLogger::fileWritableChanged);
        breakage.breakIt(t.alarmLogPath());

        for (const QString &m : numbered(1, 3))
            logger(t).raise(m);
        // The station goes on: the list and the text box have every line at once.
        QCOMPARE(messages(t.alarmListLines()), numbered(1, 3));
        QCOMPARE(textBox(t), logger(t).lastLine());
        QCOMPARE(logger(t).pendingCount(), 3);
        QCOMPARE(writable.size(), 1);
        QCOMPARE(writable.at(0).at(0).toBool(), false);

        t.advance(AlarmLogger::kRetryMs * 2); // retries that fail change nothing
        QCOMPARE(logger(t).pendingCount(), 3);

        breakage.mendIt(t.alarmLogPath());
        if (recoverByTimer) {
            t.advance(AlarmLogger::kRetryMs);
            QCOMPARE(messages(t.alarmLogLines()), numbered(1, 3));
        }
        logger(t).raise(QStringLiteral("FAULT T4 line  "));
        QCOMPARE(messages(t.alarmLogLines()), numbered(1, 4));
        QCOMPARE(t.alarmLogLines(), t.alarmListLines());
        QVERIFY(t.alarmLogBytes().endsWith("\r\n"));
        QCOMPARE(t.alarmLogBytes().count("\r\n"), 4);
        QCOMPARE(logger(t).pendingCount(), 0);
        QCOMPARE(writable.size(), 2);
        QVERIFY(logger(t).fileWritable());
    }

    void pastTheCapTheOldestGoAndTheFileSaysHowMany()
    {
        TestStation t;
        const Breakage b = directoryInPlaceOfTheFile();
        b.breakIt(t.alarmLogPath());
        const int extra = 7;
        const int total = int(AlarmLogger::kMaxPending) + extra;
        for (int i = 1; i <= total; ++i)
            logger(t).raise(QStringLiteral("FAULT T%1 line  ").arg(i));
        QCOMPARE(logger(t).pendingCount(), AlarmLogger::kMaxPending);
        QCOMPARE(logger(t).droppedCount(), qint64(extra));
        QCOMPARE(t.alarmListLines().size(), total); // the list lost nothing

        b.mendIt(t.alarmLogPath());
        t.advance(AlarmLogger::kRetryMs);
        // The backlog goes in chunks, between other events: let them all run.
        for (int i = 0; i < 1000 && logger(t).pendingCount() > 0; ++i)
            t.settle();
        const QStringList lines = t.alarmLogLines();
        QCOMPARE(lines.size(), int(AlarmLogger::kMaxPending) + 1);
        QCOMPARE(lines.first(), AlarmLogger::droppedLine(extra, t.scheduler.now()));
        QVERIFY(lines.first().startsWith(QStringLiteral("DROPPED 7 alarm lines")));
        QCOMPARE(lines.at(1).chopped(19), QStringLiteral("FAULT T%1 line  ").arg(extra + 1));
        QCOMPARE(lines.last().chopped(19), QStringLiteral("FAULT T%1 line  ").arg(total));
        QCOMPARE(logger(t).droppedCount(), 0);
    }

    void linesStillWaitingAtExitAreTriedOnceMore()
    {
        QString path;
        {
            TestStation t;
            path = t.alarmLogPath();
            const Breakage b = folderIsAFile();
            b.breakIt(path);
            logger(t).raise(QStringLiteral("FAULT A  "));
            b.mendIt(path);
            t.station.reset();
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY(f.readAll().startsWith("FAULT A  "));
        }
    }

    // A run that ended mid-line (killed, power cut) must not have the next run's first
    // line glued to its torn one.
    void aTornLastLineIsEndedBeforeTheNextRunsFirstLine_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("separator");
        QTest::newRow("no file") << QByteArray() << QByteArray();
        QTest::newRow("empty file") << QByteArray("") << QByteArray();
        QTest::newRow("whole line") << QByteArray("CLEAR C27 old  14:03:00 06/21/2004\r\n") << QByteArray();
        QTest::newRow("torn mid-message")
                << QByteArray("CLEAR C27 old  14:03:00 06/21/2004\r\nFAULT C27 Han") << QByteArray("\r\n");
        QTest::newRow("torn between CR and LF")
                << QByteArray("FAULT C27 old  14:03:00 06/21/2004\r") << QByteArray("\n");
    }
    void aTornLastLineIsEndedBeforeTheNextRunsFirstLine()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, separator);
        TestStation t;
        if (!before.isNull()) {
            QVERIFY(QDir().mkpath(QFileInfo(t.alarmLogPath()).absolutePath()));
            QFile f(t.alarmLogPath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(before);
        }
        logger(t).raise(QStringLiteral("FAULT A  "));
        const QByteArray a = logger(t).lastLine().toUtf8() + "\r\n";
        logger(t).raise(QStringLiteral("FAULT B  "));
        const QByteArray b = logger(t).lastLine().toUtf8() + "\r\n";
        QCOMPARE(t.alarmLogBytes(), before + separator + a + b);
    }

    // The real sync on each kind of path: never blocks, never crashes, fails only
    // where nothing could be made durable.
    void theFileSyncCopesWithWhatThePathIs_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("synced");
        QTest::newRow("regular file") << "file" << true;
        QTest::newRow("regular file, read-only") << "read-only" << true;
        QTest::newRow("missing (renamed away)") << "missing" << false;
        QTest::newRow("missing folder") << "no-folder" << false;
        QTest::newRow("directory") << "directory" << true;
        QTest::newRow("fifo with no writer") << "fifo" << true;
        QTest::newRow("device") << "device" << true;
    }
    void theFileSyncCopesWithWhatThePathIs()
    {
        QFETCH(QString, kind);
        QFETCH(bool, synced);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("alarm_log.txt"));
        if (kind == u"file" || kind == u"read-only") {
            appendLine(path, 1);
            if (kind == u"read-only")
                QVERIFY(QFile(path).setPermissions(QFileDevice::ReadOwner));
        } else if (kind == u"no-folder") {
            path = dir.filePath(QStringLiteral("gone/alarm_log.txt"));
        } else if (kind == u"directory") {
            QVERIFY(QDir().mkpath(path));
        } else if (kind == u"fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == u"device") {
            path = QStringLiteral("/dev/null");
        }
        DiskSyncer::SyncFunction sync = DiskSyncer::fileSync();
        QCOMPARE(sync(QFile::encodeName(path)), synced);
        QCOMPARE(sync(QFile::encodeName(path)), synced); // the folder once, the file each time
    }

    // The syncer on its own thread, in real time, with a short interval so the test
    // stays short; a recording sync function stands in for the disk.
    void appendsAreSyncedSoonAndBurstsShareOneSync()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("alarm_log.txt"));
        SyncRecorder recorder;
        // Longer than the burst takes, even on a loaded machine.
        constexpr auto interval = std::chrono::milliseconds(300);
        DiskSyncer syncer(path, recorder.function(), interval);

        appendLine(path, 1);
        syncer.markDirty();
        QTRY_COMPARE_WITH_TIMEOUT(recorder.count(), 1, 2000);
        QCOMPARE(recorder.lastSize(), QFileInfo(path).size());

        // A burst right after a sync: at most one more sync for all of it, which
        // covers the last line.
        for (int i = 2; i <= 200; ++i) {
            appendLine(path, i);
            syncer.markDirty();
        }
        QTRY_COMPARE_WITH_TIMEOUT(recorder.lastSize(), QFileInfo(path).size(), 2000);
        QCOMPARE(recorder.count(), 2);
        const auto calls = recorder.snapshot();
        QVERIFY(calls[1].at - calls[0].at >= interval);
        const DiskSyncer::Stats stats = syncer.stats();
        QCOMPARE(stats.syncs, 2u);
        QCOMPARE(stats.failures, 0u);
    }

    void aSteadyStreamIsSyncedAtMostOncePerInterval()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("alarm_log.txt"));
        SyncRecorder recorder;
        constexpr auto interval = std::chrono::milliseconds(20);
        DiskSyncer syncer(path, recorder.function(), interval);
        const auto start = DiskSyncer::Clock::now();
        int n = 0;
        while (DiskSyncer::Clock::now() - start < 10 * interval) {
            appendLine(path, ++n);
            syncer.markDirty();
        }
        QTRY_COMPARE_WITH_TIMEOUT(recorder.lastSize(), QFileInfo(path).size(), 2000);
        const auto calls = recorder.snapshot();
        QVERIFY2(calls.size() >= 2 && calls.size() <= 12, qPrintable(QString::number(calls.size())));
        // The recorder reads the clock a scheduling delay after the syncer starts a sync,
        // and that delay varies (a few ms under the sanitizers on a loaded machine); a
        // syncer that did not wait would start them back to back.
        constexpr auto latency = std::chrono::milliseconds(5);
        for (size_t i = 1; i < calls.size(); ++i)
            QVERIFY(calls[i].at - calls[i - 1].at >= interval - latency);
    }

    void aFailingSyncWaitsForTheNextLineInsteadOfSpinning()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("alarm_log.txt"));
        SyncRecorder recorder;
        recorder.fail = true;
        DiskSyncer syncer(path, recorder.function(), std::chrono::milliseconds(5));
        syncer.markDirty();
        QTRY_COMPARE_WITH_TIMEOUT(recorder.count(), 1, 2000);
        QTRY_VERIFY_WITH_TIMEOUT(syncer.stats().idle, 2000);
        QCOMPARE(recorder.count(), 1);
        QCOMPARE(syncer.stats().failures, 1u);
        recorder.fail = false;
        syncer.markDirty();
        QTRY_COMPARE_WITH_TIMEOUT(recorder.count(), 2, 2000);
        QCOMPARE(syncer.stats().failures, 1u);
    }

    void whatIsUnsyncedAtTheEndIsSyncedBeforeTheThreadEnds_data()
    {
        QTest::addColumn<bool>("dirty");
        QTest::newRow("line not yet synced") << true;
        QTest::newRow("nothing appended") << false;
    }
    void whatIsUnsyncedAtTheEndIsSyncedBeforeTheThreadEnds()
    {
        QFETCH(bool, dirty);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("alarm_log.txt"));
        SyncRecorder recorder;
        {
            // An interval longer than any machine's uptime: the first sync must not wait
            // for the steady clock to reach it, and only the end brings the second forward.
            DiskSyncer syncer(path, recorder.function(), std::chrono::hours(24 * 365 * 50));
            appendLine(path, 1);
            syncer.markDirty();
            QTRY_COMPARE_WITH_TIMEOUT(recorder.count(), 1, 2000);
            if (dirty) {
                appendLine(path, 2);
                syncer.markDirty();
            }
        }
        QCOMPARE(recorder.count(), dirty ? 2 : 1);
        QCOMPARE(recorder.lastSize(), QFileInfo(path).size());
    }

    void theLoggerSyncsWhatItWritesOnceTheFileTakesItAgain()
    {
        TestStation t;
        logger(t).raise(QStringLiteral("FAULT A  "));
        QTRY_COMPARE_WITH_TIMEOUT(logger(t).syncStats().syncs, 1u, 2000);
        QCOMPARE(logger(t).syncStats().failures, 0u);

        const Breakage b = directoryInPlaceOfTheFile();
        QVERIFY(QFile::remove(t.alarmLogPath()));
        b.breakIt(t.alarmLogPath());
        logger(t).raise(QStringLiteral("FAULT B  "));
        QCOMPARE(logger(t).pendingCount(), 1);
        b.mendIt(t.alarmLogPath());
        logger(t).raise(QStringLiteral("FAULT C  "));
        QTRY_COMPARE_WITH_TIMEOUT(logger(t).syncStats().syncs, 2u, 2000);
        QCOMPARE(logger(t).syncStats().failures, 0u);
        QCOMPARE(messages(t.alarmLogLines()), QStringList({"FAULT B  ", "FAULT C  "}));
    }

    // A disk that fills in the middle of a line takes half of it; once it takes writes
    // again the rest of that line follows, so no line is torn, doubled or glued.
    void aLineHalfWrittenToAFullDiskIsCompletedOnceItTakesWritesAgain()
    {
        TestStation t;
        logger(t).raise(QStringLiteral("FAULT A  "));
        const qint64 before = QFileInfo(t.alarmLogPath()).size();
        QVERIFY(before > 0);
        {
            // A file size limit stands in for the full disk: write() takes what fits and
            // then fails (EFBIG) instead of the signal ending the process.
            rlimit saved{};
            QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
            struct sigaction ignore
            {
            }, previous{};
            ignore.sa_handler = SIG_IGN;
            QVERIFY(::sigaction(SIGXFSZ, &ignore, &previous) == 0);
            const auto restore = qScopeGuard([&] {
                ::setrlimit(RLIMIT_FSIZE, &saved);
                ::sigaction(SIGXFSZ, &previous, nullptr);
            });
            rlimit full = saved;
            full.rlim_cur = rlim_t(before + 10);
            QVERIFY(::setrlimit(RLIMIT_FSIZE, &full) == 0);
            logger(t).raise(QStringLiteral("FAULT B cut in two  "));
        }
        QCOMPARE(QFileInfo(t.alarmLogPath()).size(), before + 10); // really half a line
        QCOMPARE(logger(t).pendingCount(), 1);
        logger(t).raise(QStringLiteral("FAULT C  "));
        QCOMPARE(logger(t).pendingCount(), 0);
        QVERIFY(t.alarmLogBytes().endsWith("\r\n"));
        const QRegularExpression whole(
                QStringLiteral("^FAULT [ABC][a-z ]*  \\d\\d:\\d\\d:\\d\\d \\d\\d/\\d\\d/\\d{4}$"));
        for (const QString &line : t.alarmLogLines())
            QVERIFY2(whole.match(line).hasMatch(), qPrintable(line));
        QCOMPARE(messages(t.alarmLogLines()), QStringList({"FAULT A  ", "FAULT B cut in two  ", "FAULT C  "}));
    }
};

CORVANE_TEST_MAIN(TestAlarmLogger)
#include "tst_alarmlogger.moc"
