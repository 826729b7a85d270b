// Offline validation of an RSS 2.0 feed: the format itself, the RSS Best
// Practices Profile, and the iTunes and Podcasting 2.0 tags. One walk over a
// freshly parsed tree; nothing here touches the network, widgets or any state
// shared between calls, so a worker thread may validate while the window
// edits its own copy of the feed.
#pragma once

#include "messageids.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <vector>

class CRssFeed;

// The repairs the program can make for a finding (see feedfixes.h).
enum class FixKind {
    None,
    AddGuid,
    RewriteDate,
    AddSelfLink,
    FillDescription,
    AbsoluteLinks,
    MoveItems,
    RemoveDuplicateEnclosure,
};

struct Finding {
    Msg msg = Msg::SAXError;
    QString message;
    // 1-based; the column counts characters. A finding about an attribute or
    // a missing child points at the element that holds it.
    int line = 1;
    int column = 1;
    // The post it concerns, or -1 for the channel and the file.
    int post = -1;
    // Where within the post (or the channel): an element name as written in
    // the feed ("title", "itunes:duration"), "/" for nested ones
    // ("image/url") and "@" for an attribute ("enclosure@length"). Empty
    // for the feed as a whole.
    QString field;
    FixKind fix = FixKind::None;
    // Which enclosure a duplicate-enclosure finding is about (0-based among
    // the post's enclosures).
    int which = -1;

    const char* id() const { return MessageId(msg); }
    Severity severity() const { return MessageSeverity(msg); }
};

struct ValidationOptions {
    // The address the feed is published at; checked against atom:link rel=self.
    QString location;
    // Dates after this are reported as implausible; invalid means the
    // current time.
    QDateTime now;
};

struct ValidationReport {
    // False when the bytes did not load; findings then hold the one SAXError.
    bool loaded = false;
    std::vector<Finding> findings;
    int errorCount() const;
};

// Loads the bytes as the editor and orvanctl load a feed file and validates
// the result. Findings are in the order of their place in the file.
ValidationReport ValidateFeedBytes(const QByteArray& bytes, const ValidationOptions& options = {});

// Validates a feed loaded from exactly these bytes (LoadFromMemory, no
// change since); the bytes turn the tree's offsets into lines and columns
// of the file.
std::vector<Finding> ValidateLoadedFeed(const CRssFeed& feed, const QByteArray& bytes,
                                        const ValidationOptions& options = {});

// The one finding for bytes that do not load, placed where the loader's
// reason says ("(line L, column C)", or a byte offset in the text it parsed,
// found in bytes), else at the start.
Finding LoadFailureFinding(const QString& reason, const QByteArray& bytes = QByteArray());
