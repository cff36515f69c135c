#pragma once

#include "localconnection.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

class LocalListener;

// This program's own local server. A client sends one message per connection
// and closes it; the server collects each connection's bytes and emits
// playCloudGame once, with the UTF-8 text, when the sender has closed the
// connection. A sender that goes quiet for idleTimeoutMs without closing has
// what it sent so far delivered and its connection dropped; a message larger
// than maxMessageBytes is dropped with a log line.
//
// Any local peer can connect, so what a peer can make the server hold is
// bounded: a connection lives at most maxLifetimeMs whatever it sends, at
// most connectionLimit() are held at once (a newcomer pushes out the oldest,
// which a real sender has long finished with), and when the process runs out
// of descriptors the server gives up its oldest connection or waits, but
// always keeps listening.
class VServer : public QObject
{
    Q_OBJECT
public:
    static constexpr int maxMessageBytes = 64 * 1024;
    static constexpr int idleTimeoutMs = 5000;
    // A sender writes its one message at once; twice the idle time is
    // plenty for any of ours, however busy the machine.
    static constexpr int maxLifetimeMs = 2 * idleTimeoutMs;
    // Connections held at once. Real senders stay for milliseconds; this is
    // more than a crowd of starts queues at a time (the listener's backlog).
    static constexpr int maxConnections = 128;
    // ... and never more than this fraction of the descriptors the process
    // may open: the browser engine needs the rest and aborts without them.
    static constexpr int descriptorShareDivisor = 4;
    // Pause before accepting again when no descriptor is left and the
    // server holds none it could give up.
    static constexpr int acceptRetryMs = 200;
    // Connections taken per wake-up, so that a crowd cannot keep the event
    // loop from everything else.
    static constexpr int acceptsPerWakeup = 64;
    // Least time between two log lines about peers dropped for one reason:
    // a crowd must not be able to fill the log.
    static constexpr int complaintIntervalMs = 1000;
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
    int pendingCount() const { return m_connections.size(); }
    // Connections held at once, from maxConnections and the process's
    // descriptor limit when listening started.
    int connectionLimit() const { return m_connectionLimit; }

signals:
    void playCloudGame(const QString &param);
    // The last taken connection has finished (after its playCloudGame).
    void idle();

private slots:
    void onNewConnection();
    void onConnectionEnded(LocalConnection *connection);

private:
    enum class Complaint { Idle, Expired, Oversized, OverLimit, OutOfDescriptors, AcceptFailed, Count };

    void acceptPending(int maxAccepts);
    void adopt(int descriptor);
    bool dropOldest(Complaint why);
    void complain(Complaint kind, const QString &text);
    static int connectionLimitForProcess();

    LocalListener *m_listener;
    // Oldest first.
    QList<LocalConnection *> m_connections;
    int m_connectionLimit;
    struct Note {
        QElapsedTimer last;
        int unsaid = 0;
    };
    Note m_notes[int(Complaint::Count)];
};
