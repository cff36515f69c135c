#pragma once

#include <QString>
#include <QStringList>

// The steps of the primary's start, in the order they run (in the windows
// library, see storeentry.h).
namespace Startup {

void setHighDpiAttributes();

// The launch argument of the primary: its first argument, as given.
QString primaryArgument(const QStringList &arguments);

// How long the program waits at exit for launcher messages still queued.
constexpr int flushAtExitMs = 3000;

// Runs the primary instance until its event loop ends; returns the loop's
// result (WindowlessQuit::exitCode when it never had a window to show).
int runPrimary(const QStringList &arguments);

} // namespace Startup
