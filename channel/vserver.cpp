#include "vserver.h"

#include "locallistener.h"
#include "localpaths.h"

#include <cerrno>
#include <cstring>
#include <sys/resource.h>

namespace {

bool outOfDescriptors(int error)
{
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

} // namespace

VServer::VServer(QObject *parent)
    : QObject(parent)
    , m_listener(new LocalListener(this))
    , m_connectionLimit(connectionLimitForProcess())
{
    connect(m_listener, &LocalListener::newConnection, this, &VServer::onNewConnection);
}

VServer::~VServer()
{
    // Not ended one by one: nobody is left to hear their messages.
    for (LocalConnection *connection : qAsConst(m_connections))
        connection->disconnect(this);
}

int VServer::connectionLimitForProcess()
{
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY)
        return maxConnections;
    return int(qBound<rlim_t>(1, files.rlim_cur / descriptorShareDivisor, maxConnections));
}

bool VServer::startServer(const QString &serverName)
{
    const QString path = LocalPaths::socketPath(serverName);
    if (path.isEmpty()) {
        qWarning("[Tradory] local server not started: no private runtime folder for \"%s\"", qUtf8Printable(serverName));
        return false;
    }
    m_connectionLimit = connectionLimitForProcess();
    if (!m_listener->listen(path)) {
        qWarning("[Tradory] local server cannot listen on %s: %s", qUtf8Printable(path),
                 qUtf8Printable(m_listener->errorString()));
        return false;
    }
    return true;
}

QString VServer::socketPath() const
{
    return m_listener->path();
}

bool VServer::isListening() const
{
    return m_listener->isListening();
}

void VServer::stopListening()
{
    if (!m_listener->isListening())
        return;
    // Unlinking the path makes connect() fail for newcomers, while the
    // connections the system has already queued stay on the open socket.
    m_listener->unlinkPath();
    acceptPending(maxDrainedConnections);
    m_listener->close();
}

void VServer::onNewConnection()
{
    acceptPending(acceptsPerWakeup);
}

void VServer::acceptPending(int maxAccepts)
{
    for (int taken = 0; taken < maxAccepts && m_listener->isListening(); ++taken) {
        const int descriptor = m_listener->acceptOne();
        if (descriptor >= 0) {
            adopt(descriptor);
            continue;
        }
        const int error = errno;
        if (error == EAGAIN || error == EWOULDBLOCK)
            return;
        // That peer gave up while queued; the next one may be there.
        if (error == ECONNABORTED || error == EPROTO)
            continue;
        if (outOfDescriptors(error) && dropOldest(Complaint::OutOfDescriptors))
            continue;
        // Nothing of ours to give up: the connections stay queued until
        // descriptors come back. Listening goes on whatever happens.
        complain(Complaint::AcceptFailed, QStringLiteral("[Tradory] local server cannot take a connection (%1), trying again in %2 ms")
                                              .arg(QString::fromLocal8Bit(strerror(error)))
                                              .arg(acceptRetryMs));
        m_listener->pause(acceptRetryMs);
        return;
    }
}

void VServer::adopt(int descriptor)
{
    auto *connection = new LocalConnection(descriptor, {maxMessageBytes, idleTimeoutMs, maxLifetimeMs}, this);
    connect(connection, &LocalConnection::ended, this, &VServer::onConnectionEnded);
    m_connections.append(connection);
    while (m_connections.size() > m_connectionLimit && dropOldest(Complaint::OverLimit)) {
    }
}

bool VServer::dropOldest(Complaint why)
{
    if (m_connections.isEmpty())
        return false;
    LocalConnection *oldest = m_connections.first();
    if (why == Complaint::OverLimit)
        complain(why, QStringLiteral("[Tradory] local server holds %1 connections at once, dropped the oldest")
                          .arg(m_connectionLimit));
    else
        complain(why, QStringLiteral("[Tradory] local server out of file descriptors, dropped its oldest connection"));
    // Ends it at once, through onConnectionEnded, descriptor and all.
    oldest->drop();
    return true;
}

void VServer::onConnectionEnded(LocalConnection *connection)
{
    m_connections.removeOne(connection);
    connection->deleteLater();
    bool deliver = false;
    switch (connection->end()) {
    case LocalConnection::End::Closed:
        deliver = true;
        break;
    case LocalConnection::End::Idle:
        complain(Complaint::Idle, QStringLiteral("[Tradory] local connection idle for %1 ms, closing it").arg(idleTimeoutMs));
        deliver = true;
        break;
    case LocalConnection::End::Expired:
        complain(Complaint::Expired, QStringLiteral("[Tradory] local connection still open after %1 ms, dropped with %2 bytes")
                                         .arg(maxLifetimeMs)
                                         .arg(connection->bytesReceived()));
        break;
    case LocalConnection::End::Oversized:
        complain(Complaint::Oversized, QStringLiteral("[Tradory] local message larger than %1 bytes dropped").arg(maxMessageBytes));
        break;
    case LocalConnection::End::Dropped:
    case LocalConnection::End::Open:
        break;
    }
    if (deliver) {
        const QString message = connection->message();
        if (!message.isEmpty())
            emit playCloudGame(message);
    }
    if (m_connections.isEmpty())
        emit idle();
}

void VServer::complain(Complaint kind, const QString &text)
{
    Note &note = m_notes[int(kind)];
    if (note.last.isValid() && note.last.elapsed() < complaintIntervalMs) {
        ++note.unsaid;
        return;
    }
    QString line = text;
    if (note.unsaid > 0)
        line += QStringLiteral(" (and %1 more since the last note)").arg(note.unsaid);
    note.unsaid = 0;
    note.last.start();
    if (kind == Complaint::Oversized || kind == Complaint::AcceptFailed || kind == Complaint::OutOfDescriptors)
        qWarning("%s", qUtf8Printable(line));
    else
        qInfo("%s", qUtf8Printable(line));
}
