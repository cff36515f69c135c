#pragma once

#include "messageassembler.h"

#include <QObject>

class QSocketNotifier;
class QTimer;

// One accepted connection of the local server, read straight from its
// descriptor so that what it holds is exactly what the server asked for.
// It ends when the sender closes, when the sender goes quiet, when it has
// been open too long however it trickles, when its message grows past the
// bound, or when the server drops it; the descriptor is closed at once.
class LocalConnection : public QObject
{
    Q_OBJECT
public:
    enum class End {
        Open,
        Closed,    // the sender closed: its message is whole
        Idle,      // silent for the idle time: what came so far is the message
        Expired,   // open longer than its lifetime: not one of our senders
        Oversized, // the message grew past the bound
        Dropped,   // the server needed the room
    };

    struct Limits {
        int maxMessageBytes;
        int idleTimeoutMs;
        int lifetimeMs;
    };

    LocalConnection(int descriptor, const Limits &limits, QObject *parent = nullptr);
    ~LocalConnection() override;

    End end() const { return m_end; }
    // The message, once the connection has ended as Closed or Idle.
    QString message() const { return m_message.message(); }
    int bytesReceived() const { return m_message.size(); }

    // Ends it for the server's sake. What has arrived is read first, so a
    // sender that had already finished is still heard (as Closed).
    void drop();

signals:
    // Emitted once, after the descriptor is closed.
    void ended(LocalConnection *connection);

private slots:
    void onReadyRead();

private:
    // Reads everything the system holds for us; false once the connection
    // has ended on the way.
    bool readAvailable();
    void finish(End end);
    void endUnlessClosed(End end);

    int m_fd;
    MessageAssembler m_message;
    QSocketNotifier *m_notifier;
    QTimer *m_idle;
    QTimer *m_lifetime;
    End m_end = End::Open;
};
