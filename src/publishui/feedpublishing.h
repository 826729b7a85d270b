// The uploads of the editor's feeds. Each runs on a thread of its own with a
// progress window and asks its questions in dialogs, so the editor stays
// usable meanwhile. The main window asks it before a feed closes or the
// program quits, so no upload is cut off unasked and none outlives the program.
#pragma once

#include "publish/publisher.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class PasswordStore;
class PublishDestination;
class PublishJob;
class QWidget;
struct HostKeyInfo;
struct PublishProgress;

// A file: destination that is the local feed file: copying it over itself
// would only replace the file the editor has open.
bool IsFeedItself(const PublishDestination& destination, const QString& feedPath);

class FeedPublishing final : public QObject {
    Q_OBJECT
public:
    // window is the parent of every dialog; settingsFile holds the feeds' settings.
    FeedPublishing(QWidget* window, const QString& settingsFile, QObject* parent = nullptr);
    // Cancels what still runs; each worker gets a short while to stop.
    ~FeedPublishing() override;

    enum class Start {
        Started,
        // The feed is being published already; it goes again when that ends,
        // so the server ends up with the latest save.
        Queued,
        // The feed has no destination yet: nothing was done.
        NoDestination,
        // Told to the user already.
        Failed,
    };
    // Uploads the feed file as it is on disk now, if it loads as a feed.
    Start publish(const QString& feedPath);
    // After a successful save: publishes when the feed's settings ask for it.
    void feedSaved(const QString& feedPath);

    bool isPublishing(const QString& feedPath) const;
    bool isBusy() const { return !m_runs.empty(); }
    // The server keeps its old copy; the run ends a moment later.
    void cancel(const QString& feedPath);
    void cancelAll();

    // Before the feed's window closes while it is being published: close and
    // let the upload go on, close and stop it, or keep the window (false).
    bool askBeforeClosingFeed(const QString& feedPath);
    enum class QuitAnswer { Now, WhenDone, Cancel };
    // Before the program quits: at once when nothing runs, else as the user
    // says, once every upload has ended (stopped ones included).
    QuitAnswer askBeforeQuitting();

    // Where SSH server keys are checked; empty: ~/.ssh/known_hosts.
    void setKnownHostsFile(const QString& file) { m_knownHosts = file; }
    // Caps the sending speed in bytes per second (0: free).
    void setMaxSendSpeed(qint64 bytesPerSecond) { m_maxSendSpeed = bytesPerSecond; }
    PasswordStore& passwords() { return *m_passwords; }

signals:
    void statusMessage(const QString& text);
    // A run ended. A question the user declined counts as a cancel.
    void publishFinished(const QString& feedPath, const PublishResult& result);
    // The last run ended.
    void idle();

private:
    struct Run;
    Run* runFor(const PublishJob* job) const;
    Run* runFor(const QString& feedPath) const;
    void cancelRun(Run* run);
    void showProgress(Run* run);
    void closeQuestion(Run* run);
    void onHostKeyAsked(PublishJob* job, const HostKeyInfo& key);
    void onPasswordAsked(PublishJob* job, const PublishDestination& destination, bool retry);
    void onPasswordAccepted(PublishJob* job, const PublishDestination& destination,
                            const QString& password);
    void onFinished(PublishJob* job, PublishResult result);
    // A window of its own, so the editor goes on while it is shown.
    void showError(const QString& text, const QString& reason);

    QWidget* m_window;
    QString m_settingsFile;
    QString m_knownHosts;
    qint64 m_maxSendSpeed = 0;
    std::unique_ptr<PasswordStore> m_passwords;
    std::vector<std::unique_ptr<Run>> m_runs;
};
