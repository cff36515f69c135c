#pragma once

#include <QObject>
#include <QString>

class QLocalSocket;

// Sends one text message to a named local server and is then thrown away:
// construct, connectServer, sendMessage, destroy. Destroying the client
// closes the connection, which tells the server that the message is complete.
// Both calls block the calling thread, each for at most its time-out.
class VClient : public QObject
{
    Q_OBJECT
public:
    static constexpr int connectTimeoutMs = 30000;
    static constexpr int writeTimeoutMs = 30000;

    explicit VClient(QObject *parent = nullptr);
    ~VClient() override;

    // Whether a failed connect is worth trying again: a server that is not
    // there yet (or left a stale socket behind) may come; a socket path that
    // we may not use, or that is no socket at all, stays that way.
    enum class Failure { None, NotYet, Lasting };

    bool connectServer(const QString &serverName, int timeoutMs = connectTimeoutMs);
    // Keeps trying, with a pause between tries, for up to totalMs while the
    // failure is NotYet (a primary instance that holds its lock but is still
    // starting); returns at once on a Lasting one.
    bool connectServerWithRetry(const QString &serverName, int totalMs);
    Failure lastFailure() const { return m_failure; }
    QString lastErrorString() const { return m_errorString; }

    // Writes the UTF-8 bytes of text, nothing before or after them.
    bool sendMessage(const QString &text, int timeoutMs = writeTimeoutMs);

    // One message on a fresh connection.
    static bool send(const QString &serverName, const QString &text);

    static constexpr int retryPauseMs = 25;

private:
    static Failure classify(int socketError, const QString &path);

    QLocalSocket *m_socket;
    Failure m_failure = Failure::None;
    QString m_errorString;
};
