// Where the settings of one feed file live in the program's settings file: a
// section of its own, named after a hash of the feed's canonical path, so that
// every spelling of the same file's path finds the same settings.
#pragma once

#include <QString>

// The canonical path of the feed; the cleaned absolute path when the file
// does not exist yet.
QString CanonicalFeedPath(const QString& feedPath);

// "Feed-" and 32 hex digits of the SHA-256 of the feed's canonical path.
QString FeedSettingsSection(const QString& feedPath);
