#include "startengine.h"

#include "enginesubprocess.h"
#include "simpleapp.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QWebEngineView>

namespace {

// Chromium reads its switches from QTWEBENGINE_CHROMIUM_FLAGS when that is set
// and then ignores the program's own arguments, so every switch goes there:
// what the user already put there, and ours. Nothing of the command line is
// passed on: it carries a request name, which a launcher takes from others,
// and "--remote-debugging-port=..." must not open the engine to any local
// process.
QStringList engineCommandLine(const EngineSettings &settings)
{
    QStringList commandLine;
    const QString existing = QString::fromLocal8Bit(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS")).simplified();
    if (!existing.isEmpty())
        commandLine = existing.split(QLatin1Char(' '));
    commandLine << settings.switches();
    return commandLine;
}

} // namespace

int startEngine()
{
    const EngineSettings settings = EngineSettings::fromEnvironment(QCoreApplication::arguments());
    auto *app = new SimpleApp(settings, QCoreApplication::instance());

    QStringList commandLine = engineCommandLine(settings);
    app->OnBeforeCommandLineProcessing(commandLine);
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", commandLine.join(QLatin1Char(' ')).toLocal8Bit());
    qputenv("QTWEBENGINEPROCESS_PATH", QFile::encodeName(QCoreApplication::applicationFilePath()));
    markEngineParent();
    return 0;
}

QString engineStartUrl()
{
    const SimpleApp *app = SimpleApp::instance();
    return app ? app->settings().startUrl : QString();
}

void shutdownEngine()
{
    // Every page goes before the profile: a page left over (a popup, the
    // developer tools) would outlive the engine it runs on. Windows closed
    // at the end are only scheduled for deletion, and no loop runs now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (qobject_cast<QApplication *>(QCoreApplication::instance())) {
        QList<QPointer<QWidget>> views;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<QWebEngineView *>(widget))
                views << widget;
        }
        for (const QPointer<QWidget> &view : qAsConst(views))
            delete view.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    delete SimpleApp::instance();
}
