#include "testhttpserver.h"

#include <QHostAddress>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

TestHttpServer::TestHttpServer() {
    start();
    m_started.acquire();
}

TestHttpServer::~TestHttpServer() {
    quit();
    wait();
}

void TestHttpServer::route(const QByteArray& path, Route route) {
    QMutexLocker lock(&m_mutex);
    m_routes.insert(path, std::move(route));
}

void TestHttpServer::page(const QByteArray& path, const QByteArray& body,
                          const QByteArray& contentType) {
    route(path, [body, contentType](const QByteArray&, int) {
        Response response;
        if (!contentType.isEmpty())
            response.headers.append("Content-Type: " + contentType);
        response.body = body;
        return response;
    });
}

QString TestHttpServer::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

QStringList TestHttpServer::requests() const {
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

int TestHttpServer::hits(const QByteArray& path) const {
    QMutexLocker lock(&m_mutex);
    return m_hits.value(path);
}

TestHttpServer::Response TestHttpServer::respond(const QByteArray& path) {
    Route route;
    int hit = 0;
    {
        QMutexLocker lock(&m_mutex);
        m_requests.append(QStringLiteral("GET ") + QString::fromLatin1(path));
        hit = ++m_hits[path];
        route = m_routes.value(path);
    }
    if (!route) {
        Response missing;
        missing.statusLine = "HTTP/1.1 404 Not Found";
        missing.headers.append("Content-Type: text/html");
        missing.body = "<html><title>Not Found</title></html>";
        return missing;
    }
    return route(path, hit);
}

void TestHttpServer::run() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    m_port = server.serverPort();
    QObject::connect(&server, &QTcpServer::newConnection, &server, [this, &server] {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                if (socket->property("answered").toBool())
                    return;
                QByteArray request = socket->property("request").toByteArray() + socket->readAll();
                socket->setProperty("request", request);
                if (request.startsWith('\x16')) {
                    {
                        QMutexLocker lock(&m_mutex);
                        m_requests.append(QStringLiteral("TLS"));
                    }
                    socket->setProperty("answered", true);
                    socket->abort();
                    return;
                }
                if (!request.contains("\r\n\r\n"))
                    return;
                socket->setProperty("answered", true);
                const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
                const Response response = respond(words.value(1));
                if (response.silent)
                    return;
                QByteArray head = response.statusLine + "\r\n";
                for (const QByteArray& header : response.headers)
                    head += header + "\r\n";
                if (!response.endless)
                    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
                head += "Connection: close\r\n\r\n";
                socket->write(head + response.body);
                if (!response.endless) {
                    socket->disconnectFromHost();
                    return;
                }
                auto* filler = new QTimer(socket);
                QObject::connect(filler, &QTimer::timeout, socket, [socket] {
                    if (socket->bytesToWrite() < 65536)
                        socket->write(QByteArray(4096, 'x'));
                });
                filler->start(5);
            });
        }
    });
    m_started.release();
    exec();
}
