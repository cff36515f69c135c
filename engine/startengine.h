#pragma once

#include <QString>

// Prepares the browser engine in the browser process: computes the settings,
// makes the application object, makes this executable the engine's helper and
// hands Chromium its switches. The engine itself starts with the first page.
// Returns 0. Call once, after the QApplication and Language::init.
int startEngine();

// The engine's "url" switch: the address a browser starts at when it is told
// none. Empty when the switch was not given or the engine was not started.
QString engineStartUrl();

// Ends the engine: pages still left (popups, developer tools, windows whose
// deletion is pending) are deleted, then the shared profile and the
// application object go.
void shutdownEngine();
