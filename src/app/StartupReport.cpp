#include "StartupReport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace corvane {

namespace {

long long clockNs(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return (long long) t.tv_sec * 1'000'000'000LL + t.tv_nsec;
}

// Waits for the first window to be exposed, then for the event loop to come round
// once more, which is after that window's first paint has been flushed.
class FirstExpose final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Expose)
            return false;
        auto *window = qobject_cast<QWindow *>(watched);
        if (!window || !window->isExposed())
            return false;
        QCoreApplication::instance()->removeEventFilter(this);
        QTimer::singleShot(0, this, [this] {
            const long long now = bootClockNs();
            const long long monotonic = clockNs(CLOCK_MONOTONIC);
            std::printf("startup: shown %.1f ms after process start, painted at monotonic %lld ns\n",
                        double(now - processStartNs()) / 1e6, monotonic);
            std::fflush(stdout);
            deleteLater();
        });
        return false;
    }
};

} // namespace

long long bootClockNs()
{
    return clockNs(CLOCK_BOOTTIME);
}

long long processStartNs()
{
    // Field 22 of /proc/self/stat, in clock ticks since boot; the command name
    // (field 2, in parentheses) may hold blanks, so count from its closing one.
    QFile f(QStringLiteral("/proc/self/stat"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    constexpr int kStartTime = 22 - 3; // fields after the name start at field 3
    if (fields.size() <= kStartTime)
        return 0;
    const long long ticks = fields.at(kStartTime).toLongLong();
    return ticks * (1'000'000'000LL / sysconf(_SC_CLK_TCK));
}

void reportStartup(QCoreApplication &app)
{
    app.installEventFilter(new FirstExpose(&app));
}

} // namespace corvane
