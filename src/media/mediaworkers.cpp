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

void MediaWorkers::probeRemote(const QString& url, QObject* context, ProbeDone done) {
    NetworkLimits limits = m_limits;
    limits.stop = &m_stop;
    QPointer<QObject> guard(context);
    run([this, url, limits, guard, done = std::move(done)] {
        MediaFacts facts;
        QString error;
        const bool ok = ProbeRemoteMedia(url, facts, &error, limits);
        // The workers wait for their jobs before they go, so this is still here.
        if (!m_stop) {
            QMetaObject::invokeMethod(
                this,
                [guard, done, ok, facts, error] {
                    if (guard)
                        done(ok, facts, error);
                },
                Qt::QueuedConnection);
        }
    });
}

void MediaWorkers::probeLocal(const QString& path, QObject* context, ProbeDone done) {
    QPointer<QObject> guard(context);
    run([this, path, guard, done = std::move(done)] {
        MediaFacts facts;
        QString error;
        const bool ok = ProbeLocalMedia(path, facts, &error);
        if (!m_stop) {
            QMetaObject::invokeMethod(
                this,
                [guard, done, ok, facts, error] {
                    if (guard)
                        done(ok, facts, error);
                },
                Qt::QueuedConnection);
        }
    });
}

void MediaWorkers::fetchBytes(const QString& url, qint64 maxBytes, QObject* context,
                              FetchDone done) {
    NetworkLimits limits = m_limits;
    limits.stop = &m_stop;
    QPointer<QObject> guard(context);
    run([this, url, maxBytes, limits, guard, done = std::move(done)] {
        QByteArray bytes;
        QString error;
        const bool ok = FetchUrlBytes(url, maxBytes, bytes, &error, limits);
        if (!m_stop) {
            QMetaObject::invokeMethod(
                this,
                [guard, done, ok, bytes, error] {
                    if (guard)
                        done(ok, bytes, error);
                },
                Qt::QueuedConnection);
        }
    });
}

bool MediaWorkers::stopWorkers(int boundMs) {
    m_stop = true;
    m_pool.clear();
    return m_pool.waitForDone(boundMs);
}
