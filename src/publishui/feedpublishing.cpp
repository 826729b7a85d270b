#include "publishui/feedpublishing.h"

#include "feed/rssfeed.h"
#include "publish/feedsettings.h"
#include "publish/mediafiles.h"
#include "publish/passwordstore.h"
#include "publish/publishjob.h"
#include "publishui/publishprogressdialog.h"
#include "publishui/publishquestions.h"

#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// A quick upload ends before its window would only flash.
constexpr int kShowProgressAfterMs = 500;

bool SameFile(const QString& a, const QString& b) {
    return QFileInfo(a) == QFileInfo(b);
}

} // namespace

bool IsFeedItself(const PublishDestination& destination, const QString& feedPath) {
    return destination.protocol() == PublishProtocol::File &&
           SameFile(destination.url().toLocalFile(), feedPath);
}

struct FeedPublishing::Run {
    QString feedPath;
    QString name;
    QString destination;
    // Deleted once its end has been told, or by the destructor.
    PublishJob* job = nullptr;
    QPointer<PublishProgressDialog> progress;
    QPointer<QWidget> question;
    bool again = false;
    bool cancelled = false;
    // The user said no to a question: the run ends quietly.
    bool declined = false;
    bool passwordFromStore = false;
    bool rememberPassword = false;
    // Time to show the progress, once no question stands in front of it.
    bool progressDue = false;
};

FeedPublishing::FeedPublishing(QWidget* window, const QString& settingsFile, QObject* parent)
    : QObject(parent), m_window(window), m_settingsFile(settingsFile),
      m_passwords(std::make_unique<PasswordStore>()) {}

FeedPublishing::~FeedPublishing() {
    for (const auto& run : m_runs) {
        run->cancelled = true;
        closeQuestion(run.get());
        run->job->cancel();
    }
    for (const auto& run : m_runs) {
        delete run->job;
        delete run->progress;
    }
}

FeedPublishing::Run* FeedPublishing::runFor(const PublishJob* job) const {
    for (const auto& run : m_runs) {
        if (run->job == job)
            return run.get();
    }
    return nullptr;
}

FeedPublishing::Run* FeedPublishing::runFor(const QString& feedPath) const {
    for (const auto& run : m_runs) {
        if (SameFile(run->feedPath, feedPath))
            return run.get();
    }
    return nullptr;
}

bool FeedPublishing::isPublishing(const QString& feedPath) const {
    return runFor(feedPath) != nullptr;
}

void FeedPublishing::feedSaved(const QString& feedPath) {
    const FeedPublishSettings settings = FeedPublishSettings::Load(m_settingsFile, feedPath);
    if (settings.publishAfterSave && !settings.destination.trimmed().isEmpty())
        publish(feedPath);
}

