#include "ui/ObserverWindow.h"

#include <QVariant>
#include <QWidget>

namespace corvane {

void markObserverWindow(QWidget *window)
{
    window->setProperty("corvaneObserverWindow", true);
}

bool isObserverWindow(const QWidget *widget)
{
    return widget && widget->window()->property("corvaneObserverWindow").toBool();
}

} // namespace corvane
