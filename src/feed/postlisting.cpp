#include "postlisting.h"

#include "feedtext.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {

// Lines are written straight into the output's storage, which grows by
// doubling, so a post costs no allocation and no per-character append.
class LineWriter final {
public:
    explicit LineWriter(qsizetype expected) { m_out.resize(std::max<qsizetype>(expected, 256)); }
    // Room for at least size more bytes at the returned position.
    char* Reserve(qsizetype size) {
        if (m_used + size > m_out.size())
            m_out.resize(std::max(m_out.size() * 2, m_used + size));
        return m_out.data() + m_used;
    }
    void Advance(char* to) { m_used = to - m_out.constData(); }
    QByteArray Take() {
        m_out.truncate(m_used);
        return std::move(m_out);
    }

private:
    QByteArray m_out;
    qsizetype m_used = 0;
};

} // namespace

bool TitleMatchesFilter(const QString& title, const QString& loweredFilter) {
    return loweredFilter.isEmpty() || title.toLower().contains(loweredFilter);
}

QByteArray FormatPostList(const CRssFeed& feed, PostOrder order, const QString& filter) {
    const QString lowered = filter.trimmed().toLower();
    // Fields go from the tree to the output as UTF-8, without a round trip
    // through UTF-16.
    // Lines of ordinary feeds run to about a hundred bytes; room for more
    // spares the copy a growth would make, and untouched room costs nothing.
    LineWriter out(static_cast<qsizetype>(feed.GetPostCount()) * 128);
    // Each field has its own scratch, as a field made of several pieces is
    // joined there.
    std::string titleScratch;
    std::string dateScratch;
    std::string linkScratch;
    for (int index : feed.SortedIndices(order)) {
        const pugi::xml_node item = feed.GetItemNode(index);
        // pugixml's own search of the children costs less than walking
        // them here, a library call for every step.
        const char* title = feedtext::ElementText(item.child("title"), titleScratch);
        const char* pubDate = feedtext::ElementText(item.child("pubDate"), dateScratch);
        const char* link = feedtext::ElementText(item.child("link"), linkScratch);
        const size_t titleLength = std::strlen(title);
        const size_t pubDateLength = std::strlen(pubDate);
        const size_t linkLength = std::strlen(link);
        // An int has at most 11 characters; four separators follow.
        char* const lineStart =
            out.Reserve(static_cast<qsizetype>(16 + titleLength + pubDateLength + linkLength));
        char* to = std::to_chars(lineStart, lineStart + 11, index).ptr;
        *to++ = '\t';
        char* const titleStart = to;
        to = feedtext::CopyOneLine(to, title, titleLength);
        if (!lowered.isEmpty() &&
            !TitleMatchesFilter(QString::fromUtf8(titleStart, to - titleStart), lowered))
            continue;
        *to++ = '\t';
        to = feedtext::CopyOneLine(to, pubDate, pubDateLength);
        *to++ = '\t';
        to = feedtext::CopyOneLine(to, link, linkLength);
        *to++ = '\n';
        out.Advance(to);
    }
    return out.Take();
}
