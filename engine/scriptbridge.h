#pragma once

#include <QList>
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
// Transport: two injected scripts per frame. The function lives in the
// page's own world and only raises a DOM event; a script in an isolated
// world hears it and logs a console message that starts with a marker
// holding a secret made afresh in each process. Console messages pass every
// frame and every Content-Security-Policy.
//
// What the check guards: a console message counts as the bridge's only
// when it carries the secret and its source is the isolated script. Page
// code cannot read the isolated world, so it cannot learn the secret: not by
// replacing console or Function.prototype.bind in a frame before the
// bridge reaches it (the engine injects into a fresh frame only after its
// parent can already touch it), and not by naming its own code after the
// bridge's script with a sourceURL comment. What it does not guard: page
// code can raise the event itself, which sends exactly the message that
// calling window.refresh sends, and nothing else.
namespace ScriptBridge {

extern const char *const scriptName;       // "tradory-bridge", the page's function
extern const char *const senderScriptName; // "tradory-bridge-sender", the isolated world's part
extern const char *const messageName;      // "msg_from_render"
extern const char *const refreshFunction;  // "refresh"
extern const char *const refreshResult;    // "Refresh Test"

// Both scripts, for a profile's script collection.
QList<QWebEngineScript> scripts();
QWebEngineScript functionScript();
QWebEngineScript senderScript();

// True when a console message is one of the bridge's own; fills message.
bool parseConsoleMessage(const QString &text, const QString &sourceId, ProcessMessage *message);

} // namespace ScriptBridge
