// The checking pass over elements, attributes and text: the part every byte
// of a feed's posts goes through, so it is written for speed. Text is read a
// vector at a time (xmltextscan.h); references to the five predefined
// entities, the commonest thing in escaped HTML, are checked inside that
// loop instead of stopping it. The commonest tags are read in the main loop.
#include "xmlchars.h"
#include "xmlchecker.h"
#include "xmltextscan.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

using namespace xmlchars;
using namespace xmltextscan;

namespace {

// Whether a[0, n) and b[0, n) hold the same bytes; both may be read up to
// eight bytes further. Element names are short, and a library call would
// cost more than comparing them.
inline bool SameBytes(const unsigned char* a, const unsigned char* b, size_t n) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    size_t i = 0;
    uint64_t x = 0;
    uint64_t y = 0;
    for (; i + 8 <= n; i += 8) {
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        if (x != y)
            return false;
    }
    if (i == n)
        return true;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    return ((x ^ y) & (~uint64_t{0} >> (64 - 8 * (n - i)))) == 0;
#else
    return std::memcmp(a, b, n) == 0;
#endif
}

// The first byte at or after p that is not a blank, tab or LF; lineBreak
// tells whether an LF was passed.
inline const unsigned char* SkipLayout(const unsigned char* p, bool& lineBreak) {
#ifdef __SSE2__
    // A line break and the indentation of the next tag fit one block.
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i lf = _mm_cmpeq_epi8(x, _mm_set1_epi8('\n'));
    const __m128i layout = _mm_or_si128(lf, _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8(' ')),
                                                         _mm_cmpeq_epi8(x, _mm_set1_epi8('\t'))));
    const unsigned other = ~static_cast<unsigned>(_mm_movemask_epi8(layout)) & 0xFFFFu;
    if (other) {
        const unsigned n = static_cast<unsigned>(__builtin_ctz(other));
        lineBreak = (static_cast<unsigned>(_mm_movemask_epi8(lf)) & ((1u << n) - 1u)) != 0;
        return p + n;
    }
#endif
    while (*p == '\n' || *p == ' ' || *p == '\t') {
        lineBreak |= *p == '\n';
        ++p;
    }
    return p;
}

// Whether the text between references holds something other than white
// space; a reference counts as white space only when it is a character
// reference to one.
bool HoldsNonBlank(const unsigned char* p, const unsigned char* end, bool& lineBreak) {
    while (p < end) {
        const unsigned c = *p;
        if (c == '&') {
            if (p[1] != '#')
                return true;
            const unsigned char* semicolon = p;
            while (*semicolon != ';')
                ++semicolon;
            const bool hex = p[2] == 'x';
            const unsigned long value =
                std::strtoul(std::string(reinterpret_cast<const char*>(p + (hex ? 3 : 2)),
                                         static_cast<size_t>(semicolon - p - (hex ? 3 : 2)))
                                 .c_str(),
                             nullptr, hex ? 16 : 10);
            if (value != ' ' && value != '\t' && value != '\n' && value != '\r')
                return true;
            lineBreak |= value == '\n' || value == '\r';
            p = semicolon + 1;
            continue;
        }
        if (c == '\n' || c == '\r')
            lineBreak = true;
        else if (c != ' ' && c != '\t')
            return true;
        ++p;
    }
    return false;
}

} // namespace

bool XmlChecker::SkipNonAscii(bool inCdata) {
    // A local pointer: the member would be stored and loaded for every byte.
    Ptr q = p;
    for (;;) {
        q = inCdata ? SkipUtf8Blocks<true>(q) : SkipUtf8Blocks<false>(q);
        // Byte by byte through the block that stopped the vector step.
        for (const Ptr until = q + 16; q < until;) {
            const unsigned c = *q;
            if (c < 0x80) {
                if (c < 0x20 || c == '<' || c == '&' || c == ']') {
                    p = q;
                    return true;
                }
                ++q;
                continue;
            }
            // Two- and three-byte characters, nearly all of them, checked
            // here; the rest, and every fault, the full way. The padding
            // after the text makes q[1] and q[2] readable.
            if (c < 0xE0) {
                if (c >= 0xC2 && (q[1] & 0xC0) == 0x80) {
                    q += 2;
                    continue;
                }
            } else if (c < 0xF0 && (q[1] & 0xC0) == 0x80 && (q[2] & 0xC0) == 0x80) {
                const uint32_t cp = ((c & 0x0Fu) << 12) | ((q[1] & 0x3Fu) << 6) | (q[2] & 0x3Fu);
                if (cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF) && cp < 0xFFFE) {
                    q += 3;
                    continue;
                }
            }
            p = q;
            if (!SkipUtf8())
                return false;
            q = p;
        }
    }
}

