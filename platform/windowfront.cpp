#include "windowfront.h"

#include <QGuiApplication>
#include <QWindow>
#include <QWidget>
#include <QX11Info>

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
// on with it, and the window comes up without the focus. Asking the server
// for its time (one round trip, no other event is handled meanwhile) brings
// Qt's clock up to now.
void catchUpWithServerTime()
{
    if (QX11Info::isPlatformX11())
        QX11Info::setAppTime(QX11Info::getTimestamp());
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
    catchUpWithServerTime();
    window->activateWindow();
}

void activate(QWidget *window)
{
    if (window && platformActivatesOnRequest())
        window->activateWindow();
}

bool focusAsksForActivation(const QWidget *widget)
{
    // The same test Qt makes when a widget takes the focus.
    if (!widget || !widget->testAttribute(Qt::WA_WState_Created))
        return false;
    const QWindow *window = widget->window()->windowHandle();
    return window && window->type() != Qt::Popup && window != QGuiApplication::focusWindow()
        && widget->isActiveWindow();
}

} // namespace WindowFront
