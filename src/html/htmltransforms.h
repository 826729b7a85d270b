// Plain text functions over HTML: cleaning the editor's body HTML for storage,
// cleaning HTML pasted from browsers, picking a link's text out of marked-up
// HTML and laying out HTML code for display. None of them parses HTML; each is
// a search and cut on the text, and positions count UTF-16 code units.
#pragma once

#include <QString>
#include <QStringList>

// Position of pattern at or after start, or -1; without case both texts are
// compared lower-cased, one code point at a time (positions stay the same).
qsizetype FindNoCase(const QString& text, const QString& pattern, qsizetype start,
                     bool caseSensitive);
// The text between the first a and the first b after it; empty when either is missing.
QString TextBetween(const QString& text, const QString& a, const QString& b);
// The description to store for the body HTML the editor saved.
QString CleanBodyHtml(const QString& html);
// The text run around the selection markers, from the tag before the selection to
// the tag after it, markers removed; empty without both markers and tags.
QString ExtractLinkRun(const QString& text);
// Removes the first a, what follows up to the first b after it, and that b.
bool RemoveBetween(QString& text, const QString& a, const QString& b);
// Drops lower-case span tags and style attributes; true when anything was removed.
bool RemoveSpansAndStyles(QString& text);
// Replaces every occurrence of each listed text by one blank; true when any was.
bool ReplaceTexts(QString& text, const QStringList& texts);
// Line breaks after <P> and <BR> and before </P> (any case), for display only.
void BreakAroundTags(QString& text);
void BreakAtTag(QString& text, const QString& tag, const QString& br);
bool IsClosingTag(const QString& tag);
