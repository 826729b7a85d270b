// Canned web pages on 127.0.0.1, served from a thread of their own so a test
// may block in curl while the server answers.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QSemaphore>
#include <QString>
#include <QStringList>
#include <QThread>

#include <functional>

class TestHttpServer final : public QThread {
public:
    struct Response {
        // Empty headers and body: the server keeps the connection open and says nothing.
        QByteArray statusLine = "HTTP/1.1 200 OK";
        QList<QByteArray> headers;
        QByteArray body;
        // After the body, keep sending filler for ever.
        bool endless = false;
        bool silent = false;
    };
    using Route = std::function<Response(const QByteArray& path, int hit)>;

    TestHttpServer();
    ~TestHttpServer() override;

    // hit counts the requests for this path so far, starting at 1.
    void route(const QByteArray& path, Route route);
    void page(const QByteArray& path, const QByteArray& body, const QByteArray& contentType);

    QString url(const QString& path) const;
    quint16 port() const { return m_port; }
    // "GET /path" per request, "TLS" for a connection that opened with a TLS handshake.
    QStringList requests() const;
    int hits(const QByteArray& path) const;

protected:
    void run() override;

private:
    Response respond(const QByteArray& path);

    mutable QMutex m_mutex;
    QHash<QByteArray, Route> m_routes;
    QHash<QByteArray, int> m_hits;
    QStringList m_requests;
    quint16 m_port = 0;
    QSemaphore m_started;
};
