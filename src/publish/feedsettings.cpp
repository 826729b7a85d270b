#include "publish/feedsettings.h"

#include "platform/settingsfile.h"

using namespace Qt::StringLiterals;

namespace {

// The keys of a feed's section, defined once. The file matches keys without
// regard to case; these spellings are what a person reading it sees.
const QString kFileKey = u"File"_s;
const QString kDestinationKey = u"Destination"_s;
const QString kRequireTlsKey = u"RequireTls"_s;
const QString kCaFileKey = u"CaFile"_s;
const QString kKeyFileKey = u"KeyFile"_s;
const QString kPublishAfterSaveKey = u"PublishAfterSave"_s;
const QString kUploadEnclosuresKey = u"UploadEnclosures"_s;
const QString kMediaBaseUrlKey = u"MediaBaseUrl"_s;
const QString kMediaFolderKey = u"MediaFolder"_s;
const QString kMediaDestinationKey = u"MediaDestination"_s;

} // namespace

FeedPublishSettings FeedPublishSettings::Load(const QString& settingsFile,
                                              const QString& feedPath) {
    FeedPublishSettings s;
    // The whole section at once: single reads stop at 260 characters, and a
    // URL or a path may be longer.
    const auto entries = ReadProfileSection(settingsFile, FeedSettingsSection(feedPath));
    for (const auto& [key, value] : entries) {
        auto is = [&key](const QString& name) {
            return QString::compare(key, name, Qt::CaseInsensitive) == 0;
        };
        if (is(kDestinationKey))
            s.destination = value;
        else if (is(kRequireTlsKey))
            s.requireTls = ProfileFlag(value);
        else if (is(kCaFileKey))
            s.caFile = value;
        else if (is(kKeyFileKey))
            s.keyFile = value;
        else if (is(kPublishAfterSaveKey))
            s.publishAfterSave = ProfileFlag(value);
        else if (is(kUploadEnclosuresKey))
            s.uploadEnclosures = ProfileFlag(value);
        else if (is(kMediaBaseUrlKey))
            s.mediaBaseUrl = value;
        else if (is(kMediaFolderKey))
            s.mediaFolder = value;
        else if (is(kMediaDestinationKey))
            s.mediaDestination = value;
    }
    return s;
}

bool FeedPublishSettings::Store(const QString& settingsFile, const QString& feedPath) const {
    const QList<QPair<QString, QString>> ours = {
        {kFileKey, CanonicalFeedPath(feedPath)},
        {kDestinationKey, destination},
        {kRequireTlsKey, ProfileFlagText(requireTls)},
        {kCaFileKey, caFile},
        {kKeyFileKey, keyFile},
        {kPublishAfterSaveKey, ProfileFlagText(publishAfterSave)},
        {kUploadEnclosuresKey, ProfileFlagText(uploadEnclosures)},
        {kMediaBaseUrlKey, mediaBaseUrl},
        {kMediaFolderKey, mediaFolder},
        {kMediaDestinationKey, mediaDestination},
    };
    return UpdateProfileSection(settingsFile, FeedSettingsSection(feedPath),
                                [&ours](const QList<QPair<QString, QString>>& current) {
                                    QList<QPair<QString, QString>> result;
                                    // Keys other features keep in the feed's section stay as they
                                    // are.
                                    for (const auto& entry : current) {
                                        bool known = false;
                                        for (const auto& own : ours)
                                            known =
                                                known || QString::compare(entry.first, own.first,
                                                                          Qt::CaseInsensitive) == 0;
                                        if (!known)
                                            result.append(entry);
                                    }
                                    return ours + result;
                                });
}
