#pragma once

#include <QObject>
#include <QString>

class VServer;

// Qt ends the program when its last window closes, never when none opened: a
// primary whose own request was refused would stay for good, holding the
// instance lock with nothing on screen. This ends such a primary, but only
// once nothing forwarded to it is left unread: its server stops taking
// connections, the ones already queued are served, and if one of them opened
// a window the primary carries on and listens again. Clients that arrive
// meanwhile find no server; they wait, and take over as the next primary
// when this one has gone.
class WindowlessQuit : public QObject
{
    Q_OBJECT
public:
    // The result of a primary that ended without showing anything.
    static constexpr int exitCode = 1;

    WindowlessQuit(VServer *server, const QString &serverName, QObject *parent = nullptr);

    // Call when the primary shows no window; the work happens in the event
    // loop, so that QCoreApplication::exit reaches it.
    void start();

private:
    void stopListening();
    void decide();

    VServer *m_server;
    QString m_serverName;
};
