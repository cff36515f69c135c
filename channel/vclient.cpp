#include "vclient.h"

#include "localpaths.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QThread>

#include <sys/stat.h>

VClient::VClient(QObject *parent)
    : QObject(parent)
    , m_socket(new QLocalSocket(this))
{
}

VClient::~VClient()
{
    if (m_socket->state() == QLocalSocket::ConnectedState)
        m_socket->disconnectFromServer();
}

VClient::Failure VClient::classify(int socketError, const QString &path)
{
    switch (QLocalSocket::LocalSocketError(socketError)) {
    case QLocalSocket::ServerNotFoundError:
    case QLocalSocket::SocketTimeoutError:
        return Failure::NotYet;
    case QLocalSocket::ConnectionRefusedError: {
        // A socket nobody listens on is what a primary that ended abnormally
        // leaves; the next one replaces it. Anything else at the path (a
        // file, a folder) is refused the same way, and stays.
        struct stat info;
        if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
            return Failure::NotYet;
        return S_ISSOCK(info.st_mode) ? Failure::NotYet : Failure::Lasting;
    }
    case QLocalSocket::SocketAccessError:
    case QLocalSocket::UnsupportedSocketOperationError:
        return Failure::Lasting;
    default:
        // A server's full queue can come back as an unknown error (EAGAIN)
        // and a crowd of starts meets exactly that: only what is known not
        // to pass gives up early. Retries pause, so waiting costs nothing.
        return Failure::NotYet;
    }
}

bool VClient::connectServer(const QString &serverName, int timeoutMs)
{
    const QString path = LocalPaths::socketPath(serverName);
    if (path.isEmpty()) {
        m_failure = Failure::Lasting;
        m_errorString = QStringLiteral("no private runtime folder for \"%1\"").arg(serverName);
        return false;
    }
    m_socket->connectToServer(path, QIODevice::ReadWrite);
    if (m_socket->waitForConnected(timeoutMs)) {
        m_failure = Failure::None;
        m_errorString.clear();
        return true;
    }
    // Still connecting when the time is up: the server's queue is full (a
    // crowd of starts), which passes. Qt reports no error for it.
    m_failure = m_socket->state() == QLocalSocket::ConnectingState ? Failure::NotYet
                                                                   : classify(m_socket->error(), path);
    m_errorString = path + QStringLiteral(": ") + m_socket->errorString();
    return false;
}

bool VClient::connectServerWithRetry(const QString &serverName, int totalMs)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const int left = int(totalMs - clock.elapsed());
        if (connectServer(serverName, qMax(1, left)))
            return true;
        m_socket->abort();
        if (m_failure == Failure::Lasting)
            return false;
        if (clock.elapsed() + retryPauseMs >= totalMs)
            return false;
        QThread::msleep(retryPauseMs);
    }
}

bool VClient::sendMessage(const QString &text, int timeoutMs)
{
    if (m_socket->state() != QLocalSocket::ConnectedState)
        return false;
    const QByteArray bytes = text.toUtf8();
    if (m_socket->write(bytes) != bytes.size())
        return false;
    m_socket->flush();
    while (m_socket->bytesToWrite() > 0) {
        if (!m_socket->waitForBytesWritten(timeoutMs))
            return false;
    }
    return true;
}

bool VClient::send(const QString &serverName, const QString &text)
{
    VClient client;
    return client.connectServer(serverName) && client.sendMessage(text);
}
