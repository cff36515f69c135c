#include "enginesettings.h"

#include "language.h"
#include "localpaths.h"
#include "vlauncher.h"

const char *const EngineSettings::userAgentText =
    "Mozilla/5.0 (Windows NT 6.2; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/93.0.4577.82 "
    "Safari/537.36 VLX/0.12.1.3";

namespace {

QString urlSwitch(const QStringList &arguments)
{
    // The first one that names an address counts.
    const QString prefix = QStringLiteral("--url=");
    for (const QString &argument : arguments) {
        if (argument.startsWith(prefix) && argument.size() > prefix.size())
            return argument.mid(prefix.size());
    }
    return QString();
}

} // namespace

EngineSettings EngineSettings::fromEnvironment(const QStringList &arguments)
{
    EngineSettings settings;
    settings.startUrl = urlSwitch(arguments);
    const QString root = LocalPaths::appDataRoot();
    if (!root.isEmpty()) {
        settings.cachePath = root + QLatin1Char('/')
            + VLauncher::instance()->getAppConfigValue(AppConfig::ProductFolder).toString()
            + QStringLiteral("/cache/cef");
    }
    settings.userAgent = QString::fromLatin1(userAgentText);
    settings.locale = Language::instance()->getCurrentLD().at(3);
    settings.acceptLanguage = Language::instance()->getCurrentLD().at(3);
    return settings;
}

QStringList EngineSettings::switches() const
{
    QStringList list;
    // Windows of the same site share one renderer: a second store window
    // then costs a view, not a process (and opens in half the time).
    list << QStringLiteral("--process-per-site");
    if (noSandbox)
        list << QStringLiteral("--no-sandbox");
    if (loggingDisabled)
        list << QStringLiteral("--disable-logging") << QStringLiteral("--log-level=3");
    if (!locale.isEmpty())
        list << QStringLiteral("--lang=") + locale;
    return list;
}
