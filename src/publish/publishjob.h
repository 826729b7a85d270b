// A publication run off the GUI thread, for the editor. Its signals arrive
// in the thread that made the job. When the upload needs an answer (an
// unknown server's key, a password) it asks through a signal and waits for
// the matching answer call, or for cancel().
#pragma once

#include "publish/mediafiles.h"
#include "publish/publishdestination.h"
#include "publish/publisher.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QThread>

#include <memory>
#include <optional>

class PublishJob final : public QObject {
    Q_OBJECT

public:
    PublishJob(const QByteArray& feedBytes, const PublishDestination& destination,
               const QList<MediaFile>& media = {}, QObject* parent = nullptr);
    // Cancels the upload and waits a short while for it to stop; a worker
    // still in a network call then ends on its own and never reaches this
    // object again.
    ~PublishJob() override;

    // Set before start().
    QString knownHostsFile;
    qint64 maxSendSpeed = 0;

    void start();
    // From any thread: the upload stops at its next progress report.
    void cancel();
    void answerHostKey(bool accept);
    // Nothing: the user gave no password, and the publication fails.
    void answerPassword(const std::optional<QString>& password);

    struct State;

signals:
    void progressed(const PublishProgress& progress);
    void hostKeyAsked(const HostKeyInfo& key);
    void passwordAsked(const PublishDestination& destination, bool retry);
    void passwordAccepted(const PublishDestination& destination, const QString& password);
    void finished(const PublishResult& result);

private:
    std::shared_ptr<State> m_state;
    QByteArray m_feedBytes;
    PublishDestination m_destination;
    QList<MediaFile> m_media;
    QThread* m_thread = nullptr;
};

Q_DECLARE_METATYPE(PublishProgress)
Q_DECLARE_METATYPE(HostKeyInfo)
Q_DECLARE_METATYPE(PublishResult)
Q_DECLARE_METATYPE(PublishDestination)
