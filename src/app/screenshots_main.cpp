// Renders every screen of the station, offscreen, on the simulated car, in virtual
// time: the same pictures every run.
#include "core/alarm/AlarmLogger.h"
#include "core/time/VirtualScheduler.h"
#include "history/HistoryReader.h"
#include "history/HistoryStore.h"
#include "history/RecordingTagSource.h"
#include "history/TrendWindow.h"
#include "screens/AllScreens.h"
#include "sim/SimulatedCar.h"
#include "station/Screen.h"
#include "station/ScreenRegistry.h"
#include "station/Station.h"
#include "transport/InProcessServer.h"
#include "ui/Look.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <cstdio>

using namespace corvane;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    applyStationLook();
    const QStringList args = QCoreApplication::arguments();
    const QString outDir = args.size() > 1 ? args.at(1) : QStringLiteral("docs/screenshots");
    const qint64 runMs = args.size() > 2 ? args.at(2).toLongLong() * 1000 : 95'000;
    QDir().mkpath(outDir);

    VirtualScheduler scheduler(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 0)));
    InProcessServer server(scheduler);
    sim::DemoCar demo(scheduler, server, 7);
    QTemporaryDir logDir;
    // Recorded as the station records, on virtual time, for the trend's picture.
    const auto virtualUtc = [&scheduler] { return scheduler.now().toMSecsSinceEpoch(); };
    history::HistoryConfig historyConfig;
    historyConfig.path = logDir.filePath(QStringLiteral("history.sqlite"));
    historyConfig.retentionDays = 100'000;
    history::HistoryStore historyStore(historyConfig);
    history::RecordingTagSource recorded(server, &historyStore, virtualUtc);
    Station station(scheduler, recorded, logDir.filePath(QStringLiteral("alarm_log.txt")));
    registerAllScreens(station);
    QObject::connect(&station.alarms(), &AlarmLogger::lineRaised,
                     [&](const QString &line) { historyStore.addAlarmLine(virtualUtc(), line); });

    auto settle = [&](qint64 ms) {
        scheduler.advance(ms);
        QCoreApplication::processEvents();
    };
    station.screens().show(QStringLiteral("frmSelect"));
    station.screens().show(QStringLiteral("frmCVCarmain"));
    settle(runMs);

    int failures = 0;
    for (const QString &name : station.screens().formNames()) {
        Screen *screen = station.screens().find(name);
        screen->show();
        settle(700);
        if (!screen->isLoaded()) {
            screen->show();
            settle(250);
        }
        QWidget *w = screen->window();
        if (!w) {
            std::fprintf(stderr, "%s: not loaded\n", qPrintable(name));
            ++failures;
            continue;
        }
        const QString file = QDir(outDir).filePath(name + QStringLiteral(".png"));
        if (!w->grab().save(file)) {
            std::fprintf(stderr, "%s: cannot write %s\n", qPrintable(name), qPrintable(file));
            ++failures;
            continue;
        }
        std::printf("%s\n", qPrintable(file));
    }
    // The speed gauge's trend as its right-click opens it, the hand brake's flag added,
    // the last 10 minutes of a longer run in which the data server was gone for 40 s;
    // the cursor pinned in the middle.
    settle(6 * 60'000);
    server.setPresent(false);
    settle(40'000);
    server.setPresent(true);
    settle(6 * 60'000);
    historyStore.flush();
    history::HistoryReader historyReader(historyConfig.path);
    history::TrendWindows trends(
            historyReader, virtualUtc, [&station](const QString &item) { return station.words(item); }, &recorded);
    station.screens().makeVisible(QStringLiteral("frmCVCarmain"));
    const Screen *carMain = station.screens().find(QStringLiteral("frmCVCarmain"));
    const QWidget *speed = carMain ? carMain->control<QWidget>(QStringLiteral("lblMPHV10020")) : nullptr;
    if (!speed || carMain->trendItems(speed).isEmpty()) {
        std::fprintf(stderr, "trend: the speed gauge offers no trend\n");
        return 1;
    }
    const QString speedItem = carMain->trendItems(speed).front();
    history::TrendWindow *trend = trends.show(speedItem, carMain->trendWords(speed, speedItem));
    const auto settleTrend = [&] {
        for (int i = 0; i < 400 && !(trend->settled() && trend->recordedItems().contains(QStringLiteral("c27"))); ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    };
    settleTrend();
    trend->addPen(QStringLiteral("c27"));
    trend->showLast(10 * 60'000);
    settleTrend();
    trend->setCursorAt((trend->fromMs() + trend->toMs()) / 2, true);
    const QString trendFile = QDir(outDir).filePath(QStringLiteral("trend.png"));
    if (trend->settled() && trend->penCount() == 2 && trend->grab().save(trendFile)) {
        std::printf("%s\n", qPrintable(trendFile));
    } else {
        std::fprintf(stderr, "trend: cannot draw or write %s\n", qPrintable(trendFile));
        ++failures;
    }
    station.shutDown();
    return failures == 0 ? 0 : 1;
}
