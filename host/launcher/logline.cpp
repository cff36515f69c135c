#include "logline.h"

#include <algorithm>

bool LogLine::needsEscape(char16_t c)
{
    // The tab stays: it moves text along a line but never starts one.
    if (c == u'\t')
        return false;
    return c < 0x20 || (c >= 0x7f && c <= 0x9f)   // C0, DEL and C1 (NEL among them)
        || c == 0x2028 || c == 0x2029              // line and paragraph separators
        || (c >= 0x202a && c <= 0x202e)            // embeddings and overrides
        || (c >= 0x2066 && c <= 0x2069) || c == 0x200e || c == 0x200f || c == 0x061c;  // isolates, marks
}

QString LogLine::escapeOf(char16_t c)
{
    switch (c) {
    case u'\n': return QStringLiteral("\\n");
    case u'\r': return QStringLiteral("\\r");
    default: break;
    }
    if (c < 0x100)
        return QStringLiteral("\\x%1").arg(uint(c), 2, 16, QLatin1Char('0'));
    return QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
}

QString LogLine::sanitize(const QString &message)
{
    // Most messages are short plain text: three bytes a character at most.
    if (message.size() <= maxMessageBytes / 3
        && std::none_of(message.begin(), message.end(), [](QChar c) { return needsEscape(c.unicode()); }))
        return message;
    QString out;
    int bytes = 0;
    int i = 0;
    // Every character is at least one byte, so no more than maxMessageBytes
    // of the input are ever looked at, however long the message.
    while (i < message.size()) {
        const char16_t c = message.at(i).unicode();
        const bool pair = QChar::isHighSurrogate(c) && i + 1 < message.size() && message.at(i + 1).isLowSurrogate();
        const QString piece = needsEscape(c) ? escapeOf(c) : message.mid(i, pair ? 2 : 1);
        // A lone surrogate is written as the three bytes of U+FFFD.
        const int pieceBytes = needsEscape(c) ? piece.size() : pair ? 4 : c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        if (bytes + pieceBytes > maxMessageBytes)
            break;
        out += piece;
        bytes += pieceBytes;
        i += pair ? 2 : 1;
    }
    if (i < message.size())
        out += QStringLiteral(" [cut, %1 characters in all]").arg(message.size());
    return out;
}

QByteArray LogLine::format(QtMsgType type, const QString &sanitizedMessage, const QDateTime &when)
{
    static const char levels[] = {'D', 'W', 'C', 'F', 'I'};
    const char level = (type >= 0 && type < int(sizeof levels)) ? levels[type] : '?';
    return when.toString(Qt::ISODateWithMs).toUtf8() + ' ' + level + ' ' + sanitizedMessage.toUtf8() + '\n';
}
