#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

// A small real HTTP/1.1 server on 127.0.0.1 for engine tests. Each route
// answers with a fixed response, optionally after a delay; every request is
// recorded with its headers.
class TestHttpServer : public QObject
{
    Q_OBJECT
public:
    struct Response {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "text/html; charset=utf-8";
        QMap<QByteArray, QByteArray> headers;
        int delayMs = 0;
    };
    struct Request {
        QByteArray method;
        QByteArray path;  // with the query
        QHash<QByteArray, QByteArray> headers;  // names in lower case
    };

    explicit TestHttpServer(QObject *parent = nullptr);

    bool start();
    quint16 port() const { return m_server.serverPort(); }
    // http://127.0.0.1:<port><path>
    QUrl url(const QString &path) const;

    void route(const QByteArray &path, const Response &response);
    void route(const QByteArray &path, const QByteArray &html) { route(path, Response{200, html, {}, {}, 0}); }
    // 302 to another address.
    void redirect(const QByteArray &path, const QByteArray &location);

    QList<Request> requests() const { return m_requests; }
    // The last request for a path (without query), or an empty one.
    Request lastRequest(const QByteArray &path) const;
    int requestCount(const QByteArray &path) const;

signals:
    void requestReceived(const QByteArray &path);

private:
    void onNewConnection();
    void serve(QTcpSocket *socket);

    QTcpServer m_server;
    QHash<QByteArray, Response> m_routes;
    QList<Request> m_requests;
};
