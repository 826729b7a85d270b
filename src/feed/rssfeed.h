// The feed held as the XML tree of its file. Every post field is read from and
// written into the tree itself, so whatever the program does not understand
// survives a load and a save untouched.
#pragma once

#include "platform/fileidentity.h"
#include "platform/readfile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <vector>

class CRssPost;
struct NewFeedInfo;

// The three orders in which the posts list can show posts.
enum class PostOrder : int { ByPosition = 0, ByTitle = 1, ByDate = 2 };

// Line ends of the text written by a save.
enum class LineEnds { Lf, CrLf };

class CRssFeed final : public pugi::xml_document {
public:
    CRssFeed();
    ~CRssFeed();
    CRssFeed(const CRssFeed&) = delete;
    CRssFeed& operator=(const CRssFeed&) = delete;

    // Empties the tree and forgets what the last load remembered (byte-order
    // mark, encoding, line ends).
    void Clear();

    // Reading. Every text is kept exactly as the file has it. What a
    // conforming XML parser refuses is refused: a failed load leaves an empty
    // tree, and error (when given) says why: the system's reason, "not a
    // regular file", "not well-formed XML (line L, column C): ...", or the
    // encoding name that is not known. The file is read once, whatever happens.
    // state, when given, receives the identity and hash of the bytes read.
    bool LoadFile(const QString& path, QString* error = nullptr, FileState* state = nullptr);
    bool LoadFromMemory(const QByteArray& bytes, QString* error = nullptr);

    // Writing. SaveFile replaces the target atomically; it keeps the
    // byte-order mark, encoding and line ends the tree was loaded with.
    // Element-only content is indented; mixed content is written as it stands.
    // state, when given, receives the identity and hash of what was written.
    bool SaveFile(const QString& path, QString* error = nullptr, FileState* state = nullptr) const;
    // The bytes SaveFile would write.
    QByteArray SaveToMemory() const;
    // The whole tree as UTF-8 text for the clipboard: four-blank indentation,
    // LF line ends, no byte-order mark, always UTF-8.
    QByteArray PrintToText() const;

    // Clears the tree and builds a brand-new feed holding one default post.
    bool CreateNewFeed(const NewFeedInfo& info);

    // What the last load found (a new or cleared feed has none of these).
    bool HasByteOrderMark() const { return m_bom; }
    LineEnds GetLineEnds() const { return m_lineEnds; }
    // Empty for UTF-8; otherwise the encoding the file is saved back in
    // (UTF-16LE, UTF-16BE or the name the file declares).
    QString GetEncoding() const { return m_encoding; }
    // A FeedEncodingKind: how a save encodes the text.
    int GetEncodingKind() const { return m_encodingKind; }

    // Grows with every change made through this class (and NoteChanged), so
    // work spread over time can tell the tree it started on is still the same.
    quint64 GetRevision() const { return m_revision; }
    // For changes made through the pugixml interface directly.
    void NoteChanged() { ++m_revision; }

    // Post access; every lookup is O(1) through the item index.
    int GetPostCount() const { return static_cast<int>(m_items.size()); }
    // The item element of a post; an index below 0 addresses the first post.
    pugi::xml_node GetItemNode(int index) const;
    pugi::xml_node GetChannelNode() const { return m_channel; }

    QString GetTitle(int index) const;
    QString GetLink(int index) const;
    QString GetAuthor(int index) const;
    QString GetDescription(int index) const;
    QString GetPubDate(int index) const;
    QString GetGuid(int index) const;
    // The title as one line: white space at both ends dropped and each inner
    // run of it shown as one blank, for lists and headings.
    QString GetTitleLine(int index) const;
    // The UTF-8 text of a field; "" when the post or the element is missing.
    // Valid until the tree changes or the next call.
    const char* GetFieldUtf8(int index, const char* name) const;
    // The description with &, <, >, " escaped, as "Copy Post As XML" puts it.
    QString GetDescriptionXml(int index) const;
    // The description with tags removed and a few entities decoded.
    QString GetDescriptionText(int index) const;

