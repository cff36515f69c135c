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

    bool connectServer(const QString &serverName, int timeoutMs = connectTimeoutMs);
    // Keeps trying for up to totalMs while no server listens under the name
    // yet (a primary instance that holds its lock but is still starting).
    bool connectServerWithRetry(const QString &serverName, int totalMs);

    // Writes the UTF-8 bytes of text, nothing before or after them.
    bool sendMessage(const QString &text, int timeoutMs = writeTimeoutMs);

    // One message on a fresh connection.
    static bool send(const QString &serverName, const QString &text);

private:
    QLocalSocket *m_socket;
};
