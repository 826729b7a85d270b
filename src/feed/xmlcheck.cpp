// The checking pass over the document body: declaration, elements,
// attributes, text, references, comments, processing instructions and CDATA.
#include "xmlchars.h"
#include "xmlchecker.h"
#include "xmltextscan.h"

#include <atomic>
#include <cstring>

using namespace xmlchars;

namespace {

bool IsPredefinedEntity(std::string_view name) {
    return name == "lt" || name == "gt" || name == "amp" || name == "apos" || name == "quot";
}

// Loads may run on other threads than the test that sets this.
std::atomic<bool> g_wideTextScanAllowed{true};

} // namespace

void AllowWideTextScan(bool allowed) {
    g_wideTextScanAllowed.store(allowed, std::memory_order_relaxed);
}

XmlChecker::XmlChecker(const char* data, size_t size)
    : m_begin(reinterpret_cast<Ptr>(data)), m_end(m_begin + size), p(m_begin),
      m_wideTextScan(g_wideTextScanAllowed.load(std::memory_order_relaxed) &&
                     xmltextscan::WideTextScanAvailable()) {}

bool XmlChecker::Fail(Ptr at, std::string message) {
    if (!m_failed) {
        m_failed = true;
        m_result.ok = false;
        m_result.errorOffset = static_cast<size_t>((at > m_end ? m_end : at) - m_begin);
        m_result.error = std::move(message);
    }
    return false;
}

bool XmlChecker::BadByte(Ptr at) {
    if (at >= m_end)
        return Fail(m_end, "the file ends too early");
    const unsigned c = *at;
    if (c >= 0x80)
        return Fail(at, "bytes that are not valid UTF-8");
    return Fail(at, "the character " + CodePointName(c) + " is not allowed in XML");
}

bool XmlChecker::SkipUtf8(uint32_t* cp) {
    uint32_t c = 0;
    const int length = DecodeUtf8(p, m_end, c);
    if (length == 0)
        return BadByte(p);
    if (!IsChar(c))
        return Fail(p, "the character " + CodePointName(c) + " is not allowed in XML");
    if (cp)
        *cp = c;
    p += length;
    return true;
}

bool XmlChecker::StartsWith(const char* literal) const {
    const size_t n = std::strlen(literal);
    return static_cast<size_t>(m_end - p) >= n && std::memcmp(p, literal, n) == 0;
}

bool XmlChecker::Expect(const char* literal, const char* what) {
    if (!StartsWith(literal))
        return Fail(p, std::string(what) + " expected");
    p += std::strlen(literal);
    return true;
}

bool XmlChecker::SkipSpace() {
    const Ptr start = p;
    while (p < m_end && IsSpace(*p)) {
        m_result.hasCarriageReturn |= *p == '\r';
        ++p;
    }
    return p != start;
}

bool XmlChecker::RequireSpace(const char* where) {
    if (SkipSpace())
        return true;
    return Fail(p, std::string("white space expected ") + where);
}

XmlChecker::Ptr XmlChecker::ParseName(const char* what, bool nmtoken) {
    const Ptr start = p;
    // ASCII names, nearly all of them, in a tight loop.
    if (kXmlNameTable[*p] & (nmtoken ? 2u : 1u)) {
        ++p;
        while (kXmlNameTable[*p] & 2u)
            ++p;
        if (*p < 0x80)
            return p;
    }
    for (;;) {
        const unsigned c = *p;
        const bool first = p == start && !nmtoken;
        if (c < 0x80) {
            const unsigned bits = kXmlNameTable[c];
            if (!(bits & (first ? 1u : 2u)))
                break;
            ++p;
            continue;
        }
        uint32_t cp = 0;
        const int length = DecodeUtf8(p, m_end, cp);
        if (length == 0) {
            BadByte(p);
            return nullptr;
        }
        if (!(first ? IsNameStartChar(cp) : IsNameChar(cp)))
            break;
        p += length;
    }
    if (p == start || p > m_end) {
        Fail(start, std::string(what) + " expected");
        return nullptr;
    }
    return p;
}

