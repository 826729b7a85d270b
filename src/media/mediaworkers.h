// Network work for the editor's windows, off the GUI thread: HEAD requests
// for enclosures and small downloads for image previews. Results come back
// on the GUI thread, and only while the window that asked still exists. On
// exit the workers are told to stop and waited for a short while.
#pragma once

#include "media/mediaprobe.h"

#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <functional>

class MediaWorkers final : public QObject {
    Q_OBJECT
public:
    explicit MediaWorkers(QObject* parent = nullptr);
    ~MediaWorkers() override;

    // The program's workers; they go with the application object.
    static MediaWorkers& instance();

    using ProbeDone = std::function<void(bool ok, const MediaFacts& facts, const QString& error)>;
    using FetchDone = std::function<void(bool ok, const QByteArray& bytes, const QString& error)>;
    // done runs on the GUI thread unless context is gone by then.
    void probeRemote(const QString& url, QObject* context, ProbeDone done);
    // A local file is read off the GUI thread too: it may sit on a slow mount.
    void probeLocal(const QString& path, QObject* context, ProbeDone done);
    void fetchBytes(const QString& url, qint64 maxBytes, QObject* context, FetchDone done);

    // Bounds of the requests (the stop flag is the workers' own).
    void setLimits(const NetworkLimits& limits) { m_limits = limits; }
    // Cancels the running requests and waits at most boundMs; nothing starts after.
    bool stopWorkers(int boundMs = 2000);

private:
    void run(std::function<void()> job);
    // Runs work on a worker; its answer reaches done on the GUI thread while
    // context lives.
    template <typename Result>
    void runFor(QObject* context, std::function<void(bool, const Result&, const QString&)> done,
                std::function<bool(Result&, QString*)> work);

    NetworkLimits m_limits;
    // Read by the requests; declared before the pool, which empties first.
    std::atomic<bool> m_stop{false};
    QThreadPool m_pool;
};
