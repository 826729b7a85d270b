#include "publish/mediafiles.h"

#include "feed/rssfeed.h"

#include <QFileInfo>
#include <QSet>

using namespace Qt::StringLiterals;

QStringList EnclosureUrls(const CRssFeed& feed) {
    QStringList urls;
    const pugi::xml_node channel = feed.child("rss").child("channel");
    for (pugi::xml_node item = channel.child("item"); item; item = item.next_sibling("item")) {
        for (pugi::xml_node enclosure = item.child("enclosure"); enclosure;
             enclosure = enclosure.next_sibling("enclosure")) {
            const QString url = QString::fromUtf8(enclosure.attribute("url").value()).trimmed();
            if (!url.isEmpty())
                urls.append(url);
        }
    }
    return urls;
}

bool FindMediaFiles(const QStringList& enclosureUrls, const FeedPublishSettings& settings,
                    const QString& feedPath, const PublishDestination& destination,
                    QList<MediaFile>& files, QString* error) {
    files.clear();
    QString base = settings.mediaBaseUrl.trimmed();
    if (base.isEmpty())
        return true;
    if (!base.endsWith(u'/'))
        base += u'/';
    const QString folder = settings.mediaFolder.isEmpty()
                               ? QFileInfo(feedPath).absolutePath()
                               : QFileInfo(settings.mediaFolder).absoluteFilePath();
    QUrl target = destination.sibling(QString());
    if (!settings.mediaDestination.trimmed().isEmpty()) {
        PublishDestination media;
        QString why;
        // A folder URL: the "file name" given only makes it parse.
        QString text = settings.mediaDestination.trimmed();
        if (!text.endsWith(u'/'))
            text += u'/';
        if (!media.Parse(text, u"x"_s, &why)) {
            if (error)
                *error = u"media destination: "_s + why;
            return false;
        }
        if (media.credentialKey() != destination.credentialKey()) {
            if (error)
                *error = u"the media destination "_s + media.displayText() +
                         u" is not on the server of "_s + destination.displayText();
            return false;
        }
        target = media.sibling(QString());
    }
    const QString targetPath = target.path(QUrl::FullyDecoded);
    QSet<QString> seen;
    for (const QString& url : enclosureUrls) {
        if (!url.startsWith(base))
            continue;
        QString rest = url.mid(base.size());
        rest.truncate(rest.indexOf(u'?') >= 0 ? rest.indexOf(u'?') : rest.size());
        rest.truncate(rest.indexOf(u'#') >= 0 ? rest.indexOf(u'#') : rest.size());
        const QString relative = QUrl::fromPercentEncoding(rest.toUtf8());
        if (relative.isEmpty() || relative.startsWith(u'/') || relative.contains(u'\\') ||
            relative.split(u'/').contains(u".."_s) || seen.contains(relative))
            continue;
        const QFileInfo info(folder + u'/' + relative);
        if (!info.isFile())
            continue;
        seen.insert(relative);
        MediaFile file;
        file.localPath = info.absoluteFilePath();
        file.remote = target;
        file.remote.setPath(targetPath + relative, QUrl::DecodedMode);
        file.size = info.size();
        file.modified = info.lastModified();
        files.append(file);
    }
    return true;
}
