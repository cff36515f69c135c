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

// Whether the browser process that named itself is this process's parent:
// a helper whose browser was killed while it started has been handed to init.
bool startedByEngineParent();
