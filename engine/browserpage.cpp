#include "browserpage.h"

BrowserPage::BrowserPage(QWebEngineProfile *profile, QObject *parent)
    : QWebEnginePage(profile, parent)
{
    qRegisterMetaType<ProcessMessage>();
}

void BrowserPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
                                           int lineNumber, const QString &sourceId)
{
    ProcessMessage bridged;
    if (ScriptBridge::parseConsoleMessage(message, sourceId, &bridged)) {
        emit processMessageReceived(bridged);
        return;
    }
    QWebEnginePage::javaScriptConsoleMessage(level, message, lineNumber, sourceId);
}
