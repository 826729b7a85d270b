#include "publish/publishjob.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QMutex>
#include <QPointer>
#include <QWaitCondition>

#include <atomic>

namespace {

// How often progress reaches the GUI: more would only flood its event queue.
constexpr qint64 kProgressIntervalMs = 100;
// How long closing a job waits for its worker.
constexpr int kJoinMs = 2000;

} // namespace

struct PublishJob::State {
    QMutex mutex;
    QWaitCondition answered;
    std::atomic<bool> cancelled{false};
    // Cleared when the job goes away; guarded by mutex.
    QPointer<PublishJob> job;
    bool hasAnswer = false;
    bool acceptHost = false;
    std::optional<QString> password;

    // Runs f on the job's thread, if the job still exists by then.
    template <typename F> void post(F f) {
        QMutexLocker lock(&mutex);
        if (!job)
            return;
        QPointer<PublishJob> target = job;
        QMetaObject::invokeMethod(
            job.data(),
            [target, f] {
                if (target)
                    f(target.data());
            },
            Qt::QueuedConnection);
    }

    // Asks through ask and waits for an answer or a cancel; false on cancel.
    template <typename F> bool askAndWait(F ask) {
        {
            QMutexLocker lock(&mutex);
            hasAnswer = false;
        }
        post(ask);
        QMutexLocker lock(&mutex);
        while (!hasAnswer && !cancelled)
            answered.wait(&mutex, QDeadlineTimer(100));
        return hasAnswer && !cancelled;
    }
};

namespace {

class JobHooks final : public PublishHooks {
public:
    explicit JobHooks(std::shared_ptr<PublishJob::State> state) : m_state(std::move(state)) {}

    bool progress(const PublishProgress& p) override {
        if (m_state->cancelled)
            return false;
        if (!m_shown.isValid() || m_shown.elapsed() >= kProgressIntervalMs || p.sent == p.total) {
            m_shown.start();
            m_state->post([p](PublishJob* job) { emit job->progressed(p); });
        }
        return true;
    }

    bool acceptNewHostKey(const HostKeyInfo& key) override {
        if (!m_state->askAndWait([key](PublishJob* job) { emit job->hostKeyAsked(key); }))
            return false;
        QMutexLocker lock(&m_state->mutex);
        return m_state->acceptHost;
    }

    std::optional<QString> password(const PublishDestination& destination, bool retry) override {
        if (!m_state->askAndWait([destination, retry](PublishJob* job) {
                emit job->passwordAsked(destination, retry);
            }))
            return std::nullopt;
        QMutexLocker lock(&m_state->mutex);
        return m_state->password;
    }

    void passwordAccepted(const PublishDestination& destination, const QString& password) override {
        m_state->post([destination, password](PublishJob* job) {
            emit job->passwordAccepted(destination, password);
        });
    }

private:
    std::shared_ptr<PublishJob::State> m_state;
    QElapsedTimer m_shown;
};

} // namespace

PublishJob::PublishJob(const QByteArray& feedBytes, const PublishDestination& destination,
                       const QList<MediaFile>& media, QObject* parent)
    : QObject(parent), m_state(std::make_shared<State>()), m_feedBytes(feedBytes),
      m_destination(destination), m_media(media) {
    qRegisterMetaType<PublishProgress>();
    qRegisterMetaType<HostKeyInfo>();
    qRegisterMetaType<PublishResult>();
    qRegisterMetaType<PublishDestination>();
    m_state->job = this;
}

PublishJob::~PublishJob() {
    cancel();
    {
        QMutexLocker lock(&m_state->mutex);
        m_state->job = nullptr;
    }
    if (!m_thread)
        return;
    if (m_thread->wait(kJoinMs)) {
        delete m_thread;
        return;
    }
    // Still inside a network call: it ends at its next progress report or
    // time-out, holding only the shared state, and the thread object goes with it.
    QThread* thread = m_thread;
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->setParent(nullptr);
}

void PublishJob::start() {
    if (m_thread)
        return;
    auto state = m_state;
    const QByteArray bytes = m_feedBytes;
    const PublishDestination destination = m_destination;
    const QList<MediaFile> media = m_media;
    const QString knownHosts = knownHostsFile;
    const qint64 speed = maxSendSpeed;
    m_thread = QThread::create([state, bytes, destination, media, knownHosts, speed] {
        JobHooks hooks(state);
        Publisher publisher(hooks);
        publisher.knownHostsFile = knownHosts;
        publisher.maxSendSpeed = speed;
        const PublishResult result = publisher.publish(bytes, destination, media);
        state->post([result](PublishJob* job) { emit job->finished(result); });
    });
    m_thread->start();
}

void PublishJob::cancel() {
    QMutexLocker lock(&m_state->mutex);
    m_state->cancelled = true;
    m_state->answered.wakeAll();
}

void PublishJob::answerHostKey(bool accept) {
    QMutexLocker lock(&m_state->mutex);
    m_state->acceptHost = accept;
    m_state->hasAnswer = true;
    m_state->answered.wakeAll();
}

void PublishJob::answerPassword(const std::optional<QString>& password) {
    QMutexLocker lock(&m_state->mutex);
    m_state->password = password;
    m_state->hasAnswer = true;
    m_state->answered.wakeAll();
}
