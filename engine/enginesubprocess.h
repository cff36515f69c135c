#pragma once

// The program is its own engine helper: Chromium starts its renderer, zygote,
// GPU and utility processes from this executable with a "--type=" switch.
// main() asks this before anything else, since a helper must not open a
// display, read the configuration, take the instance lock or listen.
bool isEngineSubProcess(int argc, char **argv);

// Runs the engine's sub-process entry to its end. Always returns -1: the
// caller exits with it (the helper's own result is not passed on).
int runEngineSubProcess(int argc, char **argv);
