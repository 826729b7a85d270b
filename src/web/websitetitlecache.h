// Page titles by URL for the GUI thread: answered at once from memory and the
// settings file, or fetched by a worker thread whose result comes back later.
#pragma once

#include "web/httpdownload.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <map>
#include <memory>

// Told on the GUI thread about every title a worker brought, after it was stored.
class TitleReceiver {
public:
    virtual ~TitleReceiver() = default;
    virtual void titleArrived(const QString& url, const QString& title) = 0;
};

struct TitleWorkerPool;

class WebSiteTitleCache final : public QObject {
    Q_OBJECT

public:
    // Lives on the GUI thread; titles are kept in the "WebSiteTitles" section of settingsFile.
    explicit WebSiteTitleCache(const QString& settingsFile, QObject* parent = nullptr);
    // Stops the workers and waits for them a short while.
    ~WebSiteTitleCache() override;

    // The program's cache over its settings file; it goes with the application object.
    static WebSiteTitleCache& instance();

    // The cached title, or empty after starting a fetch (every miss starts one).
    QString lookupTitle(const QString& url);
    // One worker thread for the URL; nothing for an empty URL.
    void startTitleFetch(const QString& url);
    // Caches the trimmed title and writes it as it came; false for an empty URL or title.
    bool storeTitle(const QString& url, const QString& title);

    void setReceiver(TitleReceiver* receiver) { m_receiver = receiver; }
    // Bounds for the workers' downloads (the stop flag is the cache's own).
    void setWorkerLimits(const NetworkLimits& limits) { m_workerLimits = limits; }
    // Tells every worker to stop and waits at most bound; true when none is left running.
    bool stopWorkers(std::chrono::milliseconds bound = std::chrono::milliseconds(2000));
    int fetchesStarted() const { return m_fetchesStarted; }

signals:
    void titleArrived(const QString& url, const QString& title);

private:
    void loadIfNeeded();
    void titleFetched(const QString& url, const QString& title);
    friend void runTitleWorker(std::shared_ptr<TitleWorkerPool>, QString, NetworkLimits);

    QString m_settingsFile;
    bool m_loaded = false;
    std::map<QString, QString> m_titles;
    TitleReceiver* m_receiver = nullptr;
    NetworkLimits m_workerLimits;
    std::shared_ptr<TitleWorkerPool> m_pool;
    int m_fetchesStarted = 0;
};
