#include "media/mediaworkers.h"

#include <QCoreApplication>
#include <QPointer>

MediaWorkers::MediaWorkers(QObject* parent) : QObject(parent) {
    m_pool.setMaxThreadCount(2);
    if (QCoreApplication::instance()) {
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
                [this] { stopWorkers(); });
    }
}

MediaWorkers::~MediaWorkers() {
    stopWorkers(0);
    // The transfers see the stop flag within their next progress call.
    m_pool.waitForDone();
}

MediaWorkers& MediaWorkers::instance() {
    static QPointer<MediaWorkers> workers;
    if (!workers)
        workers = new MediaWorkers(QCoreApplication::instance());
    return *workers;
}

void MediaWorkers::run(std::function<void()> job) {
    if (m_stop)
        return;
    m_pool.start(std::move(job));
}

template <typename Result>
void MediaWorkers::runFor(QObject* context,
                          std::function<void(bool, const Result&, const QString&)> done,
                          std::function<bool(Result&, QString*)> work) {
    QPointer<QObject> guard(context);
    run([this, guard, done = std::move(done), work = std::move(work)] {
        Result result;
        QString error;
        const bool ok = work(result, &error);
        // The workers wait for their jobs before they go, so this is still here.
        if (!m_stop) {
            QMetaObject::invokeMethod(
                this,
                [guard, done, ok, result, error] {
                    if (guard)
                        done(ok, result, error);
                },
                Qt::QueuedConnection);
        }
    });
}

void MediaWorkers::probeRemote(const QString& url, QObject* context, ProbeDone done) {
    NetworkLimits limits = m_limits;
    limits.stop = &m_stop;
    runFor<MediaFacts>(context, std::move(done), [url, limits](MediaFacts& facts, QString* error) {
        return ProbeRemoteMedia(url, facts, error, limits);
    });
}

void MediaWorkers::probeLocal(const QString& path, QObject* context, ProbeDone done) {
    runFor<MediaFacts>(context, std::move(done), [path](MediaFacts& facts, QString* error) {
        return ProbeLocalMedia(path, facts, error);
    });
}

void MediaWorkers::fetchBytes(const QString& url, qint64 maxBytes, QObject* context,
                              FetchDone done) {
    NetworkLimits limits = m_limits;
    limits.stop = &m_stop;
    runFor<QByteArray>(context, std::move(done),
                       [url, maxBytes, limits](QByteArray& bytes, QString* error) {
                           return FetchUrlBytes(url, maxBytes, bytes, error, limits);
                       });
}

bool MediaWorkers::stopWorkers(int boundMs) {
    m_stop = true;
    m_pool.clear();
    return m_pool.waitForDone(boundMs);
}
