#include "simpleapp.h"

#include "browserpage.h"
#include "scriptbridge.h"

#include <QDir>
#include <QWebEngineDownloadItem>
#include <QWebEngineProfile>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

namespace {
SimpleApp *currentApp = nullptr;
}

SimpleApp::SimpleApp(const EngineSettings &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
{
    currentApp = this;
}

SimpleApp::~SimpleApp()
{
    if (currentApp == this)
        currentApp = nullptr;
}

SimpleApp *SimpleApp::instance()
{
    return currentApp;
}

void SimpleApp::OnBeforeCommandLineProcessing(QStringList &commandLine) const
{
    // Merge into an existing feature list: Chromium keeps only the last
    // --enable-features it sees, so a second switch would drop the first.
    const QString prefix = QStringLiteral("--enable-features=");
    const QString feature = QString::fromLatin1(featureSwitch).mid(prefix.size());
    for (QString &item : commandLine) {
        if (item.startsWith(prefix)) {
            if (!item.mid(prefix.size()).split(QLatin1Char(',')).contains(feature))
                item += QLatin1Char(',') + feature;
            return;
        }
    }
    commandLine << QString::fromLatin1(featureSwitch);
}

QWebEngineProfile *SimpleApp::profile()
{
    if (m_profile)
        return m_profile;
    if (m_settings.cachePath.isEmpty() || !QDir().mkpath(m_settings.cachePath)) {
        // No place on disk: an off-the-record profile keeps everything in memory.
        m_profile = new QWebEngineProfile(this);
    } else {
        m_profile = new QWebEngineProfile(QStringLiteral("Tradory"), this);
        m_profile->setPersistentStoragePath(m_settings.cachePath);
        m_profile->setCachePath(m_settings.cachePath);
    }
    configureProfile(m_profile);
    return m_profile;
}

void SimpleApp::configureProfile(QWebEngineProfile *profile)
{
    // Downloads are not taken (nothing accepts them, so the engine cancels
    // them); the page only learns that its load ended in one.
    connect(profile, &QWebEngineProfile::downloadRequested, this, [](QWebEngineDownloadItem *download) {
        if (auto *page = qobject_cast<BrowserPage *>(download->page()))
            page->noteDownloadStarted();
    });
    profile->setHttpUserAgent(m_settings.userAgent);
    if (!m_settings.acceptLanguage.isEmpty())
        profile->setHttpAcceptLanguage(m_settings.acceptLanguage);
    profile->scripts()->insert(ScriptBridge::scripts());
    QWebEngineSettings *web = profile->settings();
    web->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, true);
    // Network errors only commit (and so can be told from aborts) with it on.
    web->setAttribute(QWebEngineSettings::ErrorPageEnabled, true);
    web->setUnknownUrlSchemePolicy(QWebEngineSettings::AllowAllUnknownUrlSchemes);
}
