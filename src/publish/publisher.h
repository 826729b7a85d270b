// One publication: the feed's bytes (and the media files that changed) put
// on the server, the feed read back and compared.
#pragma once

#include "publish/mediafiles.h"
#include "publish/publishdestination.h"
#include "publish/publishhooks.h"
#include "publish/remoteserver.h"

#include <QByteArray>
#include <QList>
#include <QString>

struct PublishResult final {
    bool ok = false;
    RemoteServer::Failure failure = RemoteServer::Failure::None;
    // Names the destination (or the media file) and the reason.
    QString error;
    // Media files sent, and those left because the server already had them.
    int mediaSent = 0;
    int mediaUnchanged = 0;
    qint64 bytesSent = 0;
};

class Publisher final {
public:
    explicit Publisher(PublishHooks& hooks);

    // Where SSH server keys are checked and added; the user's by default.
    QString knownHostsFile;
    // Caps the sending speed in bytes per second (0: free).
    qint64 maxSendSpeed = 0;

    // Sends the media files whose remote copy is missing, of another size or
    // older than the local file, then the feed, so the feed never points at
    // media the server does not have yet. The feed is read back and must hold
    // exactly feedBytes. A password is asked of the hooks when the server
    // wants one (FTP and WebDAV users at once; SFTP after the keys failed)
    // and again when it is refused.
    PublishResult publish(const QByteArray& feedBytes, const PublishDestination& destination,
                          const QList<MediaFile>& media = {});

private:
    PublishHooks& m_hooks;
};
