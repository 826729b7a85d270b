// Where a feed is published: one URL naming the remote file, and the few
// choices that go with it. A destination never holds a password.
#pragma once

#include <QString>
#include <QUrl>

enum class PublishProtocol {
    Sftp,
    // Plain FTP, or explicit TLS (AUTH TLS) when the destination requires it.
    Ftp,
    // Implicit TLS on its own port.
    Ftps,
    // WebDAV: PUT then MOVE.
    Https,
    // A folder on this machine (a mounted share, a local web root).
    File,
};

class PublishDestination final {
public:
    // Parses a URL as a user typed it. A URL ending in "/" names a folder and
    // takes fileName (the local feed's name) as the remote name. False, with
    // the reason, for schemes we do not speak, a password inside the URL
    // (it would end up in the settings file and in messages), or no file name.
    bool Parse(const QString& text, const QString& fileName, QString* error = nullptr);

    bool isValid() const { return m_url.isValid(); }
    PublishProtocol protocol() const { return m_protocol; }
    // The remote file, fully specified.
    const QUrl& url() const { return m_url; }
    QString userName() const { return m_url.userName(QUrl::FullyDecoded); }
    // The name of the remote file, decoded.
    QString fileName() const;
    // The remote folder's path, decoded, ending with "/".
    QString folderPath() const;
    // A sibling of the remote file in the same folder.
    QUrl sibling(const QString& name) const;

    // The URL as shown to the user and in messages.
    QString displayText() const { return m_url.toDisplayString(); }
    // What a password is filed under in the secret store: scheme, user, host
    // and port, so the feeds on one server share one password.
    QString credentialKey() const;

    // FTP only: refuse to log in unless the server agrees to TLS.
    bool requireTls = false;
    // A PEM file of certificates trusted for this server, beside the system's.
    QString caFile;
    // SFTP only: the private key; empty picks ~/.ssh/id_ed25519, then id_rsa.
    QString keyFile;

private:
    QUrl m_url;
    PublishProtocol m_protocol = PublishProtocol::File;
};

// The temporary name an upload is written to before it replaces NAME, and the
// name the old file is kept under while an SFTP server cannot replace it at once.
QString UploadTempName(const QString& name);
QString UploadOldName(const QString& name);
