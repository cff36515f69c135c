#include "scriptbridge.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ScriptBridge {

const char *const scriptName = "tradory-bridge";
const char *const messageName = "msg_from_render";
const char *const refreshFunction = "refresh";
const char *const refreshResult = "Refresh Test";

namespace {

const QLatin1String marker("\x1b[tradory-bridge]");

QString scriptSource()
{
    const QJsonObject message{{QStringLiteral("name"), QLatin1String(messageName)},
                              {QStringLiteral("args"), QJsonArray{QLatin1String(refreshFunction)}}};
    const QString payload = marker + QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact));
    // The text is built here, not in the page: a page may replace JSON or
    // console before it calls the function.
    return QStringLiteral(
               "(function () {\n"
               "  'use strict';\n"
               "  var post = console.log.bind(console);\n"
               "  var payload = %1;\n"
               "  var result = %2;\n"
               "  window.%3 = function () { post(payload); return result; };\n"
               "})();\n")
        .arg(QString::fromUtf8(QJsonDocument(QJsonArray{payload}).toJson(QJsonDocument::Compact)).mid(1).chopped(1),
             QStringLiteral("'%1'").arg(QLatin1String(refreshResult)), QLatin1String(refreshFunction));
}

} // namespace

QWebEngineScript script()
{
    QWebEngineScript bridge;
    bridge.setName(QLatin1String(scriptName));
    bridge.setInjectionPoint(QWebEngineScript::DocumentCreation);
    bridge.setWorldId(QWebEngineScript::MainWorld);
    bridge.setRunsOnSubFrames(true);
    bridge.setSourceCode(scriptSource());
    return bridge;
}

bool parseConsoleMessage(const QString &text, const QString &sourceId, ProcessMessage *message)
{
    if (sourceId != QLatin1String("userscript:") + QLatin1String(scriptName) || !text.startsWith(marker))
        return false;
    const QJsonObject object = QJsonDocument::fromJson(text.mid(marker.size()).toUtf8()).object();
    const QString name = object.value(QStringLiteral("name")).toString();
    if (name.isEmpty())
        return false;
    ProcessMessage parsed;
    parsed.name = name;
    for (const QJsonValue &argument : object.value(QStringLiteral("args")).toArray())
        parsed.arguments << argument.toString();
    if (message)
        *message = parsed;
    return true;
}

} // namespace ScriptBridge
