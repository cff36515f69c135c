#include "startup.h"

#include "devtoolsswitch.h"
#include "filewatcher.h"
#include "launchermessages.h"
#include "launchernotifier.h"
#include "log.h"
#include "vlauncher.h"
#include "vserver.h"
#include "windowlessquit.h"
#include "windowregistry.h"

#include <QApplication>
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
