// Repairs for what the validator finds, made on the feed's tree itself. Each
// changes only what it repairs: no setter that renews a post's date or adds
// the footer is involved, and every other node, text and attribute stays as
// it was. Each returns false and changes nothing when there is nothing to
// repair or the repair is not certain.
#pragma once

#include "feedvalidator.h"

#include <QString>

class CRssFeed;

// Adds <guid isPermaLink="false">urn:uuid:...</guid> after the last element
// of a post that has no guid; guid (when given) gets the text written.
bool FixAddGuid(CRssFeed& feed, int post, QString* guid = nullptr);

// Writes the date of a post's element (post -1: the channel's) in RFC 822
// form with the right weekday, when the moment the text names is certain.
bool FixRewriteDate(CRssFeed& feed, int post, const QString& element);

// Adds atom:link rel="self" with the given address to the channel, and the
// Atom namespace to the rss element when no prefix is bound to it yet.
bool FixAddSelfLink(CRssFeed& feed, const QString& url);

// Gives the channel the description it lacks (or fills an empty one).
bool FixFillDescription(CRssFeed& feed, const QString& text);

// Rewrites relative addresses in the HTML of a post's description and
// content:encoded as absolute ones, against the channel's link.
bool FixAbsoluteLinks(CRssFeed& feed, int post);

// Moves the channel's other elements that follow an item before the first
// item, in their order, so every item comes after them.
bool FixMoveItemsLast(CRssFeed& feed);

// Removes one of a post's enclosures (0-based among them); the post must
// have more than one.
bool FixRemoveEnclosure(CRssFeed& feed, int post, int which);

// What some repairs need from the user.
struct FixInput {
    // The feed's address, for FixKind::AddSelfLink.
    QString url;
    // The channel description, for FixKind::FillDescription.
    QString text;
    // The enclosure to remove; -1 takes the finding's.
    int which = -1;
};

// The repair a finding offers, applied to the feed the finding came from.
bool ApplyFix(CRssFeed& feed, const Finding& finding, const FixInput& input = {});
