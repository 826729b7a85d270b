// orvanctl title against a small server on 127.0.0.1.
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

// One thread, one connection at a time: orvanctl asks one thing at a time.
class TinyHttpServer final {
public:
    TinyHttpServer() {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listener, 8);
        socklen_t length = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~TinyHttpServer() {
        ::shutdown(m_listener, SHUT_RDWR);
        ::close(m_listener);
        m_thread.join();
    }
    QString url(const char* path) const {
        return u"http://127.0.0.1:%1%2"_s.arg(m_port).arg(QLatin1String(path));
    }

private:
    void serve() {
        for (;;) {
            const int client = ::accept(m_listener, nullptr, nullptr);
            if (client < 0)
                return;
            QByteArray request;
            char buffer[4096];
            while (!request.contains("\r\n\r\n")) {
                const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
                if (got <= 0)
                    break;
                request.append(buffer, got);
            }
            const QByteArray path = request.split(' ').value(1);
            QByteArray status = "200 OK";
            QByteArray body;
            if (path == "/page")
                body =
                    "<html><title>Hello &amp;amp; Welcome &#8212; \xF0\x9F\x91\x8B</title></html>";
            else if (path == "/notitle")
                body = "<html><body>no title here</body></html>";
            else
                status = "404 Not Found";
            const QByteArray response =
                "HTTP/1.1 " + status +
                "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
            ::send(client, response.constData(), size_t(response.size()), MSG_NOSIGNAL);
            ::close(client);
        }
    }

    int m_listener = -1;
    quint16 m_port = 0;
    std::thread m_thread;
};

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run orvanctl(const QStringList& args, const QString& dataHome) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_DATA_HOME"_s, dataHome);
    env.insert(u"XDG_CONFIG_HOME"_s, dataHome);
    for (const QString& name : {u"http_proxy"_s, u"https_proxy"_s, u"HTTP_PROXY"_s,
                                u"HTTPS_PROXY"_s, u"ALL_PROXY"_s, u"all_proxy"_s})
        env.remove(name);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(ORVANCTL_PATH), args);
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

class TestTitleCommand final : public QObject {
    Q_OBJECT

private slots:
    void title_page_printsTitleLine();
    void title_noTitle_failsNamingWhy_data();
    void title_noTitle_failsNamingWhy();

private:
    TinyHttpServer m_server;
    QTemporaryDir m_home;
};

void TestTitleCommand::title_page_printsTitleLine() {
    const Run run = orvanctl({u"title"_s, m_server.url("/page")}, m_home.path());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, u"Hello & Welcome \u2014 \U0001F44B\n"_s);
}

void TestTitleCommand::title_noTitle_failsNamingWhy_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no title element")
        << QStringList{u"title"_s, m_server.url("/notitle")} << 1 << u"no title element"_s;
    QTest::newRow("error status") << QStringList{u"title"_s, m_server.url("/gone")} << 1
                                  << u"HTTP status 404"_s;
    QTest::newRow("not http") << QStringList{u"title"_s, u"ftp://127.0.0.1/x"_s} << 1
                              << u"not an http or https address"_s;
    QTest::newRow("no address") << QStringList{u"title"_s} << 2 << u"usage"_s;
}

void TestTitleCommand::title_noTitle_failsNamingWhy() {
    QFETCH(QStringList, args);
    QFETCH(QString, reason);
    const Run run = orvanctl(args, m_home.path());
    QTEST(run.exitCode, "exitCode");
    QVERIFY2(run.err.contains(reason), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
}

QTEST_GUILESS_MAIN(TestTitleCommand)
#include "test_title.moc"
