// Renders every screen of the station, offscreen, on the simulated car, in virtual
// time: the same pictures every run.
#include "core/alarm/AlarmLogger.h"
#include "core/time/VirtualScheduler.h"
#include "history/HistoryReader.h"
#include "history/HistoryStore.h"
#include "history/RecordingTagSource.h"
#include "history/ReplaySession.h"
#include "history/ReplayTagSource.h"
#include "history/ReplayWindow.h"
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
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>
#include <cstdio>

using namespace corvane;

namespace {

// Windows stacked with their title bars, as the desktop shows them side by side.
QPixmap framed(const QList<QWidget *> &windows)
{
    constexpr int kBar = 24, kSpace = 8;
    int width = 0, height = 0;
    for (const QWidget *w : windows) {
        width = qMax(width, w->width());
        height += kBar + w->height() + kSpace;
    }
    QPixmap out(width, height - kSpace);
    out.fill(Qt::white);
    QPainter p(&out);
    int y = 0;
    for (QWidget *w : windows) {
        p.fillRect(0, y, w->width(), kBar, QColor(0x2B, 0x4C, 0x7E));
        p.setPen(Qt::white);
        p.drawText(QRect(8, y, w->width() - 16, kBar), Qt::AlignVCenter | Qt::AlignLeft, w->windowTitle());
        p.drawPixmap(0, y + kBar, w->grab());
        y += kBar + w->height() + kSpace;
    }
    return out;
}

// The main car screen in a replay of the recording, with the replay's controls.
bool renderReplay(const QString &historyPath, const QDateTime &at, const QString &file)
{
    history::ReplayTitles titles;
    qApp->installEventFilter(&titles);
    VirtualScheduler clock(at);
    history::ReplayTagSource tags(clock);
    Station station(clock, tags, QString());
    registerAllScreens(station);
    history::ReplaySession session(station, clock, tags, historyPath);
    session.setScreensAtSeek({QStringLiteral("frmCVCarmain")});
    session.setSpeed(16);
    history::ReplayWindow controls(session, tags);
    bool loaded = false;
    QObject::connect(&session, &history::ReplaySession::seekDone, [&] { loaded = true; });
    session.seek(at.toMSecsSinceEpoch());
    const qint64 until = at.toMSecsSinceEpoch() + 95'000;
    for (int i = 0; i < 5000 && (!loaded || session.timeMs() < until || session.alarmMarks().empty()); ++i) {
        session.readAhead();
        if (loaded && session.timeMs() < until)
            session.step(until - session.timeMs());
        QCoreApplication::processEvents();
    }
    controls.show();
    QCoreApplication::processEvents();
    QWidget *carMain = station.screens().find(QStringLiteral("frmCVCarmain"))->window();
    const bool ok = loaded && carMain && framed({carMain, &controls}).save(file);
    if (ok)
        std::printf("%s\n", qPrintable(file));
    else
        std::fprintf(stderr, "replay: cannot render %s\n", qPrintable(file));
    station.shutDown();
    qApp->removeEventFilter(&titles);
    return ok;
}

} // namespace

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
    // Its alarm lines too, as the station keeps them: the replay's slider marks them.
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
    if (!renderReplay(historyConfig.path, scheduler.now().addSecs(-10 * 60),
                      QDir(outDir).filePath(QStringLiteral("replay.png"))))
        ++failures;
    station.shutDown();
    return failures == 0 ? 0 : 1;
}
