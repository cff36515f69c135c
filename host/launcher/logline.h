#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

// One message of the process as one line of the log. Messages come from
// anywhere, pages included (their console messages reach the Qt logger), so
// no message may start a line of its own or outgrow its share of the log:
// control characters, line and paragraph separators and the marks that
// reorder text on screen are written as escapes, and a message is cut to a
// bounded number of bytes.
class LogLine
{
public:
    // Bytes of message text in one line; the cut keeps whole characters.
    static constexpr int maxMessageBytes = 8 * 1024;

    // The message as it may appear in a line: escaped, at most
    // maxMessageBytes of UTF-8, with a note of its full size when cut.
    static QString sanitize(const QString &message);

    // "<local time with milliseconds> <level letter> <message>\n"; the
    // message must be sanitised already.
    static QByteArray format(QtMsgType type, const QString &sanitizedMessage, const QDateTime &when);

private:
    static bool needsEscape(char16_t c);
    static QString escapeOf(char16_t c);
};
