// The posts of a feed as lines of text, one a post, for scripts.
#pragma once

#include "rssfeed.h"

#include <QByteArray>
#include <QString>

// Index, title, pubDate text and link separated by tabs, one line a post in
// the given order; tab, CR and LF inside a field become a blank. With a
// filter, only posts whose lower-cased title contains the lower-cased,
// trimmed filter text are kept (an empty filter keeps every post).
QByteArray FormatPostList(const CRssFeed& feed, PostOrder order, const QString& filter);
// True when the title passes the posts filter (filter already lower-cased
// and trimmed).
bool TitleMatchesFilter(const QString& title, const QString& loweredFilter);
