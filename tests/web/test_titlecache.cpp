// The title cache: answers from memory and the settings file, workers for
// misses, results handed back to the thread that owns the cache.
#include "platform/settingsfile.h"
#include "testhttpserver.h"
#include "web/websitetitlecache.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

class RecordingReceiver final : public TitleReceiver {
public:
    void titleArrived(const QString& url, const QString& title) override {
        arrivals.append({url, title});
    }
    QList<QPair<QString, QString>> arrivals;
};

} // namespace

class TestTitleCache final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void lookupTitle_storedInSettings_answersWithoutWorker();
    void lookupTitle_sameUrlWhileFetching_fetchesOnce();
    void lookupTitle_afterFetchWithoutTitle_fetchesAgain();
    void lookupTitle_otherLetterCase_isMiss();
    void storeTitle_cachesTrimmedWritesAsItCame();
    void storeTitle_emptyUrlOrTitle_storesNothing();
    void startTitleFetch_manyUrls_atMostFourAtOnce();
    void destroy_hangingFetch_isCancelledAndAwaited();

private:
    QString settingsFile() const { return m_home.filePath(u"Settings.ini"_s); }

    QTemporaryDir m_home;
    std::unique_ptr<TestHttpServer> m_server;
};

void TestTitleCache::initTestCase() {
    QVERIFY(m_home.isValid());
    qputenv("XDG_DATA_HOME", m_home.filePath(u"data"_s).toUtf8());
    qputenv("XDG_CONFIG_HOME", m_home.filePath(u"config"_s).toUtf8());
    for (const char* name :
         {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"})
        qunsetenv(name);
    QStandardPaths::setTestModeEnabled(true);
    m_server = std::make_unique<TestHttpServer>();
    m_server->route("/visits", [](const QByteArray&, int hit) {
        TestHttpServer::Response response;
        response.headers.append("Content-Type: text/html; charset=utf-8");
        response.body = "<title>Visit " + QByteArray::number(hit) + "</title>";
        return response;
    });
    const auto silent = [](const QByteArray&, int) {
        TestHttpServer::Response response;
        response.silent = true;
        return response;
    };
    m_server->route("/silent", silent);
    for (int i = 1; i <= 6; ++i)
        m_server->route("/silent" + QByteArray::number(i), silent);
    m_server->page("/untitled", "<html><body>no title here</body></html>", "text/html");
}

void TestTitleCache::init() {
    QFile::remove(settingsFile());
}

void TestTitleCache::lookupTitle_storedInSettings_answersWithoutWorker() {
    const QString url = m_server->url(u"/stored"_s);
    QVERIFY(WriteProfileText(settingsFile(), u"WebSiteTitles"_s, url, u"Stored Title"_s));
    QVERIFY(
        WriteProfileText(settingsFile(), u"WebSiteTitles"_s, u"http://e.example/"_s, QString()));
    WebSiteTitleCache cache(settingsFile());
    QCOMPARE(cache.lookupTitle(url), u"Stored Title"_s);
    QCOMPARE(cache.fetchesStarted(), 0);
    QCOMPARE(m_server->hits("/stored"), 0);
}

void TestTitleCache::lookupTitle_sameUrlWhileFetching_fetchesOnce() {
    const QString url = m_server->url(u"/visits"_s);
    WebSiteTitleCache cache(settingsFile());
    RecordingReceiver receiver;
    cache.setReceiver(&receiver);
    QSignalSpy arrived(&cache, &WebSiteTitleCache::titleArrived);
    // The result comes back through the event loop, so the second lookup
    // always finds the first fetch still running.
    QVERIFY(cache.lookupTitle(url).isEmpty());
    QVERIFY(cache.lookupTitle(url).isEmpty());
    QCOMPARE(cache.fetchesStarted(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(arrived.size(), 1, 20000);
    QCOMPARE(receiver.arrivals, (QList<QPair<QString, QString>>{{url, u"Visit 1"_s}}));
    QCOMPARE(cache.lookupTitle(url), u"Visit 1"_s);
    QString written;
    QVERIFY(ReadProfileText(settingsFile(), u"WebSiteTitles"_s, url, written));
    QCOMPARE(written, u"Visit 1"_s);
    QVERIFY(!cache.isFetching(url));
    QTest::qWait(300);
    QCOMPARE(arrived.size(), 1);
}

void TestTitleCache::lookupTitle_afterFetchWithoutTitle_fetchesAgain() {
    const QString url = m_server->url(u"/untitled"_s);
    WebSiteTitleCache cache(settingsFile());
    QSignalSpy arrived(&cache, &WebSiteTitleCache::titleArrived);
    QVERIFY(cache.lookupTitle(url).isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(!cache.isFetching(url), 20000);
    const int requestsPerFetch = m_server->hits("/untitled");
    QVERIFY(requestsPerFetch > 0);
    QVERIFY(cache.lookupTitle(url).isEmpty());
    QCOMPARE(cache.fetchesStarted(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(!cache.isFetching(url), 20000);
    QCOMPARE(m_server->hits("/untitled"), 2 * requestsPerFetch);
    QCOMPARE(arrived.size(), 0);
    QVERIFY(!QFile::exists(settingsFile()));
}

void TestTitleCache::lookupTitle_otherLetterCase_isMiss() {
    WebSiteTitleCache cache(settingsFile());
    QVERIFY(cache.storeTitle(m_server->url(u"/Cased"_s), u"Cased"_s));
    QCOMPARE(cache.lookupTitle(m_server->url(u"/Cased"_s)), u"Cased"_s);
    QVERIFY(cache.lookupTitle(m_server->url(u"/cased"_s)).isEmpty());
    QCOMPARE(cache.fetchesStarted(), 1);
    QVERIFY(cache.stopWorkers());
}

void TestTitleCache::storeTitle_cachesTrimmedWritesAsItCame() {
    const QString url = u"http://t.example/?q=a;b"_s;
    {
        WebSiteTitleCache cache(settingsFile());
        QVERIFY(cache.storeTitle(url, u"  Spaced Out \t "_s));
        QCOMPARE(cache.lookupTitle(url), u"Spaced Out \t"_s);
    }
    QString written;
    QVERIFY(ReadProfileText(settingsFile(), u"WebSiteTitles"_s, url, written));
    QCOMPARE(written, u"  Spaced Out \t "_s);
    // A later run loads the title as the cache held it.
    WebSiteTitleCache reloaded(settingsFile());
    QCOMPARE(reloaded.lookupTitle(url), u"Spaced Out \t"_s);
    QCOMPARE(reloaded.fetchesStarted(), 0);
}

void TestTitleCache::storeTitle_emptyUrlOrTitle_storesNothing() {
    WebSiteTitleCache cache(settingsFile());
    QVERIFY(!cache.storeTitle(QString(), u"T"_s));
    QVERIFY(!cache.storeTitle(u"http://x.example/"_s, QString()));
    QVERIFY(!QFile::exists(settingsFile()));
    cache.startTitleFetch(QString());
    QCOMPARE(cache.fetchesStarted(), 0);
}

void TestTitleCache::startTitleFetch_manyUrls_atMostFourAtOnce() {
    WebSiteTitleCache cache(settingsFile());
    QSignalSpy arrived(&cache, &WebSiteTitleCache::titleArrived);
    for (int i = 1; i <= 6; ++i)
        QVERIFY(cache.lookupTitle(m_server->url(u"/silent%1"_s.arg(i))).isEmpty());
    QCOMPARE(cache.fetchesStarted(), 6);
    const auto requested = [this] {
        int total = 0;
        for (int i = 1; i <= 6; ++i)
            total += m_server->hits("/silent" + QByteArray::number(i));
        return total;
    };
    // Four workers now wait on a server that never answers; two fetches queue.
    QTRY_COMPARE_WITH_TIMEOUT(requested(), 4, 10000);
    QTest::qWait(300);
    QCOMPARE(requested(), 4);
    // Stopping drops the queued two and cancels the four.
    QVERIFY(cache.stopWorkers(std::chrono::milliseconds(60000)));
    QCOMPARE(requested(), 4);
    QCoreApplication::processEvents();
    QCOMPARE(arrived.size(), 0);
    // A stopped cache starts nothing more.
    cache.startTitleFetch(m_server->url(u"/visits"_s));
    QCOMPARE(cache.fetchesStarted(), 6);
}

void TestTitleCache::destroy_hangingFetch_isCancelledAndAwaited() {
    {
        WebSiteTitleCache cache(settingsFile());
        // Without the cancel, the destructor would wait out this bound.
        NetworkLimits patient;
        patient.connectTimeoutMs = 600000;
        patient.transferTimeoutMs = 600000;
        cache.setWorkerLimits(patient);
        QVERIFY(cache.lookupTitle(m_server->url(u"/silent"_s)).isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(m_server->hits("/silent"), 1, 10000);
    }
    // The worker ended inside the destructor; nothing it could post is left.
    QCoreApplication::processEvents();
    QCOMPARE(m_server->hits("/silent"), 1);
}

QTEST_GUILESS_MAIN(TestTitleCache)
#include "test_titlecache.moc"
