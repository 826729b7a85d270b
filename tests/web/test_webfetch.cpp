// Downloads, header probes, page titles and site icons against a local server.
#include "testhttpserver.h"
#include "web/fetchtitlefromurl.h"
#include "web/httpdownload.h"

#include <QtTest>

#include <unicode/ucnv.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray encode(const QString& text, const char* charset) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(charset, &status);
    QByteArray out(text.size() * 4 + 16, '\0');
    const int32_t length = ucnv_fromUChars(converter, out.data(), int32_t(out.size()),
                                           reinterpret_cast<const UChar*>(text.utf16()),
                                           int32_t(text.size()), &status);
    ucnv_close(converter);
    return out.left(length);
}

QByteArray html(const QByteArray& title) {
    return "<html><head><title>" + title + "</title></head><body>b</body></html>";
}

// Quick to give up, so the failure rows stay short.
NetworkLimits testLimits() {
    NetworkLimits limits;
    limits.connectTimeoutMs = 2000;
    limits.transferTimeoutMs = 5000;
    return limits;
}

bool stopAfterFirstChunk(quint32, quint32, quintptr) {
    return false;
}

bool belowCap(quint32 received, quint32, quintptr) {
    return received < 20000;
}

} // namespace

class TestWebFetch final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void download_boundedAndChecked_data();
    void download_boundedAndChecked();
    void download_stoppedByCallback_keepsFirstChunk();
    void download_neverAnswering_timesOut();
    void headerProbe_readsHeaders();
    void getTitle_readsPageTitle_data();
    void getTitle_readsPageTitle();
    void getTitle_triesHttpsBeforePlainHttp();
    void getTitle_removesPageFile();
    void fetchSiteIcon_storesOneFilePerSite();
    void iconFileOf_keepsSchemeAndPort_data();
    void iconFileOf_keepsSchemeAndPort();

private:
    QTemporaryDir m_home;
    std::unique_ptr<TestHttpServer> m_server;
};

