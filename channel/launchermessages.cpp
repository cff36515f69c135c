#include "launchermessages.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cctype>

namespace LauncherMessages {

QByteArray percentDecodedBytes(const QByteArray &bytes)
{
    // QByteArray::fromPercentEncoding turns a '%' that starts no escape
    // ("100%zz") into garbage; only a '%' with two hex digits is an escape.
    QByteArray decoded;
    decoded.reserve(bytes.size());
    for (int i = 0; i < bytes.size(); ++i) {
        const bool escape = bytes.at(i) == '%' && i + 2 < bytes.size()
            && isxdigit(uchar(bytes.at(i + 1))) && isxdigit(uchar(bytes.at(i + 2)));
        if (escape) {
            decoded.append(char(QByteArray::fromHex(bytes.mid(i + 1, 2)).at(0)));
            i += 2;
        } else {
            decoded.append(bytes.at(i));
        }
    }
    return decoded;
}

QString percentDecoded(const QString &text)
{
    return QString::fromUtf8(percentDecodedBytes(text.toUtf8()));
}

QString storeNotice(const QString &oem, const QString &packageName, bool open)
{
    // Each value is decoded before it is serialised: decoding the JSON text
    // would let a "%22" or "%0A" in a package name end its string and add
    // members of its own. For values without escapes the bytes are the same.
    QJsonObject notice;
    notice.insert(QStringLiteral("oem"), percentDecoded(oem));
    notice.insert(QStringLiteral("package_name"), percentDecoded(packageName));
    notice.insert(QStringLiteral("event"), open ? QStringLiteral("open") : QStringLiteral("close"));
    return QString::fromUtf8(QByteArrayLiteral("-tradory=") + QJsonDocument(notice).toJson(QJsonDocument::Compact));
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
