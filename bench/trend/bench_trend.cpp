// The trend window's costs, each beside a baseline from the same run:
//   - first paint: from the window asked for a week to the chart painted, eight
//     pens against one, on a history of eight items changing 10 times a second;
//   - following live: the UI thread's CPU while values arrive at 10 a second per
//     item and the window follows them, with no window (baseline), one pen, eight.
//
//   corvane-bench-trend [--dir DIR] [--days D] [--live-seconds S] [--reuse]   (offscreen unless QT_QPA_PLATFORM is set)
#include "history/HistoryReader.h"
#include "history/HistoryStore.h"
#include "history/TrendWindow.h"
#include "station/Station.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtCharts/QChart>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <sqlite3.h>
#include <sys/resource.h>
#include <vector>

using namespace corvane;
using namespace corvane::history;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPens = 8;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

QString itemOf(int i)
{
    return QStringLiteral("v%1:b").arg(1410 + i);
}

double valueAt(int item, qint64 i)
{
    return std::round(60 + 40 * std::sin(double(i) / (3000.0 + 500 * item))) + (i % 36'000 == 0 ? 500 : 0);
}

// CPU seconds the calling thread has used.
double threadCpu()
{
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void settle(const TrendWindow *w)
{
    while (!w->settled())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// The event loop for a while, waiting when there is nothing to do.
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const auto option = [&](const char *name, const QString &fallback) {
        const qsizetype i = args.indexOf(QString::fromLatin1(name));
        return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : fallback;
    };
    QTemporaryDir tmp;
    const QString dir = option("--dir", tmp.path());
    const double days = option("--days", QStringLiteral("7")).toDouble();
    const int liveSeconds = option("--live-seconds", QStringLiteral("20")).toInt();
    const QString path = dir + QStringLiteral("/trend.sqlite");
    // --reuse: the history of an earlier run with the same --days (writing a week takes minutes).
    const bool reuse = args.contains(QStringLiteral("--reuse")) && QFile::exists(path);
    if (!reuse)
        QFile::remove(path);

    const qint64 rows = qint64(days * 864'000);
    qint64 now = QDateTime::currentMSecsSinceEpoch();
    const qint64 start = now - rows * 100;
    HistoryConfig config;
    config.path = path;
    HistoryStore store(config);
    ItemWords words;
    words.caption = QStringLiteral("Pen 0");
    std::vector<int> channels;
    for (int p = 0; p < kPens; ++p)
        channels.push_back(store.channel({QStringLiteral("DSData"), QStringLiteral("CVPlc"), itemOf(p)}));
    if (reuse) {
        now = QFileInfo(path).lastModified().toMSecsSinceEpoch();
    } else {
        QElapsedTimer t;
        t.start();
        for (qint64 i = 0; i < rows; ++i) {
            for (int p = 0; p < kPens; ++p)
                store.add(channels[size_t(p)], start + i * 100 + p, QString::number(valueAt(p, i)));
            if (i % 50'000 == 49'999)
                store.flush();
        }
        store.flush();
        std::printf("%d items, %lld rows each, 10 a second (%.1f days), written in %.1f s\n", kPens, rows, days,
                    t.elapsed() / 1000.0);
    }

    HistoryReader reader(path);
    // The eight pens as a pen set, opened the way an operator opens one.
    QStandardPaths::setTestModeEnabled(true);
    {
        QSettings(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
                          + QStringLiteral("/trend-pens.ini"),
                  QSettings::IniFormat)
                .remove(QStringLiteral("penSets"));
        TrendWindows trends(reader, [&now] { return now; });
        TrendWindow *w = trends.show(itemOf(0), words);
        while (w->recordedItems().size() < kPens)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        for (int p = 1; p < kPens; ++p)
            w->addPen(itemOf(p));
        w->savePenSet(QStringLiteral("bench"));
    }
    const qint64 week = qint64(days * 86'400'000);
    {
        // The baseline: the pens' bucket queries alone, one after the other on one
        // connection, as the reader's thread answers them.
        sqlite3 *db = nullptr;
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        for (const int pens : {1, kPens}) {
            std::vector<double> ms;
            for (int run = 0; run < 5; ++run) {
                const auto t0 = Clock::now();
                for (int p = 0; p < pens; ++p)
                    HistoryReader::bucketQuery(db, {itemOf(p), now - week, now, 700});
                ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            }
            std::printf("baseline: the bucket queries of %d pen%s alone (700 buckets): median %7.1f ms\n", pens,
                        pens == 1 ? " " : "s", median(ms));
        }
        sqlite3_close(db);
    }
    {
        std::printf("\nfirst paint of %.1f days: window asked for, answers drawn, chart painted (median of 5)\n", days);
        for (const int pens : {1, kPens}) {
            std::vector<double> ms;
            for (int run = 0; run < 5; ++run) {
                TrendWindows trends(reader, [&now] { return now; });
                const auto t0 = Clock::now();
                TrendWindow *w = trends.show(itemOf(0), words);
                w->showLast(week);
                // The recorded items, then the pens: as a pen set opens them.
                while (w->recordedItems().size() < kPens)
                    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
                if (pens > 1)
                    w->openPenSet(QStringLiteral("bench"));
                settle(w);
                w->grab();
                ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            }
            std::printf("%d pen%s: median %7.1f ms\n", pens, pens == 1 ? " " : "s", median(ms));
        }
    }

    // Live: values arrive for every item at 10 a second, the window follows.
    std::printf("\nfollowing live, %d s each: the UI thread's CPU (values arriving 10 a second per item)\n",
                liveSeconds);
    qint64 i = rows;
    QTimer feed;
    feed.setInterval(100);
    QObject::connect(&feed, &QTimer::timeout, [&] {
        now = QDateTime::currentMSecsSinceEpoch();
        for (int p = 0; p < kPens; ++p)
            store.add(channels[size_t(p)], now + p, QString::number(valueAt(p, i)));
        ++i;
    });
    feed.start();
    for (const int pens : {0, 1, kPens}) {
        TrendWindows trends(reader, [&now] { return now; });
        if (pens > 0) {
            TrendWindow *w = trends.show(itemOf(0), words);
            w->showLast(10 * 60'000);
            while (w->recordedItems().size() < kPens)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            if (pens > 1)
                w->openPenSet(QStringLiteral("bench"));
            settle(w);
        }
        const double cpu0 = threadCpu();
        QElapsedTimer t;
        t.start();
        runFor(liveSeconds * 1000);
        const double share = (threadCpu() - cpu0) / (t.elapsed() / 1000.0) * 100;
        std::printf("%s: %5.1f %% of a core\n",
                    pens == 0   ? "baseline, no window"
                    : pens == 1 ? "1 pen              "
                                : "8 pens             ",
                    share);
    }
    return 0;
}
