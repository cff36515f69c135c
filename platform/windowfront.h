#pragma once

class QWidget;

namespace WindowFront {

// Whether the windowing system lets a program raise and focus its windows
// and put them where it wants. X11 does; Wayland leaves both to the
// compositor (asking only fills the log with "does not support" lines).
bool platformActivatesOnRequest();
bool platformPlacesWindows();
// Whether a window's maximised, minimised and fullscreen states are the
// windowing system's to give rather than the program's to set: a Wayland
// compositor may ignore a request, and only its answer says what the window
// is. On X11 the program's request is what the window shows.
bool platformDecidesWindowStates();

// Puts a top-level window above the others and gives it the focus without
// leaving it on top for good, where the platform allows it.
void bringToFront(QWidget *window);
// Gives a window the focus, where the platform allows it.
void activate(QWidget *window);
// Whether focusing this widget now would make Qt ask the platform to activate
// its window: Qt does so for a window that the platform already reports active
// but that Qt has not yet made its focus window, because the activation is
// still waiting in the event queue. Wayland refuses the request (only its
// platform windows report themselves active, so X11 never gets here).
bool focusAsksForActivation(const QWidget *widget);

} // namespace WindowFront
