#include "enginesubprocess.h"
#include "instancelock.h"
#include "language.h"
#include "startengine.h"
#include "startup.h"
#include "vlauncher.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    if (isEngineSubProcess(argc, argv))
        return runEngineSubProcess(argc, argv);

    Startup::setHighDpiAttributes();
    QApplication application(argc, argv);
    Language::instance()->init();
    startEngine();

    const QStringList arguments = Startup::argumentsFrom(argc, argv);
    InstanceLock lock;
    const QString lockName = VLauncher::instance()->getAppConfigValue(AppConfig::InstanceMutex).toString();
    const InstanceLock::Result locked = lock.tryLock(lockName);

    int exitCode = -1;
    if (locked == InstanceLock::Result::HeldElsewhere) {
        Startup::forwardToPrimary(arguments);
    } else {
        // An unusable lock file does not make this a second instance: with no
        // way to tell, showing the window beats losing the request.
        if (locked == InstanceLock::Result::Failed)
            qWarning("[Tradory] instance lock unavailable, running as primary: %s", qUtf8Printable(lock.errorString()));
        exitCode = Startup::runPrimary(arguments);
    }
    lock.release();
    shutdownEngine();
    return exitCode;
}
