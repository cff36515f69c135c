#pragma once

#include <QByteArray>
#include <QString>

// The texts this program sends to the launcher's local server, and the one
// rule every message follows before it is sent: its UTF-8 bytes are
// percent-decoded ("%41" becomes "A") and read as UTF-8 again.
namespace LauncherMessages {

QString percentDecoded(const QString &text);
QByteArray percentDecodedBytes(const QByteArray &bytes);

// "-tradory=" followed by {"event":"open|close","oem":..,"package_name":..},
// compact, keys sorted; already percent-decoded.
QString storeNotice(const QString &oem, const QString &packageName, bool open);

QString closeLogin();      // "-closeLogin"
QString loginPageShow();   // "-loginPageShow"
QString showMainWindow();  // "-showMainwindow"

} // namespace LauncherMessages
