#pragma once

class QWidget;

namespace WindowFront {

// Whether the windowing system lets a program raise and focus its windows
// and put them where it wants. X11 does; Wayland leaves both to the
// compositor (asking only fills the log with "does not support" lines).
bool platformActivatesOnRequest();
bool platformPlacesWindows();

// Puts a top-level window above the others and gives it the focus without
// leaving it on top for good, where the platform allows it.
void bringToFront(QWidget *window);
// Gives a window the focus, where the platform allows it.
void activate(QWidget *window);

} // namespace WindowFront