XmlCheck XmlChecker::Run() {
    m_stack.resize(kMaxElementDepth);
    if (StartsWith("<?xml") && m_end - p > 5 && IsSpace(p[5])) {
        if (!ParseXmlDeclaration())
            return m_result;
    }
    bool seenDoctype = false;
    bool seenRoot = false;
    for (;;) {
        SkipSpace();
        if (p >= m_end) {
            if (!seenRoot)
                Fail(p, "the file holds no element");
            break;
        }
        bool ok = true;
        if (*p != '<') {
            ok = seenRoot ? Fail(p, "text after the root element")
                          : Fail(p, "text before the root element");
        } else if (p[1] == '?') {
            ok = ParseProcessingInstruction();
        } else if (StartsWith("<!--")) {
            ok = ParseComment();
        } else if (StartsWith("<!DOCTYPE")) {
            ok = (seenDoctype || seenRoot)
                     ? Fail(p, "a DOCTYPE is only allowed before the root element")
                     : ParseDoctype();
            seenDoctype = true;
        } else if (p[1] == '!') {
            ok = Fail(p, seenRoot ? "markup after the root element"
                                  : "markup before the root element");
        } else if (seenRoot) {
            ok = Fail(p, "a second root element");
        } else {
            ok = ParseElementTree();
            seenRoot = true;
        }
        if (!ok)
            break;
    }
    return m_result;
}

bool XmlChecker::ParseQuoted(const char* what, std::string_view& value) {
    const unsigned char quote = *p;
    if (quote != '"' && quote != '\'')
        return Fail(p, std::string("a quoted ") + what + " expected");
    const Ptr start = ++p;
    while (p < m_end && *p != quote)
        ++p;
    if (p >= m_end)
        return Fail(start - 1, std::string("the ") + what + " is not closed");
    value = std::string_view(reinterpret_cast<const char*>(start), static_cast<size_t>(p - start));
    ++p;
    return true;
}

bool XmlChecker::ParseXmlDeclaration() {
    p += 5;
    auto eq = [this] {
        SkipSpace();
        if (!Expect("=", "'='"))
            return false;
        SkipSpace();
        return true;
    };
    SkipSpace();
    std::string_view value;
    if (!Expect("version", "the version in the XML declaration") || !eq())
        return false;
    const Ptr versionAt = p;
    if (!ParseQuoted("version", value))
        return false;
    bool versionOk = value.size() > 2 && value.substr(0, 2) == "1.";
    for (size_t i = 2; versionOk && i < value.size(); ++i)
        versionOk = value[i] >= '0' && value[i] <= '9';
    if (!versionOk)
        return Fail(versionAt, "the XML version must be 1.x");
    bool space = SkipSpace();
    if (space && StartsWith("encoding")) {
        p += 8;
        if (!eq())
            return false;
        const Ptr at = p;
        if (!ParseQuoted("encoding name", value))
            return false;
        bool nameOk = !value.empty() && ((value[0] >= 'A' && value[0] <= 'Z') ||
                                         (value[0] >= 'a' && value[0] <= 'z'));
        for (char c : value) {
            nameOk = nameOk && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                                (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-');
        }
        if (!nameOk)
            return Fail(at + 1, "not an encoding name");
        space = SkipSpace();
    }
    if (space && StartsWith("standalone")) {
        p += 10;
        if (!eq())
            return false;
        const Ptr at = p;
        if (!ParseQuoted("standalone value", value))
            return false;
        if (value != "yes" && value != "no")
            return Fail(at + 1, "standalone must be yes or no");
        SkipSpace();
    }
    return Expect("?>", "'?>' closing the XML declaration");
}

bool XmlChecker::ParseComment() {
    const Ptr start = p;
    p += 4;
    for (;;) {
        const unsigned c = *p;
        if (c == '-' && p[1] == '-') {
            if (p[2] != '>')
                return Fail(p, "'--' inside a comment");
            p += 3;
            return true;
        }
        if (p >= m_end)
            return Fail(start, "the comment is not closed");
        if (c >= 0x80) {
            if (!SkipUtf8())
                return false;
        } else if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            return BadByte(p);
        } else {
            m_result.hasCarriageReturn |= c == '\r';
            ++p;
        }
    }
}

