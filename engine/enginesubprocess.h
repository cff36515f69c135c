#pragma once

// The program is its own engine helper: Chromium starts its zygote, GPU and
// utility processes from this executable with a "--type=" switch. main()
// asks this before anything else, since a helper must not open a display,
// read the configuration, take the instance lock or listen.
//
// The switch alone proves nothing: a launcher passes on whatever name it is
// given, "--type=store.json" included, and the engine's entry aborts on a
// type it does not know. A helper is also started from the browser process,
// which names itself in the environment its children inherit; a launcher
// never sets that variable.
bool isEngineSubProcess(int argc, char **argv);

// Called by the browser process before the engine starts any helper.
void markEngineParent();
constexpr const char engineParentVariable[] = "TRADORY_ENGINE_PARENT";

// Runs the engine's sub-process entry to its end, unless the browser that
// started it is no longer its parent (killed while the helper started): an
// orphan has nobody to serve and ends at once. Always returns -1: the caller
// exits with it (the helper's own result is not passed on).
int runEngineSubProcess(int argc, char **argv);
