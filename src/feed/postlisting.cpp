#include "postlisting.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {

// The text of an element: its first child when that is text or CDATA.
const char* ElementText(pugi::xml_node element) {
    const pugi::xml_node first = element.first_child();
    const pugi::xml_node_type type = first.type();
    return type == pugi::node_pcdata || type == pugi::node_cdata ? first.value() : "";
}

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

// Copies a field, each tab, CR and LF becoming a blank; returns the end.
char* CopyField(char* to, const char* text, size_t length) {
    const size_t plain = std::strcspn(text, "\t\r\n");
    std::memcpy(to, text, plain);
    for (size_t i = plain; i < length; ++i) {
        const char c = text[i];
        to[i] = (c == '\t' || c == '\r' || c == '\n') ? ' ' : c;
    }
    return to + length;
}

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
    for (int index : feed.SortedIndices(order)) {
        const pugi::xml_node item = feed.GetItemNode(index);
        const char* title = ElementText(item.child("title"));
        if (!lowered.isEmpty() && !TitleMatchesFilter(QString::fromUtf8(title), lowered))
            continue;
        const char* pubDate = ElementText(item.child("pubDate"));
        const char* link = ElementText(item.child("link"));
        const size_t titleLength = std::strlen(title);
        const size_t pubDateLength = std::strlen(pubDate);
        const size_t linkLength = std::strlen(link);
        // An int has at most 11 characters; four separators follow.
        char* to =
            out.Reserve(static_cast<qsizetype>(16 + titleLength + pubDateLength + linkLength));
        to = std::to_chars(to, to + 11, index).ptr;
        *to++ = '\t';
        to = CopyField(to, title, titleLength);
        *to++ = '\t';
        to = CopyField(to, pubDate, pubDateLength);
        *to++ = '\t';
        to = CopyField(to, link, linkLength);
        *to++ = '\n';
        out.Advance(to);
    }
    return out.Take();
}
