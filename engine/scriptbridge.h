#pragma once

#include <QString>
#include <QStringList>
#include <QWebEngineScript>

// A message a page's script sends to the browser side.
struct ProcessMessage {
    QString name;
    QStringList arguments;
};

// The page script bridge: every frame of every document gets a function
// window.refresh that returns "Refresh Test" and sends the message
// "msg_from_render" with the argument "refresh" to the browser side.
//
// Transport: the injected script logs a marked console message through a
// console.log it captured before any page script ran. Qt reports the source of
// such a message as "userscript:<script name>", which page code cannot fake,
// and console messages pass every frame and every Content-Security-Policy.
namespace ScriptBridge {

extern const char *const scriptName;      // "tradory-bridge"
extern const char *const messageName;     // "msg_from_render"
extern const char *const refreshFunction; // "refresh"
extern const char *const refreshResult;   // "Refresh Test"

QWebEngineScript script();

// True when a console message is one of the bridge's own; fills message.
bool parseConsoleMessage(const QString &text, const QString &sourceId, ProcessMessage *message);

} // namespace ScriptBridge
