#include "web/websitetitlecache.h"

#include "platform/settingsfile.h"
#include "web/fetchtitlefromurl.h"

#include <QCoreApplication>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace {

const QString Section = u"WebSiteTitles"_s;
// The cache reads titles back as the 260-character profile buffer allowed.
constexpr qsizetype MaxStoredTitle = 259;

QString trimSpaces(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

WebSiteTitleCache::WebSiteTitleCache(const QString& settingsFile, QObject* parent)
    : QObject(parent), m_settingsFile(settingsFile) {
    m_pool.setMaxThreadCount(MaxConcurrentFetches);
    if (QCoreApplication::instance()) {
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
                [this] { stopWorkers(); });
    }
}

WebSiteTitleCache::~WebSiteTitleCache() {
    stopWorkers(std::chrono::milliseconds(0));
    // The transfers see the stop flag within their next progress call.
    m_pool.waitForDone();
}

WebSiteTitleCache& WebSiteTitleCache::instance() {
    static QPointer<WebSiteTitleCache> cache;
    if (!cache)
        cache = new WebSiteTitleCache(SettingsIniPath(), QCoreApplication::instance());
    return *cache;
}

void WebSiteTitleCache::loadIfNeeded() {
    if (m_loaded)
        return;
    m_loaded = true;
    m_titles.clear();
    for (const auto& [url, title] : ReadProfileSection(m_settingsFile, Section)) {
        // Stored titles keep their outer spaces; the cache holds them trimmed.
        const QString shown = trimSpaces(title.left(MaxStoredTitle));
        if (!url.isEmpty() && !shown.isEmpty())
            m_titles[url] = shown;
    }
}

QString WebSiteTitleCache::lookupTitle(const QString& url) {
    loadIfNeeded();
    const auto found = m_titles.find(url);
    if (found != m_titles.end())
        return found->second;
    startTitleFetch(url);
    return QString();
}

void WebSiteTitleCache::startTitleFetch(const QString& url) {
    if (url.isEmpty() || m_stop || m_fetching.contains(url))
        return;
    m_fetching.insert(url);
    ++m_fetchesStarted;
    NetworkLimits limits = m_workerLimits;
    limits.stop = &m_stop;
    m_pool.start([this, url, limits] {
        QString title;
        if (!m_stop) {
            CFetchTitleFromURL fetcher(url, u"Orvan"_s);
            fetcher.setLimits(limits);
            title = fetcher.GetTitle();
        }
        // The cache waits for its workers before it goes, so it is still here;
        // a call still queued when it goes is dropped with it.
        if (!m_stop) {
            QMetaObject::invokeMethod(
                this, [this, url, title] { fetchEnded(url, title); }, Qt::QueuedConnection);
        }
    });
}

bool WebSiteTitleCache::storeTitle(const QString& url, const QString& title) {
    if (url.isEmpty() || title.isEmpty())
        return false;
    loadIfNeeded();
    m_titles[url] = trimSpaces(title);
    WriteProfileText(m_settingsFile, Section, url, title);
    return true;
}

void WebSiteTitleCache::fetchEnded(const QString& url, const QString& title) {
    m_fetching.remove(url);
    if (m_stop || !storeTitle(url, title))
        return;
    if (m_receiver)
        m_receiver->titleArrived(url, title);
    emit titleArrived(url, title);
}

bool WebSiteTitleCache::stopWorkers(std::chrono::milliseconds bound) {
    m_stop = true;
    m_pool.clear();
    return m_pool.waitForDone(int(bound.count()));
}
