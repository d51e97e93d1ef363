#pragma once

// The start of every bench that builds screens: offscreen unless a platform is chosen
// (figures must not depend on a desktop), the station's look, and no quit when a
// measured window closes.

#include "ui/Look.h"

#include <QApplication>

namespace corvane::bench {

template<typename Body>
int runScreenBench(int argc, char *argv[], Body body)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    applyStationLook();
    return body(QCoreApplication::arguments());
}

} // namespace corvane::bench
