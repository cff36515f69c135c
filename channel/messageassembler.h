#pragma once

#include <QByteArray>
#include <QString>

// What one connection's bytes amount to. A sender puts exactly one message
// on a connection and closes it; nothing frames it, so the message is all
// that arrived. It is decoded only once it is whole, because reads may split
// a UTF-8 character anywhere. A message past the bound is given up, and
// nothing more of it is kept: a peer cannot make the server hold more.
class MessageAssembler
{
public:
    explicit MessageAssembler(int maxBytes);

    // False once the message is over the bound: the rest is not worth reading.
    bool append(const char *data, int size);
    bool isOversized() const { return m_oversized; }
    int size() const { return m_bytes.size(); }
    // The text of the message; empty when nothing came or it was too large.
    QString message() const;

private:
    int m_maxBytes;
    QByteArray m_bytes;
    bool m_oversized = false;
};
