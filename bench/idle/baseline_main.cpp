// The yardstick for the station's idle cost and start-up: a bare Qt Widgets program
// with one shown window and one 200 ms timer, and nothing else.
//
//   corvane-bench-baseline [--report-startup]
#include "app/StartupReport.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (QCoreApplication::arguments().contains(QStringLiteral("--report-startup")))
        corvane::reportStartup(app);

    QLabel window(QStringLiteral("baseline"));
    window.resize(400, 300);
    window.show();

    int ticks = 0;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer); // as the station's timers
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(200);
    return QApplication::exec();
}
