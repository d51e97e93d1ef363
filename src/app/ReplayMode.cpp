#include "ReplayMode.h"

#include "Options.h"
#include "SignalQuit.h"
#include "StationReport.h"

#include "core/alarm/AlarmLogger.h"
#include "core/time/VirtualScheduler.h"
#include "history/HistoryReader.h"
#include "history/ReplaySession.h"
#include "history/ReplayTagSource.h"
#include "history/ReplayWindow.h"
#include "history/TrendWindow.h"
#include "screens/AllScreens.h"
#include "station/ScreenRegistry.h"
#include "station/Station.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <cstdio>

namespace corvane {

namespace {

// Closing the control window ends the replay.
class ClosingEnds final : public QObject
{
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Close)
            QCoreApplication::exit(0);
        return false;
    }
};

} // namespace

int runReplay(const StationOptions &options)
{
    history::ReplayTitles titles;
    qApp->installEventFilter(&titles);

    VirtualScheduler scheduler(*options.replayAt);
    history::ReplayTagSource tags(scheduler);
    Station station(scheduler, tags, options.alarmLog);
    // A right-click on a value offers its trend as live, up to the replayed time.
    history::HistoryReader trendReader(options.history);
    history::TrendWindows trends(
            trendReader, [&scheduler] { return scheduler.now().toMSecsSinceEpoch(); },
            [&station](const QString &item) { return station.words(item); }, &tags);
    station.setTrendOpener([&trends](const QString &item, const ItemWords &words) { trends.show(item, words); });
    registerAllScreens(station);
    station.alarms().setSyncToDisk(options.alarmSync && !options.alarmLog.isEmpty());
    if (options.echoAlarms)
        echoAlarmLines(station.alarms());

    history::ReplaySession session(station, scheduler, tags, options.history);
    session.setScreensAtSeek({QStringLiteral("frmSelect"), QStringLiteral("frmCVCarmain")});
    session.setSpeed(options.replaySpeed);
    history::ReplayWindow window(session, tags);
    ClosingEnds closing;
    window.installEventFilter(&closing);

    // A seek unloads every screen on purpose; the operator closing the last one ends it.
    QObject::connect(
            &station.screens(), &ScreenRegistry::lastScreenUnloaded, &session,
            [&session, &station] {
                if (!session.isSeeking() && station.screens().loadedCount() == 0)
                    QCoreApplication::exit(0);
            },
            Qt::QueuedConnection);
    bool started = false;
    QObject::connect(&session, &history::ReplaySession::seekDone, &session, [&] {
        if (!std::exchange(started, true)) {
            if (!session.readerError().isEmpty())
                std::fprintf(stderr, "corvane-station: %s\n", qPrintable(session.readerError()));
            session.play();
        }
    });
    installSignalQuit(*qApp);
    window.show();
    session.seek(options.replayAt->toMSecsSinceEpoch());
    const int code = QApplication::exec();
    if (options.reportAlarms)
        printAlarmReport(station);
    qApp->removeEventFilter(&titles);
    station.shutDown();
    return code;
}

} // namespace corvane
