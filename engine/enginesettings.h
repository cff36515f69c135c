#pragma once

#include <QString>
#include <QStringList>

// What the browser engine is started with. Computed once in the browser
// process from the configuration and the language; applied to the shared
// profile and to Chromium's switches.
struct EngineSettings {
    // The user agent every page sees.
    static const char *const userAgentText;

    QString cachePath;       // empty: memory-only profile, nothing on disk
    QString userAgent;
    QString locale;          // Chromium's --lang
    QString acceptLanguage;  // the Accept-Language header
    bool noSandbox = true;
    bool loggingDisabled = true;
    // The "url" switch: where a browser starts when it is given no address.
    QString startUrl;

    // From the configuration (product folder), the app-data root, the current
    // language and the process arguments.
    static EngineSettings fromEnvironment(const QStringList &arguments);

    // Chromium switches for these settings (without the feature switches
    // that the application object adds).
    QStringList switches() const;
};