bool XmlChecker::ParseAttributeValue(char quote, bool noteEntities) {
    const Ptr start = p - 1;
    for (;;) {
        const unsigned c = *p;
        if (c == static_cast<unsigned char>(quote)) {
            ++p;
            return true;
        }
        if (c == '<')
            return Fail(p, "'<' in an attribute value");
        if (c == '&') {
            if (const int length = PredefinedReference(p)) {
                p += length;
                continue;
            }
            bool blank = false;
            bool lineBreak = false;
            if (!ParseReference(quote, noteEntities, blank, lineBreak))
                return false;
        } else if (c >= 0x80) {
            if (!SkipUtf8())
                return false;
        } else if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            return p >= m_end ? Fail(start, "the attribute value is not closed") : BadByte(p);
        } else {
            m_result.hasCarriageReturn |= c == '\r';
            ++p;
        }
    }
}

bool XmlChecker::ParseStartTag(bool& empty) {
    const Ptr tagStart = p++;
    const Ptr nameStart = p;
    // ASCII names, nearly all of them, without a call; others the full way.
    if (kXmlNameTable[*p] & 1u) {
        ++p;
        while (kXmlNameTable[*p] & 2u)
            ++p;
        if (*p >= 0x80) {
            p = nameStart;
            if (!ParseName("an element name"))
                return false;
        }
    } else if (!ParseName("an element name")) {
        return false;
    }
    if (m_depth >= kMaxElementDepth)
        return Fail(tagStart,
                    "elements are nested more than " + std::to_string(kMaxElementDepth) + " deep");
    if (m_depth > 0) {
        Top().hasChild = true;
        Top().hasElementChild = true;
    }
    // Filled in place; the element counts as open once its tag is read.
    Frame& frame = m_stack[static_cast<size_t>(m_depth)];
    frame = Frame{nameStart, static_cast<size_t>(p - nameStart)};
    // Nearly every tag ends right after its name.
    if (*p == '>') {
        ++p;
        empty = false;
        ++m_depth;
        return true;
    }
    m_attributes.clear();
    for (;;) {
        const bool space = SkipSpace();
        if (*p == '>') {
            ++p;
            empty = false;
            break;
        }
        if (*p == '/' && p[1] == '>') {
            p += 2;
            empty = true;
            break;
        }
        if (p >= m_end)
            return Fail(tagStart, "the tag is not closed");
        if (!space)
            return Fail(p, "white space, '>' or '/>' expected in the tag");
        const Ptr attributeStart = p;
        if (!ParseName("an attribute name"))
            return false;
        const std::string_view name(reinterpret_cast<const char*>(attributeStart),
                                    static_cast<size_t>(p - attributeStart));
        for (const std::string_view& other : m_attributes) {
            if (other == name)
                return Fail(attributeStart, "the attribute " + std::string(name) + " is repeated");
        }
        m_attributes.push_back(name);
        SkipSpace();
        if (*p != '=')
            return Fail(p, "'=' after the attribute name expected");
        ++p;
        SkipSpace();
        const unsigned char quote = *p;
        if (quote != '"' && quote != '\'')
            return Fail(p, "a quoted attribute value expected");
        ++p;
        if (!ParseAttributeValue(static_cast<char>(quote)))
            return false;
    }
    ++m_depth;
    return true;
}

bool XmlChecker::CloseFrame(const Frame& frame) {
    const bool elementOnly =
        frame.hasElementChild && !frame.hasText && !frame.blankWithoutLineBreak;
    if (elementOnly)
        m_result.hasIgnorableText |= frame.referencedBlank;
    else if (frame.droppedBlank)
        m_result.keepsBlankText = true;
    return true;
}

bool XmlChecker::ParseEndTag() {
    const Ptr tagStart = p;
    p += 2;
    const Ptr nameStart = p;
    const Frame& open = Top();
    // The usual end tag: the open element's name and '>'.
    const size_t length = open.nameLength;
    if (static_cast<size_t>(m_end - p) > length + 8 && SameBytes(p, open.name, length) &&
        p[length] == '>') {
        p += length + 1;
        CloseFrame(open);
        --m_depth;
        return true;
    }
    if (!ParseName("an element name"))
        return false;
    if (static_cast<size_t>(p - nameStart) != length ||
        std::memcmp(nameStart, open.name, length) != 0)
        return Fail(tagStart,
                    "the end tag does not match <" +
                        std::string(reinterpret_cast<const char*>(open.name), open.nameLength) +
                        ">");
    SkipSpace();
    if (!Expect(">", "'>' closing the end tag"))
        return false;
    CloseFrame(open);
    --m_depth;
    return true;
}

