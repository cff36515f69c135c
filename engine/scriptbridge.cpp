#include "scriptbridge.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

namespace ScriptBridge {

const char *const scriptName = "tradory-bridge";
const char *const senderScriptName = "tradory-bridge-sender";
const char *const messageName = "msg_from_render";
const char *const refreshFunction = "refresh";
const char *const refreshResult = "Refresh Test";

namespace {

const char callEvent[] = "tradory-bridge-call";

QString makeSecret()
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    QString secret;
    for (quint32 word : words)
        secret += QStringLiteral("%1").arg(word, 8, 16, QLatin1Char('0'));
    return secret;
}

// Made once per process: every renderer gets its scripts from this one.
const QString &marker()
{
    static const QString text = QStringLiteral("\x1b[tradory-bridge:%1]").arg(makeSecret());
    return text;
}

QString jsString(const QString &text)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact)).mid(1).chopped(1);
}

QString functionSource()
{
    // What the page may have replaced by the time it calls the function
    // only breaks its own bridge; it is still taken first.
    return QStringLiteral(
               "(function () {\n"
               "  'use strict';\n"
               "  var target = document;\n"
               "  var dispatch = EventTarget.prototype.dispatchEvent;\n"
               "  var PlainEvent = Event;\n"
               "  var result = %1;\n"
               "  window.%2 = function () { dispatch.call(target, new PlainEvent(%3)); return result; };\n"
               "})();\n")
        .arg(jsString(QLatin1String(refreshResult)), QLatin1String(refreshFunction), jsString(QLatin1String(callEvent)));
}

QString senderSource()
{
    const QJsonObject message{{QStringLiteral("name"), QLatin1String(messageName)},
                              {QStringLiteral("args"), QJsonArray{QLatin1String(refreshFunction)}}};
    const QString payload = marker() + QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact));
    return QStringLiteral(
               "(function () {\n"
               "  'use strict';\n"
               "  var post = console.log.bind(console);\n"
               "  var payload = %1;\n"
               "  document.addEventListener(%2, function () { post(payload); });\n"
               "})();\n")
        .arg(jsString(payload), jsString(QLatin1String(callEvent)));
}

QWebEngineScript makeScript(const char *name, QWebEngineScript::ScriptWorldId world, const QString &source)
{
    QWebEngineScript script;
    script.setName(QLatin1String(name));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(world);
    script.setRunsOnSubFrames(true);
    script.setSourceCode(source);
    return script;
}

} // namespace

QWebEngineScript functionScript()
{
    return makeScript(scriptName, QWebEngineScript::MainWorld, functionSource());
}

QWebEngineScript senderScript()
{
    return makeScript(senderScriptName, QWebEngineScript::ApplicationWorld, senderSource());
}

QList<QWebEngineScript> scripts()
{
    return {functionScript(), senderScript()};
}

bool parseConsoleMessage(const QString &text, const QString &sourceId, ProcessMessage *message)
{
    if (sourceId != QLatin1String("userscript:") + QLatin1String(senderScriptName) || !text.startsWith(marker()))
        return false;
    const QJsonObject object = QJsonDocument::fromJson(text.mid(marker().size()).toUtf8()).object();
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
