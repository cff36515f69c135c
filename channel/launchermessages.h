#pragma once

#include <QByteArray>
#include <QString>

// The texts this program sends to the launcher's local server, and the one
// rule they follow before they are sent: their UTF-8 bytes are
// percent-decoded ("%41" becomes "A") and read as UTF-8 again.
//
// A request name forwarded to the primary is not such a text: it is a file
// name, sent exactly as given, so that both roles open the same file.
namespace LauncherMessages {

QString percentDecoded(const QString &text);
QByteArray percentDecodedBytes(const QByteArray &bytes);

// "-tradory=" followed by {"event":"open|close","oem":..,"package_name":..},
// compact, keys sorted. The values are percent-decoded one by one, so that
// what they hold stays inside their strings.
QString storeNotice(const QString &oem, const QString &packageName, bool open);

QString closeLogin();      // "-closeLogin"
QString loginPageShow();   // "-loginPageShow"
QString showMainWindow();  // "-showMainwindow"

} // namespace LauncherMessages
