// Feeds of any size with realistic content, for benchmarks.
#pragma once

#include <QByteArray>

// An RSS 2.0 feed of the given number of posts: titles of a few words, HTML
// descriptions (escaped, with line breaks), RFC 822 dates, links, authors and
// guids. The same seed gives the same bytes.
QByteArray GenerateFeed(int posts, unsigned seed = 1);
