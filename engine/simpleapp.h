#pragma once

#include "enginesettings.h"

#include <QObject>
#include <QStringList>

class QWebEngineProfile;

// The program's application object for the browser engine: it adds the
// program's feature switch to every engine process, and owns the one profile
// all browsers share (settings, user agent, languages, the script bridge).
//
// The profile is made on first use. Making it starts Chromium and its helper
// processes, so a second instance, which never shows a page, never pays for it.
class SimpleApp : public QObject
{
    Q_OBJECT
public:
    explicit SimpleApp(const EngineSettings &settings, QObject *parent = nullptr);
    ~SimpleApp() override;

    // The application object of this process, once startEngine() made it.
    static SimpleApp *instance();

    // Adds the program's switches to an engine command line. Every process
    // type inherits the browser process's switches.
    void OnBeforeCommandLineProcessing(QStringList &commandLine) const;

    QWebEngineProfile *profile();
    const EngineSettings &settings() const { return m_settings; }

    static constexpr const char *featureSwitch = "--enable-features=SharedArrayBuffer";

private:
    void configureProfile(QWebEngineProfile *profile);

    EngineSettings m_settings;
    QWebEngineProfile *m_profile = nullptr;
};
