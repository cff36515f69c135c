#include "windowfront.h"

#include <QGuiApplication>
#include <QWidget>

namespace WindowFront {

namespace {

bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

bool platformActivatesOnRequest()
{
    return !onWayland();
}

bool platformPlacesWindows()
{
    return !onWayland();
}

bool platformDecidesWindowStates()
{
    return onWayland();
}

void bringToFront(QWidget *window)
{
    if (!window || !platformActivatesOnRequest())
        return;
    window->raise();
    window->activateWindow();
}

void activate(QWidget *window)
{
    if (window && platformActivatesOnRequest())
        window->activateWindow();
}

} // namespace WindowFront
