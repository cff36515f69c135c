#include "launchernotice.h"

#include "launchernotifier.h"
#include "vlauncher.h"

void sendLauncherNotice(const QString &text)
{
    LauncherNotifier::instance()->post(
        VLauncher::instance()->getAppConfigValue(AppConfig::LauncherServer).toString(), text);
}
