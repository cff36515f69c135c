#pragma once

#include <QString>
#include <QStringList>

// The seam between the executable and the windows library it loads.
//
// The executable chooses the role with Qt Core and Network alone, since a
// second instance only hands its request on and exits: loading the widgets
// and the engine would be most of its time. The primary and the engine's
// helper processes load lib/libtradorywindows.so from the executable's folder
// and run one of its two entries. Both sides are built from one tree in one go,
// so the types may be C++; the version guards against a stale library left
// beside a newer executable.
namespace StoreEntry {

constexpr int version = 1;
// Relative to the executable's folder. In a folder of its own: packaging
// tools take a shared library right inside <prefix>/lib/<name>/ for one the
// dynamic linker serves, and would add ldconfig calls to the package.
constexpr const char libraryName[] = "lib/libtradorywindows.so";
constexpr const char versionSymbol[] = "tradoryEntryVersion";
constexpr const char runPrimarySymbol[] = "tradoryRunPrimary";
constexpr const char runEngineHelperSymbol[] = "tradoryRunEngineHelper";

struct PrimaryStart
{
    // For the QApplication; valid until the entry returns.
    int *applicationArgc = nullptr;
    char **applicationArgv = nullptr;
    // Every argument as given, the program's name first.
    QStringList arguments;
    // Why the instance lock could not be used, when it could not: the
    // primary then runs without it and says so.
    QString lockProblem;
};

using VersionFunction = int (*)();
// Runs the primary to its end: windows, engine and all. Returns the exit
// status; the instance lock may be released once it has returned.
using RunPrimaryFunction = int (*)(const PrimaryStart &start);
// Runs an engine helper process (zygote, renderer, GPU, utility).
using RunEngineHelperFunction = int (*)(int argc, char **argv);

} // namespace StoreEntry
