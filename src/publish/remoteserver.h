// Files on the destination's server, reached through libcurl (or the file
// system for file: URLs). One object keeps one connection open across its
// requests, so a publication logs in once.
#pragma once

#include "publish/publishdestination.h"
#include "publish/publishhooks.h"

#include <QDateTime>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <initializer_list>
#include <memory>

class RemoteServer final {
public:
    enum class Failure {
        None,
        // The server refused the user name or password.
        Login,
        // The SSH server's key is unknown and was not accepted, or has changed.
        HostKey,
        Cancelled,
        Other,
    };

    RemoteServer(const PublishDestination& destination, PublishHooks& hooks);
    ~RemoteServer();
    RemoteServer(const RemoteServer&) = delete;
    RemoteServer& operator=(const RemoteServer&) = delete;

    void setPassword(const std::optional<QString>& password);
    // Where SSH server keys are looked up and added; the user's by default.
    void setKnownHostsFile(const QString& file);
    // Caps the sending speed (bytes per second); 0 leaves it free.
    void setMaxSendSpeed(qint64 bytesPerSecond);

    // Puts size bytes of source in place of the file at remote (a URL on
    // this server): sent to a temporary name beside it, then moved over it.
    // On failure or cancel the old remote file stays and the temporary one is
    // removed when the server still answers. progress says where this file is
    // in the publication; its sent and total are added to.
    bool replace(const QUrl& remote, QIODevice& source, qint64 size,
                 const PublishProgress& progress, bool createFolders = false);
    // Reads the remote file, at most cap bytes (more fails).
    bool download(const QUrl& remote, qint64 cap, QByteArray& bytes);
    // Size and modification time of a remote file; false when it cannot be
    // asked, with missing set when the server says there is no such file.
    bool stat(const QUrl& remote, qint64& size, QDateTime& modified, bool& missing);

    Failure failure() const { return m_failure; }
    // Names the remote file and the reason, with the server's own answer
    // when it gave one.
    QString errorText() const { return m_error; }

    struct Private;

private:
    bool replaceLocal(const QUrl& remote, QIODevice& source, qint64 size,
                      const PublishProgress& progress, bool createFolders);
    // Runs the request set up on the handle; on failure records why, as
    // "action URL: reason". HTTP answers outside okCodes fail too.
    bool run(const QString& action, const QUrl& url, std::initializer_list<long> okCodes = {});
    bool fail(Failure failure, const QString& error);
    // SFTP commands (rename, rm) run on the remote file's folder.
    bool sftpCommands(const QString& action, const QUrl& folder, const QStringList& commands);
    // Removes a temporary file after a failure, keeping the first failure's reason.
    void removeQuietly(const QUrl& remote);

    std::unique_ptr<Private> d;
    Failure m_failure = Failure::None;
    QString m_error;
};
