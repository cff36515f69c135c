#include "storeentry.h"

#include "enginehelper.h"
#include "language.h"
#include "startengine.h"
#include "startup.h"

#include <QApplication>

// The only symbols the windows library exports (see CMakeLists.txt).
extern "C" {

Q_DECL_EXPORT int tradoryEntryVersion()
{
    return StoreEntry::version;
}

Q_DECL_EXPORT int tradoryRunPrimary(const StoreEntry::PrimaryStart &start)
{
    Startup::setHighDpiAttributes();
    // The X11 window class and the Wayland app id then name the installed
    // desktop entry, so desktops show its icon for our windows.
    QGuiApplication::setDesktopFileName(QStringLiteral("tradory"));
    int exitCode = 0;
    {
        QApplication application(*start.applicationArgc, start.applicationArgv);
        Language::instance()->init();
        startEngine();
        // An unusable lock file does not make this a second instance: with no
        // way to tell, showing the window beats losing the request.
        if (!start.lockProblem.isEmpty())
            qWarning("[Tradory] instance lock unavailable, running as primary: %s", qUtf8Printable(start.lockProblem));
        exitCode = Startup::runPrimary(start.arguments);
        shutdownEngine();
        // Qt WebEngine writes the last of the profile while the application
        // object goes.
    }
    return exitCode;
}

Q_DECL_EXPORT int tradoryRunEngineHelper(int argc, char **argv)
{
    return runEngineSubProcess(argc, argv);
}

} // extern "C"
