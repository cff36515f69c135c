#pragma once

// Runs the engine's sub-process entry to its end, unless the browser that
// started it is no longer its parent (killed while the helper started): an
// orphan has nobody to serve and ends at once. Always returns -1: the caller
// exits with it (the helper's own result is not passed on).
//
// Apart from isEngineSubProcess() so that a program can ask the question
// without linking the engine, and load it only for the answer "yes".
int runEngineSubProcess(int argc, char **argv);