void TestWebFetch::initTestCase() {
    QVERIFY(m_home.isValid());
    qputenv("XDG_DATA_HOME", m_home.filePath(u"data"_s).toUtf8());
    qputenv("XDG_CONFIG_HOME", m_home.filePath(u"config"_s).toUtf8());
    QDir(m_home.path()).mkpath(u"tmp"_s);
    qputenv("TMPDIR", m_home.filePath(u"tmp"_s).toUtf8());
    for (const char* name :
         {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"})
        qunsetenv(name);
    QStandardPaths::setTestModeEnabled(true);

    m_server = std::make_unique<TestHttpServer>();
    TestHttpServer& s = *m_server;
    s.page("/cp1251", html(encode(u"Новости дня"_s, "windows-1251")),
           "text/html; charset=WINDOWS-1251");
    s.page("/klingon", html("Qapla"), "text/html; charset=x-klingon");
    const QString russian =
        u"<html><head><title>Новости</title></head><body><p>Сегодня в городе прошёл большой "
        "праздник. Жители вышли на улицы, чтобы посмотреть на парад и послушать музыку. "
        "Вечером состоялся концерт, на котором выступили известные артисты.</p></body></html>"_s;
    s.page("/koi8", encode(russian, "koi8-r"), "text/html");
    const QString japanese =
        u"<html><head><title>ニュース</title></head><body><p>今日は東京で大きな祭りが"
        "ありました。多くの人々が通りに出て、パレードを見たり音楽を聞いたりしました。"
        "夜には有名な歌手のコンサートが開かれました。</p></body></html>"_s;
    s.page("/sjis", encode(japanese, "shift_jis"), "text/html");
    s.page("/bom", "\xEF\xBB\xBF" + html(u"Grüße aus Köln"_s.toUtf8()), "text/html");
    s.page("/split", html("\n    News\n  "), "text/html; charset=utf-8");
    s.page("/crlftab", html("A\r\n\tB"), "text/html; charset=utf-8");
    s.page("/amp", html("A &amp;amp; B"), "text/html; charset=utf-8");
    s.page("/raquo", html("Site &raquo; Page"), "text/html; charset=utf-8");
    s.page("/numeric", html("It&#8217;s"), "text/html; charset=utf-8");
    s.page("/upper", "<HTML><TITLE>Upper Case</TITLE></HTML>", "text/html; charset=utf-8");
    s.page("/empty", "<html><head><title/></head></html>", "text/html; charset=utf-8");
    s.page("/notitle", "<html><body>nothing</body></html>", "text/html; charset=utf-8");
    // The read that crosses the cap carries the title; one far beyond is never read.
    s.page("/near", QByteArray(20010, ' ') + html("Near"), "text/html; charset=utf-8");
    s.page("/far", QByteArray(200000, ' ') + html("Far"), "text/html; charset=utf-8");
    s.page("/favicon.ico", "ICON", "image/x-icon");
    s.page("/nothing", QByteArray(), "text/plain");
    s.route("/endless", [](const QByteArray&, int) {
        TestHttpServer::Response response;
        response.headers.append("Content-Type: text/html");
        response.body = "<html>";
        response.endless = true;
        return response;
    });
    s.route("/silent", [](const QByteArray&, int) {
        TestHttpServer::Response response;
        response.silent = true;
        return response;
    });
    for (int i = 1; i <= 6; ++i) {
        s.route("/hop" + QByteArray::number(i), [i](const QByteArray&, int) {
            TestHttpServer::Response response;
            response.statusLine = "HTTP/1.1 302 Found";
            response.headers.append("Location: /hop" + QByteArray::number(i - 1));
            return response;
        });
    }
    s.page("/hop0", html("Arrived"), "text/html; charset=utf-8");
    s.route("/tofile", [](const QByteArray&, int) {
        TestHttpServer::Response response;
        response.statusLine = "HTTP/1.1 302 Found";
        response.headers.append("Location: file:///etc/hostname");
        return response;
    });
    s.route("/probe", [](const QByteArray&, int) {
        TestHttpServer::Response response;
        response.headers = {"Content-Type: text/html; charset=\"koi8-r\"",
                            "Last-Modified: Wed, 21 Oct 2015 07:28:00 GMT"};
        response.body = "12345";
        return response;
    });
}

void TestWebFetch::download_boundedAndChecked_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("capped");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("failure");
    QTest::addColumn<qint64>("minSize");
    QTest::addColumn<qint64>("maxSize");
    QTest::newRow("whole page") << u"/amp"_s << false << true << int(DownloadFailure::None)
                                << qint64(html("A &amp;amp; B").size())
                                << qint64(html("A &amp;amp; B").size());
    QTest::newRow("endless body cut at cap")
        << u"/endless"_s << true << true << int(DownloadFailure::None) << qint64(20000)
        << qint64(20000 + 16384);
    QTest::newRow("five redirects followed")
        << u"/hop5"_s << false << true << int(DownloadFailure::None) << qint64(1) << qint64(1000);
    QTest::newRow("six redirects refused")
        << u"/hop6"_s << false << false << int(DownloadFailure::TooManyRedirects) << qint64(3)
        << qint64(3);
    QTest::newRow("redirect to file refused")
        << u"/tofile"_s << false << false << int(DownloadFailure::RefusedScheme) << qint64(3)
        << qint64(3);
    QTest::newRow("empty body truncates")
        << u"/nothing"_s << false << true << int(DownloadFailure::None) << qint64(0) << qint64(0);
    QTest::newRow("error status") << u"/missing"_s << false << false
                                  << int(DownloadFailure::HttpStatus) << qint64(3) << qint64(3);
}

void TestWebFetch::download_boundedAndChecked() {
    QFETCH(QString, path);
    QFETCH(bool, capped);
    QFETCH(qint64, minSize);
    QFETCH(qint64, maxSize);
    const QString file = m_home.filePath(u"download.bin"_s);
    QFile old(file);
    QVERIFY(old.open(QIODevice::WriteOnly | QIODevice::Truncate) && old.write("old") == 3);
    old.close();
    DownloadOptions options;
    options.limits = testLimits();
    if (capped)
        options.progress = belowCap;
    DownloadFailure failure;
    QTEST(downloadToFile(m_server->url(path), file, options, &failure), "ok");
    QTEST(int(failure.kind), "failure");
    QVERIFY2(QFileInfo(file).size() >= minSize && QFileInfo(file).size() <= maxSize,
             qPrintable(QString::number(QFileInfo(file).size())));
    if (path == u"/missing")
        QCOMPARE(failure.httpStatus, 404L);
}

void TestWebFetch::download_stoppedByCallback_keepsFirstChunk() {
    const QString file = m_home.filePath(u"chunk.bin"_s);
    DownloadOptions options;
    options.limits = testLimits();
    options.progress = stopAfterFirstChunk;
    QVERIFY(downloadToFile(m_server->url(u"/far"_s), file, options));
    const qint64 firstChunk = QFileInfo(file).size();
    QVERIFY(firstChunk > 0 && firstChunk <= 16384);

    options.failOnAbort = true;
    DownloadFailure failure;
    QVERIFY(!downloadToFile(m_server->url(u"/far"_s), file, options, &failure));
    QCOMPARE(failure.kind, DownloadFailure::Stopped);
}

void TestWebFetch::download_neverAnswering_timesOut() {
    DownloadOptions options;
    options.limits.connectTimeoutMs = 1000;
    options.limits.transferTimeoutMs = 500;
    DownloadFailure failure;
    QVERIFY(!downloadToFile(m_server->url(u"/silent"_s), m_home.filePath(u"silent.bin"_s), options,
                            &failure));
    QCOMPARE(failure.kind, DownloadFailure::TimedOut);
    QCOMPARE(failure.describe(), u"timed out"_s);

    // A stop request ends a hanging transfer too.
    std::atomic<bool> stop{true};
    options.limits.transferTimeoutMs = 30000;
    options.limits.stop = &stop;
    QVERIFY(!downloadToFile(m_server->url(u"/silent"_s), m_home.filePath(u"silent.bin"_s), options,
                            &failure));
    QCOMPARE(failure.kind, DownloadFailure::Stopped);
}

void TestWebFetch::headerProbe_readsHeaders() {
    UrlHeaderInfo info(m_server->url(u"/probe"_s));
    info.limits = testLimits();
    QVERIFY(info.query());
    QCOMPARE(info.charset(), u"koi8-r"_s);
    QCOMPARE(info.contentLength(), 5);
    QCOMPARE(info.lastModified(), u"Wed, 21 Oct 2015 07:28:00 GMT"_s);
    QCOMPARE(info.lastModifiedTime().year, quint16(2015));
    QCOMPARE(info.lastModifiedTime().dayOfWeek, quint16(3));
    QCOMPARE(info.lastModifiedTime().hour, quint16(7));

    // Without a path behind the host there is no host to ask.
    UrlHeaderInfo bare(u"http://127.0.0.1:%1"_s.arg(m_server->port()));
    QVERIFY(!bare.query());
}

void TestWebFetch::getTitle_readsPageTitle_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("reason");
    QTest::newRow("charset header in upper case") << u"/cp1251"_s << u"Новости дня"_s << QString();
    QTest::newRow("charset not in table")
        << u"/klingon"_s << QString() << u"unknown charset \"x-klingon\""_s;
    QTest::newRow("koi8-r detected") << u"/koi8"_s << u"Новости"_s << QString();
    QTest::newRow("shift_jis detected") << u"/sjis"_s << u"ニュース"_s << QString();
    QTest::newRow("utf-8 with bom") << u"/bom"_s << u"Grüße aus Köln"_s << QString();
    QTest::newRow("line breaks around") << u"/split"_s << u"News"_s << QString();
    QTest::newRow("line break and tab inside") << u"/crlftab"_s << u"A \tB"_s << QString();
    QTest::newRow("doubly encoded ampersand") << u"/amp"_s << u"A & B"_s << QString();
    QTest::newRow("raquo") << u"/raquo"_s << u"Site \" Page"_s << QString();
    QTest::newRow("numeric reference") << u"/numeric"_s << u"It\u2019s"_s << QString();
    QTest::newRow("upper-case element") << u"/upper"_s << u"Upper Case"_s << QString();
    QTest::newRow("empty element") << u"/empty"_s << QString() << u"empty title"_s;
    QTest::newRow("no element") << u"/notitle"_s << QString() << u"no title element"_s;
    QTest::newRow("just past the cap") << u"/near"_s << u"Near"_s << QString();
    QTest::newRow("far past the cap") << u"/far"_s << QString() << u"no title element"_s;
    QTest::newRow("after redirects") << u"/hop3"_s << u"Arrived"_s << QString();
    QTest::newRow("error status") << u"/missing"_s << QString() << u"HTTP status 404"_s;
}

