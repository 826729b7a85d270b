#include "feedoptions.h"

#include "feedfields.h"
#include "newfeedinfo.h"
#include "rssdate.h"
#include "rssfeed.h"

#include "platform/feedsection.h"
#include "platform/settingsfile.h"

#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

// The keys of the feed's section this file writes, defined once. The
// media base URL is the publishing settings' own key, read by both.
const QString kFileKey = u"File"_s;
const QString kWriteGeneratorKey = u"WriteGenerator"_s;
const QString kRenewLastBuildDateKey = u"RenewLastBuildDate"_s;
const QString kRenewPubDateKey = u"RenewPubDateOnEdit"_s;
const QString kMediaBaseUrlKey = u"MediaBaseUrl"_s;

} // namespace

FeedOptions FeedOptions::Load(const QString& settingsFile, const QString& feedPath) {
    FeedOptions options;
    if (feedPath.isEmpty())
        return options;
    // The whole section at once: single reads stop at 260 characters.
    for (const auto& entry : ReadProfileSection(settingsFile, FeedSettingsSection(feedPath))) {
        const QString& key = entry.first;
        const QString& value = entry.second;
        auto is = [&key](const QString& name) {
            return QString::compare(key, name, Qt::CaseInsensitive) == 0;
        };
        if (is(kWriteGeneratorKey))
            options.writeGenerator = ProfileFlag(value);
        else if (is(kRenewLastBuildDateKey))
            options.renewLastBuildDate = ProfileFlag(value);
        else if (is(kRenewPubDateKey))
            options.renewPubDateOnEdit = ProfileFlag(value);
        else if (is(kMediaBaseUrlKey))
            options.mediaBaseUrl = value;
    }
    return options;
}

bool FeedOptions::Store(const QString& settingsFile, const QString& feedPath) const {
    if (feedPath.isEmpty())
        return false;
    const QList<QPair<QString, QString>> ours = {
        {kWriteGeneratorKey, ProfileFlagText(writeGenerator)},
        {kRenewLastBuildDateKey, ProfileFlagText(renewLastBuildDate)},
        {kRenewPubDateKey, ProfileFlagText(renewPubDateOnEdit)},
        {kMediaBaseUrlKey, mediaBaseUrl},
    };
    const QString file = CanonicalFeedPath(feedPath);
    return UpdateProfileSection(
        settingsFile, FeedSettingsSection(feedPath),
        [&ours, &file](const QList<QPair<QString, QString>>& current) {
            // Keys of the publishing settings stay where they are; ours are
            // replaced in place or added at the end.
            QList<QPair<QString, QString>> result;
            QList<bool> written(ours.size(), false);
            bool hasFile = false;
            for (const auto& entry : current) {
                qsizetype own = -1;
                for (qsizetype i = 0; i < ours.size() && own < 0; ++i) {
                    if (QString::compare(entry.first, ours[i].first, Qt::CaseInsensitive) == 0)
                        own = i;
                }
                hasFile =
                    hasFile || QString::compare(entry.first, kFileKey, Qt::CaseInsensitive) == 0;
                if (own < 0) {
                    result.append(entry);
                } else if (!written[own]) {
                    result.append(ours[own]);
                    written[own] = true;
                }
            }
            if (!hasFile)
                result.prepend({kFileKey, file});
            for (qsizetype i = 0; i < ours.size(); ++i) {
                if (!written[i])
                    result.append(ours[i]);
            }
            return result;
        });
}

void ApplySaveOptions(CRssFeed& feed, const FeedOptions& options) {
    const pugi::xml_node channel = feed.GetChannelNode();
    if (!channel)
        return;
    if (options.writeGenerator)
        SetFieldValue(channel, *FieldPath::Parse(u"generator"_s), GeneratorText());
    if (options.renewLastBuildDate)
        SetFieldValue(channel, *FieldPath::Parse(u"lastBuildDate"_s), FormatRssDate());
    // Written straight into the tree: whoever is reading it must know.
    if (options.writeGenerator || options.renewLastBuildDate)
        feed.NoteChanged();
}

QString MediaUrlFor(const QString& baseUrl, const QString& fileName) {
    const QString name = QString::fromLatin1(QUrl::toPercentEncoding(fileName));
    QString base = baseUrl.trimmed();
    if (base.isEmpty())
        return name;
    if (!base.endsWith(u'/'))
        base += u'/';
    return base + name;
}
