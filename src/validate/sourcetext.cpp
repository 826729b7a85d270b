#include "sourcetext.h"

#include "feed/feedencoding.h"
#include "feed/rssfeed.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

namespace {

// The text with CR LF and lone CR made LF, as every XML reader sees it; the
// text itself (no copy) when it has no CR. drops, when given, gets the offset
// of each LF left out after a CR.
QByteArray WithLfLineEnds(const QByteArray& text, std::vector<size_t>* drops) {
    const char* data = text.constData();
    const size_t size = static_cast<size_t>(text.size());
    if (!std::memchr(data, '\r', size))
        return text;
    QByteArray out(static_cast<qsizetype>(size), Qt::Uninitialized);
    char* to = out.data();
    for (size_t i = 0; i < size; ++i) {
        if (data[i] != '\r') {
            *to++ = data[i];
            continue;
        }
        *to++ = '\n';
        if (i + 1 < size && data[i + 1] == '\n') {
            if (drops)
                drops->push_back(i + 1);
            ++i;
        }
    }
    out.truncate(to - out.data());
    return out;
}

// Only a DOCTYPE that declares entities can make the parsed text differ
// from the file's in more than its line ends.
bool DeclaresEntities(const CRssFeed& feed) {
    for (pugi::xml_node node = feed.first_child(); node; node = node.next_sibling()) {
        if (node.type() == pugi::node_doctype)
            return std::strstr(node.value(), "<!ENTITY") != nullptr;
        if (node.type() == pugi::node_element)
            break;
    }
    return false;
}

} // namespace

QByteArray SourceText::Decode(const QByteArray& bytes) {
    const FeedEncoding encoding =
        SniffEncoding(bytes.constData(), static_cast<size_t>(bytes.size()));
    // UTF-8 is used where it stands: a large feed is not copied again.
    if (encoding.kind == FeedEncodingKind::Utf8)
        return QByteArray::fromRawData(bytes.constData() + encoding.bomSize,
                                       bytes.size() - static_cast<qsizetype>(encoding.bomSize));
    DecodedText decoded;
    DecodeFault fault;
    if (!DecodeToUtf8(encoding, bytes.constData() + encoding.bomSize,
                      static_cast<size_t>(bytes.size()) - encoding.bomSize, 0, decoded, fault))
        return QByteArray();
    return QByteArray(decoded.bytes.get(), static_cast<qsizetype>(decoded.size));
}

SourceText::SourceText(const QByteArray& bytes) {
    const QByteArray decoded = Decode(bytes);
    m_text = WithLfLineEnds(decoded, nullptr);
}

SourceText::SourceText(const QByteArray& bytes, const CRssFeed& feed) {
    const QByteArray decoded = Decode(bytes);
    if (DeclaresEntities(feed))
        FollowEntities(decoded);
    m_text = WithLfLineEnds(decoded, m_expanded ? &m_decodedDrops : nullptr);
}

void SourceText::FollowEntities(const QByteArray& decoded) {
    // The checking pass reads past the end; it gets its padding.
    const size_t size = static_cast<size_t>(decoded.size());
    std::string padded(decoded.constData(), size);
    padded.append(kXmlCheckPadding + 1, '\0');
    const XmlCheck check = CheckXml(padded.data(), size);
    if (!check.ok || check.entityUses.empty())
        return;
    std::string expanded;
    XmlCheck failure;
    if (!ExpandEntities(padded.data(), size, check, std::numeric_limits<size_t>::max() / 4,
                        expanded, m_map, failure))
        return;
    std::vector<size_t> drops;
    m_treeText = WithLfLineEnds(
        QByteArray(expanded.data(), static_cast<qsizetype>(expanded.size())), &drops);
    // The k-th LF left out shifts what follows it by k + 1: the offset after
    // it, once made LF, is its own offset less k.
    m_expandedDrops.reserve(drops.size());
    for (size_t k = 0; k < drops.size(); ++k)
        m_expandedDrops.push_back(drops[k] - k);
    m_expanded = true;
}

size_t SourceText::FromTree(size_t offset) const {
    if (!m_expanded)
        return offset;
    // Back to the expanded text with its CRs, then to the reference the text
    // came from, then on to the file's text made LF.
    const size_t expanded =
        offset + static_cast<size_t>(
                     std::upper_bound(m_expandedDrops.begin(), m_expandedDrops.end(), offset) -
                     m_expandedDrops.begin());
    const size_t decoded = m_map.SourceOffset(expanded);
    return decoded - static_cast<size_t>(
                         std::lower_bound(m_decodedDrops.begin(), m_decodedDrops.end(), decoded) -
                         m_decodedDrops.begin());
}
