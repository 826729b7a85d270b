// The local media files a feed's enclosures point to, and where each goes on
// the server.
#pragma once

#include "publish/feedsettings.h"
#include "publish/publishdestination.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

class CRssFeed;

struct MediaFile final {
    QString localPath;
    QUrl remote;
    qint64 size = 0;
    QDateTime modified;
};

// The url attribute of every item's enclosure, in feed order.
QStringList EnclosureUrls(const CRssFeed& feed);

// The enclosures under the media base URL whose file exists in the media
// folder (the feed's folder unless set), each with its remote URL under the
// media destination (the feed destination's folder unless set), once each.
// Names that would climb out of the media folder ("..") are left out. False,
// with the reason, when the media destination is not on the destination's
// server (one login serves a publication).
bool FindMediaFiles(const QStringList& enclosureUrls, const FeedPublishSettings& settings,
                    const QString& feedPath, const PublishDestination& destination,
                    QList<MediaFile>& files, QString* error = nullptr);
