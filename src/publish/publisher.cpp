#include "publish/publisher.h"

#include <QBuffer>
#include <QFile>

using namespace Qt::StringLiterals;

namespace {

// Attempts at a password the server refused before giving up.
constexpr int kPasswordAttempts = 3;

bool WantsPasswordAtOnce(const PublishDestination& destination) {
    switch (destination.protocol()) {
    case PublishProtocol::Ftp:
    case PublishProtocol::Ftps:
    case PublishProtocol::Https:
        return !destination.userName().isEmpty() &&
               destination.userName().compare(u"anonymous"_s, Qt::CaseInsensitive) != 0;
    case PublishProtocol::Sftp:
    case PublishProtocol::File:
        break;
    }
    return false;
}

PublishResult Failed(const RemoteServer& server) {
    PublishResult result;
    result.failure = server.failure();
    result.error = server.errorText();
    return result;
}

PublishResult Failed(RemoteServer::Failure failure, const QString& error) {
    PublishResult result;
    result.failure = failure;
    result.error = error;
    return result;
}

} // namespace

Publisher::Publisher(PublishHooks& hooks) : m_hooks(hooks) {}

PublishResult Publisher::publish(const QByteArray& feedBytes, const PublishDestination& destination,
                                 const QList<MediaFile>& media) {
    RemoteServer server(destination, m_hooks);
    server.setKnownHostsFile(knownHostsFile);
    server.setMaxSendSpeed(maxSendSpeed);
    std::optional<QString> password;
    if (WantsPasswordAtOnce(destination)) {
        password = m_hooks.password(destination, false);
        if (!password)
            return Failed(RemoteServer::Failure::Login,
                          destination.displayText() + u": no password was given"_s);
    }
    server.setPassword(password);
    int refused = 0;
    // Runs one step, asking for a password again while the server refuses
    // the one it has.
    auto withLogin = [&](const std::function<bool()>& step) {
        for (;;) {
            if (step())
                return true;
            if (server.failure() != RemoteServer::Failure::Login || ++refused > kPasswordAttempts)
                return false;
            std::optional<QString> next = m_hooks.password(destination, password.has_value());
            if (!next)
                return false;
            password = next;
            server.setPassword(password);
        }
    };

    // What must be sent: changed media first, then the feed.
    QList<MediaFile> toSend;
    PublishResult result;
    for (const MediaFile& file : media) {
        qint64 size = -1;
        QDateTime modified;
        bool missing = false;
        if (!withLogin(
                [&] { return server.stat(file.remote, size, modified, missing) || missing; }))
            return Failed(server);
        // Servers keep whole seconds: a copy made in the same second as the
        // local file's last change is as new as it.
        const bool same = !missing && size == file.size &&
                          (!modified.isValid() ||
                           modified.toSecsSinceEpoch() >= file.modified.toSecsSinceEpoch());
        if (same)
            ++result.mediaUnchanged;
        else
            toSend.append(file);
    }
    qint64 total = feedBytes.size();
    for (const MediaFile& file : toSend)
        total += file.size;

    PublishProgress progress;
    progress.total = total;
    progress.fileCount = int(toSend.size()) + 1;
    for (const MediaFile& file : toSend) {
        QFile source(file.localPath);
        if (!source.open(QIODevice::ReadOnly))
            return Failed(RemoteServer::Failure::Other,
                          file.localPath + u": "_s + source.errorString());
        progress.fileName = QUrl(file.remote).fileName();
        if (!withLogin(
                [&] { return server.replace(file.remote, source, file.size, progress, true); }))
            return Failed(server);
        // The size is all that is compared: reading back hours of audio
        // would double the publication's time.
        qint64 size = -1;
        QDateTime modified;
        bool missing = false;
        server.stat(file.remote, size, modified, missing);
        if (size != file.size)
            return Failed(RemoteServer::Failure::Other,
                          file.remote.toDisplayString() + u": the server holds "_s +
                              QString::number(size) + u" bytes after the upload, not "_s +
                              QString::number(file.size));
        progress.sent += file.size;
        ++progress.fileIndex;
        ++result.mediaSent;
    }

    QByteArray bytes = feedBytes;
    QBuffer source(&bytes);
    source.open(QIODevice::ReadOnly);
    progress.fileName = destination.fileName();
    if (!withLogin([&] {
            return server.replace(destination.url(), source, bytes.size(), progress, false);
        }))
        return Failed(server);
    QByteArray remote;
    if (!server.download(destination.url(), bytes.size(), remote))
        return Failed(server);
    if (remote != feedBytes)
        return Failed(RemoteServer::Failure::Other,
                      destination.displayText() +
                          u": the server holds other bytes than were sent ("_s +
                          QString::number(remote.size()) + u" read back, "_s +
                          QString::number(feedBytes.size()) + u" sent)"_s);
    if (password)
        m_hooks.passwordAccepted(destination, *password);
    result.ok = true;
    result.bytesSent = total;
    return result;
}
