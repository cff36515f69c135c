#include "testhttpserver.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 302: return "Found";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

QByteArray pathWithoutQuery(const QByteArray &path)
{
    const int question = path.indexOf('?');
    return question < 0 ? path : path.left(question);
}

} // namespace

TestHttpServer::TestHttpServer(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &TestHttpServer::onNewConnection);
}

bool TestHttpServer::start()
{
    return m_server.listen(QHostAddress::LocalHost);
}

QUrl TestHttpServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path));
}

void TestHttpServer::route(const QByteArray &path, const Response &response)
{
    m_routes.insert(path, response);
}

void TestHttpServer::redirect(const QByteArray &path, const QByteArray &location)
{
    Response response;
    response.status = 302;
    response.headers.insert("Location", location);
    route(path, response);
}

TestHttpServer::Request TestHttpServer::lastRequest(const QByteArray &path) const
{
    for (int i = m_requests.size() - 1; i >= 0; --i) {
        if (pathWithoutQuery(m_requests.at(i).path) == path)
            return m_requests.at(i);
    }
    return Request();
}

int TestHttpServer::requestCount(const QByteArray &path) const
{
    int count = 0;
    for (const Request &request : m_requests)
        count += pathWithoutQuery(request.path) == path ? 1 : 0;
    return count;
}

void TestHttpServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket]() { serve(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void TestHttpServer::serve(QTcpSocket *socket)
{
    // One request per connection is enough for the engine: we answer with
    // "Connection: close".
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    const int headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0) {
        socket->setProperty("buffer", buffer);
        return;
    }
    socket->setProperty("buffer", QByteArray());
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);

    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    Request request;
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.path = requestLine.value(1);
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines.at(i).indexOf(':');
        if (colon > 0)
            request.headers.insert(lines.at(i).left(colon).trimmed().toLower(), lines.at(i).mid(colon + 1).trimmed());
    }
    m_requests << request;
    const QByteArray path = pathWithoutQuery(request.path);
    emit requestReceived(path);

    Response response;
    if (m_routes.contains(path)) {
        response = m_routes.value(path);
    } else {
        response.status = 404;
        response.body = "<html><body><h1>Not found</h1></body></html>";
    }
    QByteArray reply = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonPhrase(response.status) + "\r\n";
    reply += "Content-Type: " + response.contentType + "\r\n";
    reply += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    reply += "Cache-Control: no-store\r\nConnection: close\r\n";
    for (auto it = response.headers.constBegin(); it != response.headers.constEnd(); ++it)
        reply += it.key() + ": " + it.value() + "\r\n";
    reply += "\r\n" + response.body;

    QPointer<QTcpSocket> guarded(socket);
    QTimer::singleShot(response.delayMs, this, [guarded, reply]() {
        if (!guarded)
            return;
        guarded->write(reply);
        guarded->disconnectFromHost();
    });
}
