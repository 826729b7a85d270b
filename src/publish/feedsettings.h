// Settings that belong to one feed file, kept in the program's settings file
// in a section of their own, named after a hash of the feed's canonical path
// so that any path spelling of the same file finds them. Nothing here is
// secret: passwords live in the secret store.
#pragma once

#include "platform/feedsection.h"

#include <QString>

struct FeedPublishSettings final {
    // The URL of the remote file; empty when the feed has no destination.
    QString destination;
    // FTP: log in only over TLS (AUTH TLS).
    bool requireTls = false;
    // Certificates (PEM) trusted for the destination's server.
    QString caFile;
    // SFTP: the private key; empty tries ~/.ssh/id_ed25519, then id_rsa.
    QString keyFile;
    bool publishAfterSave = false;
    bool uploadEnclosures = false;
    // The public web address the feed's local media files are served under,
    // e.g. https://example.com/media/ (also used when an enclosure is made
    // from a local file).
    QString mediaBaseUrl;
    // Where those media files are on this machine; empty: the feed's folder.
    QString mediaFolder;
    // Where they are uploaded to; empty: the folder of the destination.
    QString mediaDestination;

    // Reads the feed's settings; missing keys give the defaults above.
    static FeedPublishSettings Load(const QString& settingsFile, const QString& feedPath);
    // Writes every field in one atomic change of the feed's section, keeping
    // keys of that section it does not know. False when the file could not
    // be written.
    bool Store(const QString& settingsFile, const QString& feedPath) const;
};
