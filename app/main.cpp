#include "commandline.h"
#include "enginesubprocess.h"
#include "forwarding.h"
#include "instancelock.h"
#include "launcharguments.h"
#include "storelibrary.h"
#include "vlauncher.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

// Without its windows library the program can do nothing but forward.
int reportUnloadable(const StoreLibrary &library)
{
    std::fprintf(stderr, "tradory: cannot load the windows library: %s\n", qUtf8Printable(library.errorString()));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (const int answered = CommandLine::answerInformationalOption(argc, argv); answered >= 0)
        return answered;
    StoreLibrary library;
    if (isEngineSubProcess(argc, argv)) {
        // An orphan has nobody to serve: no need to load the engine to see it.
        if (!startedByEngineParent())
            return -1;
        return library.load() ? library.runEngineHelper(argc, argv) : reportUnloadable(library);
    }

    // Taken apart before any application object reads options out of it.
    LaunchArguments arguments(argc, argv);

    // The role is settled before anything graphical exists: a second instance
    // only hands its request on, and a display connection, fonts and the
    // engine's set-up would make every forwarded request slow.
    InstanceLock lock;
    const QString lockName = VLauncher::instance()->getAppConfigValue(AppConfig::InstanceMutex).toString();
    const InstanceLock::Result locked = lock.tryLock(lockName);
    if (locked == InstanceLock::Result::HeldElsewhere) {
        Startup::Forwarding forwarding;
        {
            QCoreApplication application(arguments.applicationArgc(), arguments.applicationArgv());
            forwarding = Startup::forwardToPrimary(arguments.all(), lock, lockName);
        }
        // The primary ended before it took the request: this process serves it.
        if (forwarding != Startup::Forwarding::LockFreed)
            return -1;
    }

    if (!library.load())
        return reportUnloadable(library);
    StoreEntry::PrimaryStart start;
    start.applicationArgc = &arguments.applicationArgc();
    start.applicationArgv = arguments.applicationArgv();
    start.arguments = arguments.all();
    if (!lock.isHeld() && locked == InstanceLock::Result::Failed)
        start.lockProblem = lock.errorString();
    const int exitCode = library.runPrimary(start);
    // Only now may the next primary open the same profile.
    qInfo("[Tradory] engine shut down, releasing the instance lock");
    lock.release();
    return exitCode;
}
