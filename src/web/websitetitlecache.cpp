#include "web/websitetitlecache.h"

#include "platform/settingsfile.h"
#include "web/fetchtitlefromurl.h"

#include <QCoreApplication>
#include <QPointer>

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

using namespace Qt::StringLiterals;

// What the workers and the cache share. A worker keeps it alive for itself, so
// a worker outliving the cache finds the target gone and posts nothing.
struct TitleWorkerPool {
    std::mutex mutex;
    std::condition_variable allDone;
    int running = 0;
    std::atomic<bool> stop{false};
    WebSiteTitleCache* target = nullptr;
};

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

void runTitleWorker(std::shared_ptr<TitleWorkerPool> pool, QString url, NetworkLimits limits) {
    limits.stop = &pool->stop;
    {
        CFetchTitleFromURL fetcher(url, u"Orvan"_s);
        fetcher.setLimits(limits);
        const QString title = fetcher.GetTitle();
        std::lock_guard lock(pool->mutex);
        if (!title.isEmpty() && pool->target && !pool->stop) {
            WebSiteTitleCache* target = pool->target;
            QMetaObject::invokeMethod(
                target, [target, url, title] { target->titleFetched(url, title); },
                Qt::QueuedConnection);
        }
    }
    std::lock_guard lock(pool->mutex);
    --pool->running;
    pool->allDone.notify_all();
}

WebSiteTitleCache::WebSiteTitleCache(const QString& settingsFile, QObject* parent)
    : QObject(parent), m_settingsFile(settingsFile), m_pool(std::make_shared<TitleWorkerPool>()) {
    m_pool->target = this;
    if (QCoreApplication::instance()) {
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
                [this] { stopWorkers(); });
    }
}

WebSiteTitleCache::~WebSiteTitleCache() {
    stopWorkers();
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
    if (url.isEmpty())
        return;
    {
        std::lock_guard lock(m_pool->mutex);
        if (m_pool->stop)
            return;
        ++m_pool->running;
    }
    try {
        std::thread(runTitleWorker, m_pool, url, m_workerLimits).detach();
        ++m_fetchesStarted;
    } catch (const std::system_error&) {
        std::lock_guard lock(m_pool->mutex);
        --m_pool->running;
        m_pool->allDone.notify_all();
    }
}

bool WebSiteTitleCache::storeTitle(const QString& url, const QString& title) {
    if (url.isEmpty() || title.isEmpty())
        return false;
    loadIfNeeded();
    m_titles[url] = trimSpaces(title);
    WriteProfileText(m_settingsFile, Section, url, title);
    return true;
}

void WebSiteTitleCache::titleFetched(const QString& url, const QString& title) {
    storeTitle(url, title);
    if (m_receiver)
        m_receiver->titleArrived(url, title);
    emit titleArrived(url, title);
}

bool WebSiteTitleCache::stopWorkers(std::chrono::milliseconds bound) {
    std::unique_lock lock(m_pool->mutex);
    m_pool->stop = true;
    m_pool->target = nullptr;
    return m_pool->allDone.wait_for(lock, bound, [this] { return m_pool->running == 0; });
}
