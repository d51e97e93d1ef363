#pragma once

class QWidget;

namespace corvane {

// A window that only watches the station (a trend) and is none of its screens: a
// screen that closes when another window of the station becomes active ignores it.
void markObserverWindow(QWidget *window);
bool isObserverWindow(const QWidget *widget);

} // namespace corvane
