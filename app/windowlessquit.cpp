#include "windowlessquit.h"

#include "vserver.h"
#include "windowregistry.h"

#include <QCoreApplication>
#include <QTimer>

WindowlessQuit::WindowlessQuit(VServer *server, const QString &serverName, QObject *parent)
    : QObject(parent)
    , m_server(server)
    , m_serverName(serverName)
{
}

void WindowlessQuit::start()
{
    QTimer::singleShot(0, this, &WindowlessQuit::stopListening);
}

void WindowlessQuit::stopListening()
{
    // A request read before this ran may have opened a window already.
    if (WindowRegistry::instance()->hasWindow())
        return;
    m_server->stopListening();
    if (m_server->pendingCount() == 0) {
        decide();
        return;
    }
    qInfo("[Tradory] no window yet, serving %d queued request(s) first", m_server->pendingCount());
    connect(m_server, &VServer::idle, this, &WindowlessQuit::decide, Qt::UniqueConnection);
}

void WindowlessQuit::decide()
{
    disconnect(m_server, &VServer::idle, this, &WindowlessQuit::decide);
    if (WindowRegistry::instance()->hasWindow()) {
        qInfo("[Tradory] a forwarded request opened a window, listening again");
        m_server->startServer(m_serverName);
        return;
    }
    qInfo("[Tradory] no window to show, leaving");
    QCoreApplication::exit(exitCode);
}
