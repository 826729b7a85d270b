#include "app/feedkind.h"

#include "feed/rssfeed.h"

#include <cstring>

using namespace Qt::StringLiterals;

FeedKind FeedKindOf(const CRssFeed& feed) {
    const pugi::xml_node root = feed.document_element();
    // The feed finds its posts under an unprefixed rss root only.
    if (!root || std::strcmp(root.name(), "rss") == 0)
        return FeedKind::Rss;
    const char* name = root.name();
    const char* colon = std::strchr(name, ':');
    const char* local = colon ? colon + 1 : name;
    if (std::strcmp(local, "feed") != 0)
        return FeedKind::Other;
    // The namespace the root's prefix (or the default) is bound to on the root.
    const std::string attribute = colon ? "xmlns:" + std::string(name, colon) : "xmlns";
    const char* uri = root.attribute(attribute.c_str()).value();
    // Atom 1.0 and 0.3; a feed root without any namespace is taken for Atom too.
    if (*uri == 0 || std::strcmp(uri, "http://www.w3.org/2005/Atom") == 0 ||
        std::strcmp(uri, "http://purl.org/atom/ns#") == 0)
        return FeedKind::Atom;
    return FeedKind::Other;
}

QString ReadOnlyReason(FeedKind kind) {
    switch (kind) {
    case FeedKind::Atom:
        return u"This is an Atom feed. Orvan shows it but cannot edit its entries."_s;
    case FeedKind::Other:
        return u"This is not an RSS feed. Orvan shows it but cannot edit it."_s;
    case FeedKind::Rss:
        break;
    }
    return QString();
}
