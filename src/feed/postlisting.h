// The posts of a feed as lines of text, one a post, for scripts.
#pragma once

#include "rssfeed.h"

#include <QByteArray>
#include <QString>

// Index, title, pubDate text and link separated by tabs, one line a post in
// the given order; each field is shown on one line (white space at its ends
// dropped, each inner run of it one blank). With a filter, only posts whose
// lower-cased title line contains the lower-cased, trimmed filter text are
// kept (an empty filter keeps every post).
QByteArray FormatPostList(const CRssFeed& feed, PostOrder order, const QString& filter);
// True when the title passes the posts filter (filter already lower-cased
// and trimmed).
bool TitleMatchesFilter(const QString& title, const QString& loweredFilter);
