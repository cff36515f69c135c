#include "startup.h"

#include "devtoolsswitch.h"
#include "filewatcher.h"
#include "instancelock.h"
#include "launchermessages.h"
#include "launchernotifier.h"
#include "log.h"
#include "vclient.h"
#include "vlauncher.h"
#include "vserver.h"
#include "windowlessquit.h"
#include "windowregistry.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>

namespace Startup {

void setHighDpiAttributes()
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    // Qt WebEngine shares its GL context with the widgets' one.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts, true);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
}

QString primaryArgument(const QStringList &arguments)
{
    return arguments.size() > 1 ? arguments.at(1) : QString();
}

QString forwardedArgument(const QStringList &arguments)
{
    return arguments.size() > 1 ? arguments.last() : QString();
}

Forwarding forwardToPrimary(const QStringList &arguments, InstanceLock &lock, const QString &lockName)
{
    if (arguments.size() < 2)
        return Forwarding::NothingToSend;
    const QString server = VLauncher::instance()->getAppConfigValue(AppConfig::OwnServer).toString();
    const QString message = forwardedArgument(arguments);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < forwardRetryMs) {
        VClient client;
        if (client.connectServerWithRetry(server, forwardTryMs))
            return client.sendMessage(message) ? Forwarding::Sent : Forwarding::Failed;
        if (lock.tryLock(lockName) == InstanceLock::Result::Acquired)
            return Forwarding::LockFreed;
        if (client.lastFailure() == VClient::Failure::Lasting) {
            // Retrying would only burn the processor for the whole wait.
            qWarning("[Tradory] cannot reach the primary instance (%s), request not forwarded: %s",
                     qUtf8Printable(client.lastErrorString()), qUtf8Printable(message));
            return Forwarding::Failed;
        }
    }
    qWarning("[Tradory] no primary instance took the request within %d ms: %s", forwardRetryMs,
             qUtf8Printable(message));
    return Forwarding::Failed;
}

int runPrimary(const QStringList &arguments)
{
    DevToolsSwitch::setOn(VLauncher::instance()->getAppConfigValue(AppConfig::DevToolsSwitch).toInt()
                          == DevToolsSwitch::enablingValue);
    Log::instance()->startForCef();
    FileWatcher::instance();

    const QString serverName = VLauncher::instance()->getAppConfigValue(AppConfig::OwnServer).toString();
    auto *server = new VServer;
    QObject::connect(server, &VServer::playCloudGame, server, [](const QString &param) { createWindow(param); });
    server->startServer(serverName);

    WindowlessQuit windowlessQuit(server, serverName);
    if (!createWindow(primaryArgument(arguments)))
        windowlessQuit.start();
    const int result = QApplication::exec();
    // The loop has ended; nothing will process a deferred deletion any more.
    // Pages go before the engine's profile does.
    delete server;
    WindowRegistry::instance()->deleteAll();
    // The last "close" notice may still be on its way to the launcher.
    if (!LauncherNotifier::instance()->flush(flushAtExitMs))
        qWarning("[Tradory] launcher messages still unsent at exit: %d", LauncherNotifier::instance()->pending());
    LauncherNotifier::instance()->shutdown();
    return result;
}

} // namespace Startup