    // A field's text is all the text and CDATA inside its element, in order.
    // Setters replace everything inside the element with the one new text,
    // kept as CDATA when the element held CDATA. Characters XML does not allow
    // (control characters other than tab, LF and CR, U+FFFE, U+FFFF, lone
    // surrogates) are dropped, so nothing written can be refused on reading.
    // Setters return false and change nothing when the post is missing or the
    // field cannot be written. Title, link, author and description touch the
    // post's pubDate (unless RenewsDateOnEdit is off); link also rewrites the guid. The description
    // setter applies no description filter (CRssPost::SetDescription does).
    bool SetTitle(int index, const QString& text);
    bool SetLink(int index, const QString& text);
    bool SetAuthor(int index, const QString& text);
    bool SetDescription(int index, const QString& text);
    bool SetPubDate(int index, const QString& text);
    bool SetGuid(int index, const QString& text);
    // Whether title, link, author and description touch pubDate (on unless a
    // feed's options turn it off). Kept across loads: it is the feed's
    // setting, not part of its file.
    void SetRenewsDateOnEdit(bool renew) { m_renewDateOnEdit = renew; }
    bool RenewsDateOnEdit() const { return m_renewDateOnEdit; }

    // Structural changes; each renews the item index.
    // Inserts a default post as post 0.
    bool AddPost();
    // Inserts a deep copy of the post as post 0.
    bool DuplicatePost(int index);
    bool RemovePost(int index);

    // A reference to one post, or nothing when the index is out of range.
    std::optional<CRssPost> MakePost(int index) const;
    CRssPost* MakePostPtr(int index) const;

    // Distinct non-empty links of all posts, in ordinal UTF-16 order.
    QStringList GetAllLinks() const;

    // True when post a comes before post b in the given order. Equal indices
    // never compare as ordered; equal dates leave two posts unordered.
    bool ComparePosts(PostOrder order, int a, int b) const;
    // Sort keys for many comparisons: the title of every post, and the date of
    // every post as seconds (unreadable dates count as the current time).
    std::vector<QString> CollectTitles() const;
    // Sorts the post indices in [first, last) by title, in ordinal UTF-16
    // order, keeping the present order of equal titles; every index must be
    // a post of this feed.
    void SortByTitle(int* first, int* last) const;
    std::vector<qint64> CollectDateKeys() const;
    // Post indices in the given order (a stable sort of the positions).
    std::vector<int> SortedIndices(PostOrder order) const;

    // Renews the rss/channel/item index; only needed after changing the tree
    // through the pugixml interface directly.
    void RebuildIndex();

private:
    pugi::xml_node FieldNode(int index, const char* name) const;
    QString FieldText(int index, const char* name) const;
    // Writes the text of a field; createMissing appends a missing element
    // when the text is not empty.
    bool WriteField(int index, const char* name, const QString& text, bool createMissing);
    void TouchPubDate(int index);
    // Decodes, checks and parses the file's bytes (followed by the checking
    // pass's padding); the tree keeps the buffer it was parsed in.
    bool LoadText(TextBuffer buffer, size_t size, QString* error);
    bool PrintTo(QByteArray& out, bool forFile, QString* error) const;

    pugi::xml_node m_channel;
    std::vector<pugi::xml_node> m_items;
    // The text the tree was parsed in place from; names and values point into it.
    TextBuffer m_text;
    mutable std::string m_scratch;
    bool m_bom = false;
    bool m_renewDateOnEdit = true;
    LineEnds m_lineEnds = LineEnds::Lf;
    QString m_encoding;
    // A FeedEncodingKind.
    int m_encodingKind = 0;
    quint64 m_revision = 0;
};

// The text with every character XML does not allow left out.
QString XmlAllowedText(const QString& text);
// True when the text holds a character XML does not allow.
bool HasCharactersXmlForbids(const QString& text);
// White space at both ends dropped and each inner run of it one blank.
QString OneLineText(const QString& text);

// Replaces &, <, >, " by their entities, in that order, each over the whole
// text; returns the number of replacements made.
int EscapeForXml(QString& text);
// Tags removed, then &nbsp; &laquo; &raquo; &lt; &gt; decoded.
QString DescriptionPlainText(const QString& description);
// 32 lower-case hexadecimal digits of a fresh random UUID.
QString MakeGuidText();