void TestWebFetch::getTitle_readsPageTitle() {
    QFETCH(QString, path);
    CFetchTitleFromURL fetcher(m_server->url(path), u"Orvan"_s);
    fetcher.setLimits(testLimits());
    QTEST(fetcher.GetTitle(), "title");
    QTEST(fetcher.failureReason(), "reason");
}

void TestWebFetch::getTitle_triesHttpsBeforePlainHttp() {
    const int before = int(m_server->requests().size());
    CFetchTitleFromURL fetcher(u"https://127.0.0.1:%1/amp"_s.arg(m_server->port()), u"Orvan"_s);
    fetcher.setLimits(testLimits());
    QCOMPARE(fetcher.GetTitle(), u"A & B"_s);
    const QStringList seen = m_server->requests().mid(before);
    QVERIFY2(seen.size() >= 2, qPrintable(seen.join(u", ")));
    QCOMPARE(seen.at(0), u"TLS"_s);
    QCOMPARE(seen.at(1), u"GET /amp"_s);
    QCOMPARE(fetcher.siteAddress(), u"http://127.0.0.1:%1"_s.arg(m_server->port()));
}

void TestWebFetch::getTitle_removesPageFile() {
    const QDir temp(QDir::tempPath());
    QVERIFY(temp.path().startsWith(m_home.path()));
    {
        CFetchTitleFromURL fetcher(m_server->url(u"/upper"_s), u"Orvan"_s);
        fetcher.setLimits(testLimits());
        QVERIFY(!fetcher.GetTitle().isEmpty());
        CFetchTitleFromURL failing(m_server->url(u"/notitle"_s), u"Orvan"_s);
        failing.setLimits(testLimits());
        QVERIFY(failing.GetTitle().isEmpty());
    }
    QCOMPARE(temp.entryList({u"abcd*"_s}, QDir::Files), QStringList());
}

