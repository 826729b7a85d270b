#include "podcastguid.h"

#include <QRegularExpression>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace {

// The namespace UUID the podcast namespace gives for feed addresses.
const QUuid kPodcastNamespace(u"ead4c236-bf58-58c6-a2c6-a6b28d128cb6"_s);

} // namespace

QString PodcastGuidName(const QString& feedUrl) {
    static const QRegularExpression scheme(u"^[A-Za-z][A-Za-z0-9+.-]*://"_s);
    QString name = feedUrl.trimmed();
    name.remove(scheme);
    while (name.endsWith(u'/'))
        name.chop(1);
    return name;
}

QString PodcastGuidForUrl(const QString& feedUrl) {
    const QString name = PodcastGuidName(feedUrl);
    if (name.isEmpty())
        return QString();
    return QUuid::createUuidV5(kPodcastNamespace, name.toUtf8()).toString(QUuid::WithoutBraces);
}
