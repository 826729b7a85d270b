#include "platform/feedsection.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

QString CanonicalFeedPath(const QString& feedPath) {
    const QFileInfo info(feedPath);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

QString FeedSettingsSection(const QString& feedPath) {
    const QByteArray hash =
        QCryptographicHash::hash(CanonicalFeedPath(feedPath).toUtf8(), QCryptographicHash::Sha256);
    return u"Feed-"_s + QString::fromLatin1(hash.toHex().left(32));
}
