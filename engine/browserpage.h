#pragma once

#include "scriptbridge.h"

#include <QWebEnginePage>

// The page type of every browser of the program. It turns the script
// bridge's console messages into processMessageReceived.
class BrowserPage : public QWebEnginePage
{
    Q_OBJECT
public:
    explicit BrowserPage(QWebEngineProfile *profile, QObject *parent = nullptr);

signals:
    void processMessageReceived(const ProcessMessage &message);

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int lineNumber,
                                  const QString &sourceId) override;
};

Q_DECLARE_METATYPE(ProcessMessage)
