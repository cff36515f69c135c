#include "vclient.h"

#include "localpaths.h"

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QThread>

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

bool VClient::connectServer(const QString &serverName, int timeoutMs)
{
    const QString path = LocalPaths::socketPath(serverName);
    if (path.isEmpty())
        return false;
    m_socket->connectToServer(path, QIODevice::ReadWrite);
    return m_socket->waitForConnected(timeoutMs);
}

bool VClient::connectServerWithRetry(const QString &serverName, int totalMs)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const int left = int(totalMs - clock.elapsed());
        if (connectServer(serverName, qMax(1, left)))
            return true;
        // Only a missing or refusing server is worth waiting for; anything
        // else will not get better.
        const auto error = m_socket->error();
        m_socket->abort();
        if (error != QLocalSocket::ServerNotFoundError && error != QLocalSocket::ConnectionRefusedError)
            return false;
        if (clock.elapsed() + 25 >= totalMs)
            return false;
        QThread::msleep(25);
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
