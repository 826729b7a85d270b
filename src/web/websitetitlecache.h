// Page titles by URL for the GUI thread: answered at once from memory and the
// settings file, or fetched by a worker whose result comes back later.
#pragma once

#include "web/httpdownload.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <chrono>
#include <map>

// Told on the GUI thread about every title a worker brought, after it was stored.
class TitleReceiver {
public:
    virtual ~TitleReceiver() = default;
    virtual void titleArrived(const QString& url, const QString& title) = 0;
};

class WebSiteTitleCache final : public QObject {
    Q_OBJECT

public:
    // Fetches beyond this many wait in a queue, so typing many addresses
    // quickly cannot open a connection per keystroke.
    static constexpr int MaxConcurrentFetches = 4;

    // Lives on the GUI thread; titles are kept in the "WebSiteTitles" section of settingsFile.
    explicit WebSiteTitleCache(const QString& settingsFile, QObject* parent = nullptr);
    // Cancels the running fetches and waits for them, so no worker outlives the cache.
    ~WebSiteTitleCache() override;

    // The program's cache over its settings file; it goes with the application object.
    static WebSiteTitleCache& instance();

    // The cached title, or empty after starting a fetch for it (unless one is running).
    QString lookupTitle(const QString& url);
    // Queues one fetch for the URL; nothing for an empty URL or one being fetched.
    void startTitleFetch(const QString& url);
    // Caches the trimmed title and writes it as it came; false for an empty URL or title.
    bool storeTitle(const QString& url, const QString& title);

    void setReceiver(TitleReceiver* receiver) { m_receiver = receiver; }
    // Bounds for the workers' downloads (the stop flag is the cache's own).
    void setWorkerLimits(const NetworkLimits& limits) { m_workerLimits = limits; }
    // Drops the queued fetches, cancels the running ones and waits at most
    // bound; true when none is left running. The cache starts nothing after.
    bool stopWorkers(std::chrono::milliseconds bound = std::chrono::milliseconds(2000));
    // Fetches accepted so far, queued or run.
    int fetchesStarted() const { return m_fetchesStarted; }
    bool isFetching(const QString& url) const { return m_fetching.contains(url); }

signals:
    void titleArrived(const QString& url, const QString& title);

private:
    void loadIfNeeded();
    // On the GUI thread when a worker is done; title is empty when it found none.
    void fetchEnded(const QString& url, const QString& title);

    QString m_settingsFile;
    bool m_loaded = false;
    std::map<QString, QString> m_titles;
    TitleReceiver* m_receiver = nullptr;
    NetworkLimits m_workerLimits;
    // URLs queued or being fetched.
    QSet<QString> m_fetching;
    int m_fetchesStarted = 0;
    // Read by the workers' transfers; declared before the pool, which is
    // emptied in the destructor before anything else goes.
    std::atomic<bool> m_stop{false};
    QThreadPool m_pool;
};