FeedPublishing::Start FeedPublishing::publish(const QString& feedPath) {
    const QString name = QFileInfo(feedPath).fileName();
    if (Run* running = runFor(feedPath)) {
        running->again = true;
        emit statusMessage(name + u" is being published; it goes again with the latest save "
                                  "when that has ended."_s);
        return Start::Queued;
    }
    const FeedPublishSettings settings = FeedPublishSettings::Load(m_settingsFile, feedPath);
    if (settings.destination.trimmed().isEmpty())
        return Start::NoDestination;
    const QString cannot = u"Cannot publish "_s + name + u'.';

    // The bytes checked are the bytes sent.
    QFile file(feedPath);
    if (!file.open(QIODevice::ReadOnly)) {
        showError(cannot, feedPath + u": "_s + file.errorString());
        return Start::Failed;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    CRssFeed feed;
    QString why;
    if (!feed.LoadFromMemory(bytes, &why)) {
        showError(cannot, feedPath + u" does not load as a feed ("_s + why +
                              u"); a feed that does not load is never published."_s);
        return Start::Failed;
    }
    PublishDestination destination;
    if (!destination.Parse(settings.destination, name, &why)) {
        showError(cannot, u"The destination "_s + settings.destination + u": "_s + why);
        return Start::Failed;
    }
    if (IsFeedItself(destination, feedPath)) {
        showError(cannot, u"The destination "_s + destination.displayText() +
                              u" is the feed file itself."_s);
        return Start::Failed;
    }
    destination.requireTls = settings.requireTls;
    destination.caFile = settings.caFile;
    destination.keyFile = settings.keyFile;
    QList<MediaFile> media;
    if (settings.uploadEnclosures &&
        !FindMediaFiles(EnclosureUrls(feed), settings, feedPath, destination, media, &why)) {
        showError(cannot, why);
        return Start::Failed;
    }

    auto run = std::make_unique<Run>();
    run->feedPath = feedPath;
    run->name = name;
    run->destination = destination.displayText();
    auto* job = new PublishJob(bytes, destination, media, this);
    run->job = job;
    job->knownHostsFile = m_knownHosts;
    job->maxSendSpeed = m_maxSendSpeed;
    run->progress = new PublishProgressDialog(name, run->destination, m_window);
    PublishProgressDialog* progress = run->progress;
    connect(progress, &PublishProgressDialog::cancelRequested, job,
            [this, job] { cancelRun(runFor(job)); });
    connect(job, &PublishJob::progressed, progress, &PublishProgressDialog::setProgress);
    connect(job, &PublishJob::hostKeyAsked, this,
            [this, job](const HostKeyInfo& key) { onHostKeyAsked(job, key); });
    connect(
        job, &PublishJob::passwordAsked, this,
        [this, job](const PublishDestination& d, bool retry) { onPasswordAsked(job, d, retry); });
    connect(job, &PublishJob::passwordAccepted, this,
            [this, job](const PublishDestination& d, const QString& password) {
                onPasswordAccepted(job, d, password);
            });
    connect(job, &PublishJob::finished, this,
            [this, job](const PublishResult& result) { onFinished(job, result); });
    m_runs.push_back(std::move(run));
    QTimer::singleShot(kShowProgressAfterMs, job, [this, job] {
        if (Run* run = runFor(job)) {
            run->progressDue = true;
            showProgress(run);
        }
    });
    emit statusMessage(u"Publishing "_s + name + u" to "_s + destination.displayText() + u"…"_s);
    job->start();
    return Start::Started;
}

void FeedPublishing::cancel(const QString& feedPath) {
    cancelRun(runFor(feedPath));
}

void FeedPublishing::cancelAll() {
    for (const auto& run : m_runs)
        cancelRun(run.get());
}

void FeedPublishing::cancelRun(Run* run) {
    if (!run)
        return;
    run->again = false;
    if (run->cancelled)
        return;
    run->cancelled = true;
    closeQuestion(run);
    run->job->cancel();
    if (run->progress)
        run->progress->setCancelling();
    showProgress(run);
}

void FeedPublishing::showProgress(Run* run) {
    if (run->progressDue && !run->question && run->progress && !run->progress->isVisible())
        run->progress->show();
}

void FeedPublishing::closeQuestion(Run* run) {
    QWidget* question = run->question;
    run->question = nullptr;
    if (!question)
        return;
    // Its answer would reach a run that no longer waits for it.
    QObject::disconnect(question, nullptr, nullptr, nullptr);
    question->hide();
    question->deleteLater();
}

void FeedPublishing::onHostKeyAsked(PublishJob* job, const HostKeyInfo& key) {
    Run* run = runFor(job);
    if (!run || run->cancelled)
        return;
    // The question goes in front: the progress waits behind it.
    if (run->progress)
        run->progress->hide();
    auto* box = new HostKeyQuestion(key, m_window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    run->question = box;
    connect(box, &QMessageBox::finished, job, [this, job, box] {
        Run* run = runFor(job);
        if (!run || run->cancelled)
            return;
        run->question = nullptr;
        const bool accept = box->accepted();
        run->declined = !accept;
        job->answerHostKey(accept);
        showProgress(run);
    });
    box->show();
}

void FeedPublishing::onPasswordAsked(PublishJob* job, const PublishDestination& destination,
                                     bool retry) {
    const QString key = destination.credentialKey();
    QPointer<PublishJob> alive = job;
    Run* run = runFor(job);
    if (!run || run->cancelled)
        return;
    if (!retry) {
        // The secret store answers through the event loop: the run may end meanwhile.
        const std::optional<QString> stored = m_passwords->find(key);
        run = alive ? runFor(job) : nullptr;
        if (!run || run->cancelled)
            return;
        if (stored) {
            run->passwordFromStore = true;
            job->answerPassword(stored);
            return;
        }
    } else if (run->passwordFromStore) {
        // A kept password the server refuses is stale.
        run->passwordFromStore = false;
        m_passwords->forget(key);
        run = alive ? runFor(job) : nullptr;
        if (!run || run->cancelled)
            return;
    }
    if (run->progress)
        run->progress->hide();
    auto* dialog =
        new PasswordDialog(destination, retry, m_passwords->secretServiceAvailable(), m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::ApplicationModal);
    run->question = dialog;
    connect(dialog, &QDialog::finished, job, [this, job, dialog](int result) {
        Run* run = runFor(job);
        if (!run || run->cancelled)
            return;
        run->question = nullptr;
        if (result == QDialog::Accepted) {
            run->rememberPassword = dialog->remember();
            job->answerPassword(dialog->password());
        } else {
            run->declined = true;
            job->answerPassword(std::nullopt);
        }
        showProgress(run);
    });
    dialog->show();
}

void FeedPublishing::onPasswordAccepted(PublishJob* job, const PublishDestination& destination,
                                        const QString& password) {
    Run* run = runFor(job);
    if (!run || run->passwordFromStore)
        return;
    if (run->rememberPassword)
        m_passwords->remember(destination.credentialKey(), password);
    else
        m_passwords->keepForSession(destination.credentialKey(), password);
}

void FeedPublishing::onFinished(PublishJob* job, PublishResult result) {
    auto it = std::find_if(m_runs.begin(), m_runs.end(),
                           [job](const auto& run) { return run->job == job; });
    if (it == m_runs.end())
        return;
    std::unique_ptr<Run> run = std::move(*it);
    m_runs.erase(it);
    closeQuestion(run.get());
    if (run->progress) {
        run->progress->hide();
        run->progress->deleteLater();
    }
    // Its signal is still being delivered.
    job->deleteLater();

    if (!result.ok && run->declined)
        result.failure = RemoteServer::Failure::Cancelled;
    if (result.ok) {
        QString text = u"Published "_s + run->name + u" to "_s + run->destination;
        if (result.mediaSent + result.mediaUnchanged > 0)
            text += u" (%1 media files sent, %2 unchanged)"_s.arg(result.mediaSent)
                        .arg(result.mediaUnchanged);
        emit statusMessage(text + u'.');
    } else if (result.failure == RemoteServer::Failure::Cancelled) {
        emit statusMessage(u"Publishing "_s + run->name +
                           u" was cancelled; the server keeps its old copy."_s);
    } else {
        emit statusMessage(u"Publishing "_s + run->name + u" failed."_s);
        showError(u"Cannot publish "_s + run->name + u" to "_s + run->destination + u'.',
                  result.error);
    }
    emit publishFinished(run->feedPath, result);
    if (run->again && (result.ok || result.failure == RemoteServer::Failure::Cancelled))
        publish(run->feedPath);
    if (m_runs.empty())
        emit idle();
}

void FeedPublishing::showError(const QString& text, const QString& reason) {
    auto* box = new QMessageBox(QMessageBox::Critical, u"Orvan"_s, text, QMessageBox::Ok, m_window);
    box->setObjectName(u"publishError"_s);
    box->setInformativeText(reason);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

bool FeedPublishing::askBeforeClosingFeed(const QString& feedPath) {
    Run* run = runFor(feedPath);
    if (!run || run->cancelled)
        return true;
    QMessageBox box(QMessageBox::Question, u"Orvan"_s,
                    run->name + u" is still being published to "_s + run->destination + u'.',
                    QMessageBox::NoButton, m_window);
    box.setObjectName(u"closeWhilePublishing"_s);
    box.setInformativeText(u"The upload can go on after the feed is closed. If it is stopped, "
                           "the server keeps its old copy."_s);
    QPushButton* keep = box.addButton(u"Close and &Keep Publishing"_s, QMessageBox::AcceptRole);
    QPushButton* stop =
        box.addButton(u"Close and &Stop Publishing"_s, QMessageBox::DestructiveRole);
    QPushButton* keepOpen = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(keep);
    box.setEscapeButton(keepOpen);
    box.exec();
    if (box.clickedButton() == stop)
        cancel(feedPath);
    return box.clickedButton() == keep || box.clickedButton() == stop;
}

FeedPublishing::QuitAnswer FeedPublishing::askBeforeQuitting() {
    if (m_runs.empty())
        return QuitAnswer::Now;
    QStringList names;
    for (const auto& run : m_runs)
        names.append(run->name);
    QMessageBox box(QMessageBox::Question, u"Orvan"_s,
                    u"Publishing has not finished: "_s + names.join(u", "_s) + u'.',
                    QMessageBox::NoButton, m_window);
    box.setObjectName(u"quitWhilePublishing"_s);
    box.setInformativeText(u"Orvan can quit as soon as it has finished. If it is stopped now, "
                           "the server keeps its old copy."_s);
    QPushButton* wait = box.addButton(u"&Quit When Done"_s, QMessageBox::AcceptRole);
    QPushButton* stop = box.addButton(u"&Stop Publishing and Quit"_s, QMessageBox::DestructiveRole);
    QPushButton* stay = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(wait);
    box.setEscapeButton(stay);
    box.exec();
    if (box.clickedButton() != wait && box.clickedButton() != stop)
        return QuitAnswer::Cancel;
    if (box.clickedButton() == stop)
        cancelAll();
    return m_runs.empty() ? QuitAnswer::Now : QuitAnswer::WhenDone;
}
