// The podcast:guid of a feed: a UUID of version 5 made from the address the
// feed is published at, so every app derives the same one.
#pragma once

#include <QString>

// The address without its scheme ("https://") and trailing slashes, as the
// guid is made from.
QString PodcastGuidName(const QString& feedUrl);
// The lower-case UUID (8-4-4-4-12) for the feed's address; empty when the
// address is empty.
QString PodcastGuidForUrl(const QString& feedUrl);
