#include "vserver.h"

#include "localpaths.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QFile>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {
const char idleTimerName[] = "idleTimer";
}

VServer::VServer(QObject *parent)
    : QObject(parent)
    , m_server(new QLocalServer(this))
{
    connect(m_server, &QLocalServer::newConnection, this, &VServer::onNewConnection);
}

VServer::~VServer() = default;

bool VServer::startServer(const QString &serverName)
{
    const QString path = LocalPaths::socketPath(serverName);
    if (path.isEmpty()) {
        qWarning("[Tradory] local server not started: no private runtime folder for \"%s\"", qUtf8Printable(serverName));
        return false;
    }
    QLocalServer::removeServer(path);
    m_server->setSocketOptions(QLocalServer::WorldAccessOption);
    if (!m_server->listen(path)) {
        qWarning("[Tradory] local server cannot listen on %s: %s", qUtf8Printable(path),
                 qUtf8Printable(m_server->errorString()));
        return false;
    }
    return true;
}

QString VServer::socketPath() const
{
    return m_server->fullServerName();
}

bool VServer::isListening() const
{
    return m_server->isListening();
}

void VServer::stopListening()
{
    if (!m_server->isListening())
        return;
    const QString path = m_server->fullServerName();
    // Unlinking the path makes connect() fail for newcomers, while the
    // connections the system has already queued stay on the open socket.
    if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
        qWarning("[Tradory] cannot remove %s: %s", qUtf8Printable(path), strerror(errno));
    for (int taken = 0; taken < maxDrainedConnections && m_server->isListening(); ++taken) {
        bool timedOut = false;
        m_server->waitForNewConnection(0, &timedOut);
        if (timedOut)
            break;
    }
    onNewConnection();
    m_server->close();
}

void VServer::onNewConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        m_pending.insert(socket, Pending());
        connect(socket, &QLocalSocket::readyRead, this, &VServer::onReadyRead);
        connect(socket, &QLocalSocket::disconnected, this, &VServer::onDisconnected);
        auto *idle = new QTimer(socket);
        idle->setObjectName(QLatin1String(idleTimerName));
        idle->setSingleShot(true);
        idle->setInterval(idleTimeoutMs);
        connect(idle, &QTimer::timeout, this, [this, socket]() {
            qInfo("[Tradory] local connection idle for %d ms, closing it", idleTimeoutMs);
            finish(socket);
        });
        idle->start();
        // Data and even the close may already be here.
        if (socket->bytesAvailable() > 0)
            readAvailable(socket);
        if (socket->state() == QLocalSocket::UnconnectedState)
            finish(socket);
    }
}

void VServer::onReadyRead()
{
    if (auto *socket = qobject_cast<QLocalSocket *>(sender()))
        readAvailable(socket);
}

void VServer::onDisconnected()
{
    if (auto *socket = qobject_cast<QLocalSocket *>(sender()))
        finish(socket);
}

void VServer::readAvailable(QLocalSocket *socket)
{
    auto it = m_pending.find(socket);
    if (it == m_pending.end() || it->finished)
        return;
    const QByteArray chunk = socket->readAll();
    if (it->oversized)
        return;
    if (it->bytes.size() + chunk.size() > maxMessageBytes) {
        it->oversized = true;
        it->bytes.clear();
        qWarning("[Tradory] local message larger than %d bytes dropped", maxMessageBytes);
        // No point in reading the rest: close now.
        QTimer::singleShot(0, socket, [this, socket]() { finish(socket); });
        return;
    }
    it->bytes += chunk;
    restartIdleTimer(socket);
}

void VServer::restartIdleTimer(QLocalSocket *socket)
{
    if (auto *idle = socket->findChild<QTimer *>(QLatin1String(idleTimerName)))
        idle->start();
}

void VServer::finish(QLocalSocket *socket)
{
    auto it = m_pending.find(socket);
    if (it == m_pending.end() || it->finished)
        return;
    readAvailable(socket);
    it = m_pending.find(socket);
    it->finished = true;
    const Pending done = *it;
    m_pending.erase(it);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    if (!done.oversized && !done.bytes.isEmpty())
        emit playCloudGame(QString::fromUtf8(done.bytes));
    if (m_pending.isEmpty())
        emit idle();
}
