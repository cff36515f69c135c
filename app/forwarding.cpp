#include "forwarding.h"

#include "instancelock.h"
#include "vclient.h"
#include "vlauncher.h"

#include <QElapsedTimer>

namespace Startup {

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

} // namespace Startup
