#include "vlauncher.h"

#include "inifile.h"
#include "localpaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

namespace {

QString demoStoreUrl()
{
    return QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + QStringLiteral("/www/demo/index.html"))
        .toString();
}

bool isNameKey(int key)
{
    switch (AppConfig(key)) {
    case AppConfig::LauncherServer:
    case AppConfig::OwnServer:
    case AppConfig::InstanceMutex:
    case AppConfig::ProductFolder:
        return true;
    default:
        return false;
    }
}

} // namespace

VLauncher *VLauncher::instance()
{
    static VLauncher launcher;
    return &launcher;
}

VLauncher::VLauncher()
{
    reload();
}

QString VLauncher::configFilePath()
{
    const QByteArray fromEnv = qgetenv("VELLORA_CONFIG");
    if (!fromEnv.isEmpty())
        return QFile::decodeName(fromEnv);
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/VelloraX/launcher.ini");
}

QString VLauncher::productDir() const
{
    return LocalPaths::appDataRoot() + QLatin1Char('/') + getAppConfigValue(AppConfig::ProductFolder).toString();
}

QString VLauncher::requestDir() const
{
    return productDir() + QStringLiteral("/LocalGames/");
}

QString VLauncher::publicHomePage()
{
    return QStringLiteral("https://www.vellorax.com/");
}

QVariant VLauncher::defaultValue(AppConfig key)
{
    switch (key) {
    case AppConfig::DevToolsSwitch: return 0;
    case AppConfig::DefaultPageUrl: return demoStoreUrl();
    case AppConfig::LauncherServer: return QStringLiteral("VelloraXLauncher");
    case AppConfig::OwnServer: return QStringLiteral("TradoryServer");
    case AppConfig::InstanceMutex: return QStringLiteral("TradoryInstance");
    case AppConfig::ProductFolder: return QStringLiteral("VelloraX");
    }
    return QVariant();
}

QString VLauncher::refusalReason(AppConfig key, const QString &value)
{
    if (!isNameKey(int(key)))
        return QString();
    // Windows' separator too: the launcher's files may come from there.
    if (value.contains(QLatin1Char('/')) || value.contains(QLatin1Char('\\')))
        return QStringLiteral("it holds a path separator");
    if (value == QLatin1String(".") || value == QLatin1String(".."))
        return QStringLiteral("it names a folder itself");
    return QString();
}

void VLauncher::reload()
{
    m_values.clear();
    const QString path = configFilePath();
    if (!QFileInfo(path).isFile())
        return;
    // A damaged file must not half-configure the program: all or nothing.
    bool ok = false;
    const QHash<QString, QString> values = IniFile::read(path, &ok);
    if (!ok)
        return;
    const QString section = QStringLiteral("AppConfig/");
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        if (!it.key().startsWith(section))
            continue;
        bool isNumber = false;
        const int number = it.key().mid(section.size()).toInt(&isNumber);
        if (!isNumber)
            continue;
        const QString reason = refusalReason(AppConfig(number), it.value());
        if (!reason.isEmpty()) {
            qWarning("[Tradory] configuration key %d is refused (%s): \"%s\"; using \"%s\"", number,
                     qUtf8Printable(reason), qUtf8Printable(it.value()),
                     qUtf8Printable(defaultValue(AppConfig(number)).toString()));
            continue;
        }
        m_values.insert(number, it.value());
    }
}

QVariant VLauncher::getAppConfigValue(AppConfig key) const
{
    const auto it = m_values.constFind(int(key));
    if (it != m_values.constEnd() && !it->toString().isEmpty())
        return *it;
    return defaultValue(key);
}