void TestWebFetch::fetchSiteIcon_storesOneFilePerSite() {
    const QString folder = iconFolder();
    QCOMPARE(folder, m_home.filePath(u"data/_Halvex"_s));
    QDir(folder).removeRecursively();
    const int before = m_server->hits("/favicon.ico");
    for (const QString& path : {u"/upper"_s, u"/amp"_s}) {
        CFetchTitleFromURL fetcher(m_server->url(path), u"Orvan"_s);
        fetcher.setLimits(testLimits());
        QVERIFY(!fetcher.GetTitle().isEmpty());
        QCOMPARE(fetcher.iconFile(), folder + u"/http127.0.0.1%1.ico"_s.arg(m_server->port()));
    }
    QCOMPARE(m_server->hits("/favicon.ico"), before + 2);
    const QStringList files = QDir(folder).entryList(QDir::Files);
    QCOMPARE(files, QStringList{u"http127.0.0.1%1.ico"_s.arg(m_server->port())});
    QFile icon(folder + u'/' + files.first());
    QVERIFY(icon.open(QIODevice::ReadOnly));
    QCOMPARE(icon.readAll(), QByteArray("ICON"));

    CFetchTitleFromURL fetcher(QString(), u"Orvan"_s);
    QVERIFY(!fetcher.fetchSiteIcon(u"no-scheme/page"_s, u"Orvan"_s));

    // An icon that never ends is cut at its cap and leaves no part behind.
    TestHttpServer endless;
    endless.route("/favicon.ico", [](const QByteArray&, int) {
        TestHttpServer::Response response;
        response.headers.append("Content-Type: image/x-icon");
        response.body = "ICON";
        response.endless = true;
        return response;
    });
    fetcher.setLimits(testLimits());
    QVERIFY(!fetcher.fetchSiteIcon(endless.url(u"/page"_s), u"Orvan"_s));
    QCOMPARE(QDir(folder).entryList(QDir::Files), files);
}

void TestWebFetch::iconFileOf_keepsSchemeAndPort_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("file");
    QTest::newRow("http") << u"http://www.example.org/a/b"_s << u"httpwww.example.org.ico"_s;
    QTest::newRow("https") << u"https://www.example.org/a"_s << u"httpswww.example.org.ico"_s;
    QTest::newRow("port") << u"https://host:8443/x"_s << u"httpshost8443.ico"_s;
    QTest::newRow("no path") << u"http://host"_s << u"httphost.ico"_s;
}

void TestWebFetch::iconFileOf_keepsSchemeAndPort() {
    QFETCH(QString, url);
    QTEST(iconFileOf(siteOf(url)), "file");
}

QTEST_GUILESS_MAIN(TestWebFetch)
#include "test_webfetch.moc"
