#include "commandline.h"
#include "enginesubprocess.h"
#include "instancelock.h"
#include "language.h"
#include "launcharguments.h"
#include "startengine.h"
#include "startup.h"
#include "vlauncher.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    if (const int answered = CommandLine::answerInformationalOption(argc, argv); answered >= 0)
        return answered;
    if (isEngineSubProcess(argc, argv))
        return runEngineSubProcess(argc, argv);

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

    Startup::setHighDpiAttributes();
    // The X11 window class and the Wayland app id then name the installed
    // desktop entry, so desktops show its icon for our windows.
    QGuiApplication::setDesktopFileName(QStringLiteral("tradory"));
    int exitCode = 0;
    {
        QApplication application(arguments.applicationArgc(), arguments.applicationArgv());
        Language::instance()->init();
        startEngine();
        // An unusable lock file does not make this a second instance: with no
        // way to tell, showing the window beats losing the request.
        if (!lock.isHeld() && locked == InstanceLock::Result::Failed)
            qWarning("[Tradory] instance lock unavailable, running as primary: %s", qUtf8Printable(lock.errorString()));
        exitCode = Startup::runPrimary(arguments.all());
        shutdownEngine();
        // Qt WebEngine writes the last of the profile while the application
        // object goes.
    }
    // Only now may the next primary open the same profile.
    qInfo("[Tradory] engine shut down, releasing the instance lock");
    lock.release();
    return exitCode;
}
