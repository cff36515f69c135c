#include "launchermessages.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

namespace LauncherMessages {

QString percentDecoded(const QString &text)
{
    return QUrl::fromPercentEncoding(text.toUtf8());
}

QString storeNotice(const QString &oem, const QString &packageName, bool open)
{
    QJsonObject notice;
    notice.insert(QStringLiteral("oem"), oem);
    notice.insert(QStringLiteral("package_name"), packageName);
    notice.insert(QStringLiteral("event"), open ? QStringLiteral("open") : QStringLiteral("close"));
    const QByteArray bytes = QByteArrayLiteral("-tradory=") + QJsonDocument(notice).toJson(QJsonDocument::Compact);
    return QUrl::fromPercentEncoding(bytes);
}

QString closeLogin()
{
    return percentDecoded(QStringLiteral("-closeLogin"));
}

QString loginPageShow()
{
    return percentDecoded(QStringLiteral("-loginPageShow"));
}

QString showMainWindow()
{
    return percentDecoded(QStringLiteral("-showMainwindow"));
}

} // namespace LauncherMessages