bool XmlChecker::ParseProcessingInstruction() {
    const Ptr start = p;
    p += 2;
    const Ptr nameStart = p;
    if (!ParseName("the target of a processing instruction"))
        return false;
    if (p - nameStart == 3 && (nameStart[0] | 0x20) == 'x' && (nameStart[1] | 0x20) == 'm' &&
        (nameStart[2] | 0x20) == 'l')
        return Fail(start, "an XML declaration is only allowed at the very start of the file");
    if (StartsWith("?>")) {
        p += 2;
        return true;
    }
    if (!RequireSpace("after the target of a processing instruction"))
        return false;
    for (;;) {
        const unsigned c = *p;
        if (c == '?' && p[1] == '>') {
            p += 2;
            return true;
        }
        if (p >= m_end)
            return Fail(start, "the processing instruction is not closed");
        if (c >= 0x80) {
            if (!SkipUtf8())
                return false;
        } else if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            return BadByte(p);
        } else {
            m_result.hasCarriageReturn |= c == '\r';
            ++p;
        }
    }
}

bool XmlChecker::ParseCdata(Frame& parent) {
    const Ptr start = p;
    p += 9;
    for (;;) {
        p = m_wideTextScan ? xmltextscan::ScanCdataWide(p) : xmltextscan::ScanCdata(p);
        const unsigned c = *p;
        if (c == ']') {
            if (p[1] == ']' && p[2] == '>') {
                p += 3;
                break;
            }
            ++p;
        } else if (c == '\n' || c == '\t') {
            ++p;
        } else if (c == '\r') {
            m_result.hasCarriageReturn = true;
            ++p;
        } else if (c >= 0x80) {
            if (!SkipNonAscii(true))
                return false;
        } else if (p >= m_end) {
            return Fail(start, "the CDATA section is not closed");
        } else {
            return BadByte(p);
        }
    }
    parent.hasChild = true;
    parent.hasText = true;
    return true;
}

bool XmlChecker::ParseCharRef(uint32_t& cp) {
    const Ptr start = p - 2;
    uint64_t value = 0;
    int digits = 0;
    if (*p == 'x') {
        ++p;
        for (;; ++p, ++digits) {
            const unsigned c = *p;
            unsigned d = 0;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f')
                d = (c | 0x20) - 'a' + 10;
            else
                break;
            value = value > 0x10FFFF ? value : value * 16 + d;
        }
    } else {
        for (; *p >= '0' && *p <= '9'; ++p, ++digits)
            value = value > 0x10FFFF ? value : value * 10 + (*p - '0');
    }
    if (digits == 0 || *p != ';')
        return Fail(start, "a malformed character reference");
    ++p;
    if (value > 0x10FFFF || !IsChar(static_cast<uint32_t>(value)))
        return Fail(start, "the character reference " +
                               std::string(reinterpret_cast<const char*>(start),
                                           static_cast<size_t>(p - start)) +
                               " names a character XML does not allow");
    cp = static_cast<uint32_t>(value);
    return true;
}

bool XmlChecker::ParseReference(char quote, bool noteEntity, bool& blankValue, bool& lineBreak) {
    const Ptr start = p++;
    blankValue = false;
    lineBreak = false;
    if (*p == '#') {
        ++p;
        uint32_t cp = 0;
        if (!ParseCharRef(cp))
            return false;
        blankValue = IsSpace(static_cast<unsigned char>(cp < 0x80 ? cp : 0));
        lineBreak = cp == '\n' || cp == '\r';
        return true;
    }
    const Ptr nameStart = p;
    if (!ParseName("an entity name after '&'"))
        return false;
    if (*p != ';')
        return Fail(start, "a reference must end with ';'");
    const std::string_view name(reinterpret_cast<const char*>(nameStart),
                                static_cast<size_t>(p - nameStart));
    ++p;
    if (IsPredefinedEntity(name))
        return true;
    const auto found = m_entityIndex.find(name);
    if (found == m_entityIndex.end()) {
        std::string message = "the entity &" + std::string(name) + "; is not declared";
        if (m_hasExternalSubset)
            message += " (the external DTD is not read)";
        return Fail(start, message);
    }
    if (noteEntity)
        m_result.entityUses.push_back({static_cast<size_t>(start - m_begin),
                                       static_cast<size_t>(p - start), found->second, quote});
    return true;
}

XmlCheck CheckXml(const char* data, size_t size) {
    XmlChecker checker(data, size);
    return checker.Run();
}
