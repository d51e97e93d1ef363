#include "StationReport.h"

#include "core/alarm/AlarmLogger.h"
#include "station/FrmAlarmlist.h"
#include "station/ScreenRegistry.h"
#include "station/Station.h"

#include <QCryptographicHash>
#include <cstdio>

namespace corvane {

namespace {
double ms(DiskSyncer::Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}
} // namespace

UiGapProbe::UiGapProbe()
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &UiGapProbe::tick);
    m_clock.start();
    m_timer.start(kProbeMs);
}

void UiGapProbe::tick()
{
    const qint64 now = m_clock.elapsed();
    const qint64 gap = now - m_last;
    m_last = now;
    m_windowLargest = std::max(m_windowLargest, gap);
    m_runLargest = std::max(m_runLargest, gap);
    if (now - m_windowStart >= kReportMs) {
        std::printf("ui gap: largest %lld ms in the last second\n", static_cast<long long>(m_windowLargest));
        std::fflush(stdout);
        m_windowStart = now;
        m_windowLargest = 0;
    }
}

void UiGapProbe::printRun() const
{
    std::printf("ui gap: largest %lld ms over the run\n", static_cast<long long>(m_runLargest));
    std::fflush(stdout);
}

void echoAlarmLines(AlarmLogger &logger)
{
    QObject::connect(&logger, &AlarmLogger::lineRaised, [](const QString &line) {
        std::printf("alarm: %s\n", line.toUtf8().constData());
        std::fflush(stdout);
    });
}

void printAlarmReport(const Station &station)
{
    const auto *list
            = qobject_cast<const FrmAlarmlist *>(station.screens().find(QString::fromLatin1(FrmAlarmlist::kFormName)));
    QCryptographicHash sha1(QCryptographicHash::Sha1);
    const QStringList lines = list ? list->lines() : QStringList();
    for (const QString &line : lines)
        sha1.addData(line.toUtf8() + "\r\n");
    std::printf("alarm list: %lld lines, sha1 %s\n", static_cast<long long>(lines.size()),
                sha1.result().toHex().constData());
    const DiskSyncer::Stats s = station.alarms().syncStats();
    std::printf("alarm log: %llu syncs, %llu failed, longest sync %.1f ms, longest wait for the disk %.1f ms\n",
                static_cast<unsigned long long>(s.syncs), static_cast<unsigned long long>(s.failures),
                ms(s.longestSync), ms(s.longestWait));
    std::fflush(stdout);
}

} // namespace corvane
