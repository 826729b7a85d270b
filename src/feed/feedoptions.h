// Options that belong to one feed file, kept in the settings file in the
// feed's own section (shared with the publishing settings), and what a save
// does with them.
#pragma once

#include <QString>

class CRssFeed;

struct FeedOptions final {
    // "Write Orvan as the generator": every save sets the channel's generator.
    bool writeGenerator = false;
    // "Renew lastBuildDate on every save".
    bool renewLastBuildDate = false;
    // "Renew a post's date when it is edited": editing a post's title, link,
    // author or body sets its pubDate to the time of the edit.
    bool renewPubDateOnEdit = true;
    // The public address the feed's media files are served under, e.g.
    // https://example.com/media/; an enclosure made from a local file is this
    // and the file's name.
    QString mediaBaseUrl;

    bool operator==(const FeedOptions& other) const = default;

    // The options of the feed at feedPath; missing keys give the defaults.
    static FeedOptions Load(const QString& settingsFile, const QString& feedPath);
    // Writes the options into the feed's section in one atomic change,
    // keeping the section's other keys. False when the file was not written.
    bool Store(const QString& settingsFile, const QString& feedPath) const;
};

// What a save writes into the channel as the options ask: the generator text
// and the time of the save as lastBuildDate. Nothing when both are off.
void ApplySaveOptions(CRssFeed& feed, const FeedOptions& options);

// The enclosure URL of a local file: the base URL, with a "/" added when it
// lacks one, and the file name with the characters a URL cannot hold
// percent-encoded. Just the encoded name when there is no base URL.
QString MediaUrlFor(const QString& baseUrl, const QString& fileName);