bool XmlChecker::ParseText(Frame& frame) {
    const Ptr start = p;
    // Set once the text is known to hold something other than white space.
    bool nonBlank = false;
    bool referenced = false;
    for (;;) {
        p = m_wideTextScan ? ScanTextWide(p) : ScanText(p);
        const unsigned c = *p;
        if (c == '<')
            break;
        if (c == '&') {
            bool blank = false;
            bool lineBreak = false;
            if (!ParseReference(0, true, blank, lineBreak))
                return false;
            referenced = true;
            nonBlank |= !blank;
        } else if (c == ']') {
            if (p[1] == ']' && p[2] == '>')
                return Fail(p, "']]>' in text");
            nonBlank = true;
            ++p;
        } else if (c == '\n' || c == '\t') {
            ++p;
        } else if (c == '\r') {
            m_result.hasCarriageReturn = true;
            ++p;
        } else if (c >= 0x80) {
            if (!SkipNonAscii(false))
                return false;
            nonBlank = true;
        } else if (p >= m_end) {
            break;
        } else {
            return BadByte(p);
        }
    }
    if (p == start)
        return true;
    bool lineBreak = false;
    if (nonBlank || HoldsNonBlank(start, p, lineBreak)) {
        frame.hasChild = true;
        frame.hasText = true;
        return true;
    }
    // White space only: the tree builder keeps it when it is written with
    // references or is the element's only content, and drops it otherwise.
    const bool sole = !frame.hasChild && p + 1 < m_end && p[1] == '/';
    frame.blankWithoutLineBreak |= !lineBreak;
    if (referenced) {
        frame.referencedBlank = true;
        frame.hasChild = true;
    } else if (sole) {
        frame.hasChild = true;
    } else {
        frame.droppedBlank = true;
    }
    return true;
}

bool XmlChecker::ParseElementTree() {
    bool empty = false;
    if (!ParseStartTag(empty))
        return false;
    if (empty) {
        CloseFrame(Top());
        --m_depth;
        return true;
    }
    while (m_depth > 0) {
        // Most text between tags is the layout of the file: a line break and
        // indentation, or nothing. It is told apart here, without the scan.
        bool lineBreak = false;
        const Ptr q = SkipLayout(p, lineBreak);
        if (*q == '<' && q < m_end) {
            if (q != p) {
                Frame& frame = Top();
                frame.blankWithoutLineBreak |= !lineBreak;
                if (!frame.hasChild && q[1] == '/')
                    frame.hasChild = true;
                else
                    frame.droppedBlank = true;
                p = q;
            }
        } else if (!ParseText(Top())) {
            return false;
        }
        if (p >= m_end) {
            const Frame& open = Top();
            return Fail(p,
                        "the element <" +
                            std::string(reinterpret_cast<const char*>(open.name), open.nameLength) +
                            "> is not closed");
        }
        // p is at '<'. The commonest tags, an end tag that matches and a
        // start tag that is just an ASCII name, are read right here.
        const unsigned next = p[1];
        bool ok = true;
        if (next == '/') {
            const Frame& open = Top();
            const size_t length = open.nameLength;
            if (static_cast<size_t>(m_end - p) > length + 10 &&
                SameBytes(p + 2, open.name, length) && p[length + 2] == '>') {
                p += length + 3;
                CloseFrame(open);
                --m_depth;
                continue;
            }
            ok = ParseEndTag();
        } else if (kXmlNameTable[next] & 1u) {
            Ptr end = p + 2;
            while (kXmlNameTable[*end] & 2u)
                ++end;
            if (*end == '>' && m_depth < kMaxElementDepth) {
                Frame& parent = Top();
                parent.hasChild = true;
                parent.hasElementChild = true;
                m_stack[static_cast<size_t>(m_depth++)] =
                    Frame{p + 1, static_cast<size_t>(end - p - 1)};
                p = end + 1;
                continue;
            }
            ok = ParseStartTag(empty);
            if (ok && empty) {
                CloseFrame(Top());
                --m_depth;
            }
        } else if (next == '?') {
            ok = ParseProcessingInstruction();
            Top().hasChild = true;
        } else if (next == '!') {
            if (StartsWith("<!--")) {
                ok = ParseComment();
                Top().hasChild = true;
            } else if (StartsWith("<![CDATA[")) {
                ok = ParseCdata(Top());
            } else {
                ok = Fail(p, "'<!' in content that starts neither a comment nor a CDATA section");
            }
        } else {
            ok = ParseStartTag(empty);
            if (ok && empty) {
                CloseFrame(Top());
                --m_depth;
            }
        }
        if (!ok)
            return false;
    }
    return true;
}
