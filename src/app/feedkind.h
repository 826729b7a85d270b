// What kind of feed a loaded file is: only RSS (0.91, 0.92, 2.0: an rss root
// holding its channel) can be edited; Atom and other XML are only shown.
#pragma once

#include <QString>

class CRssFeed;

enum class FeedKind { Rss, Atom, Other };

FeedKind FeedKindOf(const CRssFeed& feed);
// The bar's text for a feed that cannot be edited; empty for RSS.
QString ReadOnlyReason(FeedKind kind);
