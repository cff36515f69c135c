#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

// This program's own local server. A client sends one message per connection
// and closes it; the server collects each connection's bytes and emits
// playCloudGame once, with the UTF-8 text, when the sender has closed the
// connection. A sender that goes quiet for idleTimeoutMs without closing has
// what it sent so far delivered and its connection dropped; a message larger
// than maxMessageBytes is dropped with a log line.
class VServer : public QObject
{
    Q_OBJECT
public:
    static constexpr int maxMessageBytes = 64 * 1024;
    static constexpr int idleTimeoutMs = 5000;
    // At most this many queued connections are taken when listening stops;
    // the system's own queue is far shorter.
    static constexpr int maxDrainedConnections = 1000;

    explicit VServer(QObject *parent = nullptr);
    ~VServer() override;

    // Removes a stale socket of an earlier server under the same name, then
    // listens. A failure to listen is logged and returned.
    bool startServer(const QString &serverName);
    QString socketPath() const;

    // Stops taking connections without losing one: the socket path goes
    // first, so that no new client can reach this server, then every
    // connection already queued is taken and read as usual. Clients that
    // come later find no server and wait or take over (see Startup).
    void stopListening();
    bool isListening() const;
    // Connections taken but not yet finished.
    int pendingCount() const { return m_pending.size(); }

signals:
    void playCloudGame(const QString &param);
    // The last taken connection has finished (after its playCloudGame).
    void idle();

private slots:
    void onNewConnection();
    void onReadyRead();
    void onDisconnected();

private:
    struct Pending {
        QByteArray bytes;
        bool oversized = false;
        bool finished = false;
    };
    void readAvailable(QLocalSocket *socket);
    void finish(QLocalSocket *socket);
    void restartIdleTimer(QLocalSocket *socket);

    QLocalServer *m_server;
    QHash<QLocalSocket *, Pending> m_pending;
};
