#include "windowfront.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

namespace WindowFront {

namespace {

bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// Qt asks the X11 window manager for the focus with the server time of the
// last event it read. A request that comes over the launcher's socket follows
// no input of ours: when the manager has moved the focus since (to another
// program, once the window on top closed), that time is older than the
// manager's own focus change, the server ignores the focus the manager passes
// on with it, and the window comes up without the focus. Qt takes the time of
// every property change on its own windows, so writing the unchanged title
// again and waiting for the server's answer brings its clock up to now. Only
// for a window already on screen: that is where the old time was seen to
// lose the focus, and the wait's event processing stays out of the creation
// of new windows.
void catchUpWithServerTime(QWidget *window)
{
    QWindow *handle = window->windowHandle();
    if (!handle || !handle->isExposed() || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    handle->setTitle(handle->title());
    QGuiApplication::sync();
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
    catchUpWithServerTime(window);
    window->activateWindow();
}

void activate(QWidget *window)
{
    if (window && platformActivatesOnRequest())
        window->activateWindow();
}

} // namespace WindowFront
