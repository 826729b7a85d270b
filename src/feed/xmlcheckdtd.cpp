// The checking pass over a DOCTYPE and its internal subset. Internal general
// entities are collected for expansion; external and parameter entities are
// refused, so nothing outside the file is ever read.
#include "xmlchars.h"
#include "xmlchecker.h"

#include <cstring>

using namespace xmlchars;

namespace {

bool IsPubidChar(unsigned c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return c == ' ' || c == '\r' || c == '\n' ||
           std::strchr("-'()+,./:=?;!*#@$_%", static_cast<int>(c));
}

bool IsPredefined(std::string_view name) {
    return name == "lt" || name == "gt" || name == "amp" || name == "apos" || name == "quot";
}

// Nesting of content particles in an element declaration.
constexpr int kMaxParticleDepth = 64;

} // namespace

bool XmlChecker::ParseDoctype() {
    const Ptr start = p;
    p += 9;
    if (!RequireSpace("after <!DOCTYPE") || !ParseName("the name of the root element"))
        return false;
    const bool space = SkipSpace();
    if (space && (StartsWith("SYSTEM") || StartsWith("PUBLIC"))) {
        bool found = false;
        if (!ParseExternalId(false, found))
            return false;
        m_hasExternalSubset = true;
        SkipSpace();
    }
    if (*p == '[') {
        ++p;
        if (!ParseInternalSubset())
            return false;
        SkipSpace();
    }
    if (p >= m_end)
        return Fail(start, "the DOCTYPE is not closed");
    return Expect(">", "'>' closing the DOCTYPE");
}

bool XmlChecker::ParseSystemLiteral() {
    const unsigned char quote = *p;
    if (quote != '"' && quote != '\'')
        return Fail(p, "a quoted system identifier expected");
    const Ptr start = p++;
    while (*p != quote) {
        if (p >= m_end)
            return Fail(start, "the system identifier is not closed");
        if (*p >= 0x80) {
            if (!SkipUtf8())
                return false;
        } else if (*p < 0x20 && !IsSpace(*p)) {
            return BadByte(p);
        } else {
            m_result.hasCarriageReturn |= *p == '\r';
            ++p;
        }
    }
    ++p;
    return true;
}

bool XmlChecker::ParsePubidLiteral() {
    const unsigned char quote = *p;
    if (quote != '"' && quote != '\'')
        return Fail(p, "a quoted public identifier expected");
    const Ptr start = p++;
    while (*p != quote) {
        if (p >= m_end)
            return Fail(start, "the public identifier is not closed");
        if (!IsPubidChar(*p) || (*p == '\'' && quote == '\''))
            return Fail(p, "a character not allowed in a public identifier");
        m_result.hasCarriageReturn |= *p == '\r';
        ++p;
    }
    ++p;
    return true;
}

bool XmlChecker::ParseExternalId(bool publicIdAlone, bool& found) {
    found = false;
    if (StartsWith("SYSTEM")) {
        p += 6;
        found = true;
        return RequireSpace("after SYSTEM") && ParseSystemLiteral();
    }
    if (!StartsWith("PUBLIC"))
        return true;
    p += 6;
    found = true;
    if (!RequireSpace("after PUBLIC") || !ParsePubidLiteral())
        return false;
    if (publicIdAlone) {
        const Ptr before = p;
        if (SkipSpace() && (*p == '"' || *p == '\''))
            return ParseSystemLiteral();
        p = before;
        return true;
    }
    return RequireSpace("between the public and the system identifier") && ParseSystemLiteral();
}

bool XmlChecker::ParseInternalSubset() {
    const Ptr start = p - 1;
    for (;;) {
        SkipSpace();
        if (p >= m_end)
            return Fail(start, "the internal subset of the DOCTYPE is not closed");
        bool ok = true;
        if (*p == ']') {
            ++p;
            return true;
        } else if (*p == '%') {
            ok = Fail(p, "parameter entity references are not supported");
        } else if (StartsWith("<!ENTITY")) {
            ok = ParseEntityDeclaration();
        } else if (StartsWith("<!ELEMENT")) {
            ok = ParseElementDeclaration();
        } else if (StartsWith("<!ATTLIST")) {
            ok = ParseAttlistDeclaration();
        } else if (StartsWith("<!NOTATION")) {
            ok = ParseNotationDeclaration();
        } else if (StartsWith("<!--")) {
            ok = ParseComment();
        } else if (StartsWith("<?")) {
            ok = ParseProcessingInstruction();
        } else {
            ok = Fail(p, "a markup declaration expected in the DOCTYPE");
        }
        if (!ok)
            return false;
    }
}

bool XmlChecker::ParseEntityValue(std::string& replacement) {
    const unsigned char quote = *p;
    const Ptr start = p++;
    for (;;) {
        const unsigned c = *p;
        if (c == quote) {
            ++p;
            return true;
        }
        if (p >= m_end)
            return Fail(start, "the entity value is not closed");
        if (c == '%')
            return Fail(p, "parameter entity references are not supported");
        if (c == '&') {
            const Ptr refStart = p++;
            if (*p == '#') {
                ++p;
                uint32_t cp = 0;
                if (!ParseCharRef(cp))
                    return false;
                AppendUtf8(replacement, cp);
                continue;
            }
            if (!ParseName("an entity name after '&'", false))
                return false;
            if (*p != ';')
                return Fail(refStart, "a reference must end with ';'");
            ++p;
            // Other entities are expanded where this one is used.
            replacement.append(reinterpret_cast<const char*>(refStart),
                               static_cast<size_t>(p - refStart));
        } else if (c >= 0x80) {
            const Ptr charStart = p;
            if (!SkipUtf8())
                return false;
            replacement.append(reinterpret_cast<const char*>(charStart),
                               static_cast<size_t>(p - charStart));
        } else if (c < 0x20 && !IsSpace(static_cast<unsigned char>(c))) {
            return BadByte(p);
        } else if (c == '\r') {
            // Line ends read as LF, as everywhere else in the document.
            m_result.hasCarriageReturn = true;
            replacement += '\n';
            ++p;
            if (*p == '\n')
                ++p;
        } else {
            replacement += static_cast<char>(c);
            ++p;
        }
    }
}

bool XmlChecker::ParseEntityDeclaration() {
    const Ptr start = p;
    p += 8;
    if (!RequireSpace("after <!ENTITY"))
        return false;
    if (*p == '%')
        return Fail(p, "parameter entities are not supported");
    const Ptr nameStart = p;
    if (!ParseName("an entity name", false))
        return false;
    const std::string_view name(reinterpret_cast<const char*>(nameStart),
                                static_cast<size_t>(p - nameStart));
    if (!RequireSpace("after the entity name"))
        return false;
    std::string replacement;
    if (*p == '"' || *p == '\'') {
        if (!ParseEntityValue(replacement))
            return false;
    } else if (StartsWith("SYSTEM") || StartsWith("PUBLIC")) {
        return Fail(start, "the external entity &" + std::string(name) +
                               "; is not supported (files it names are never read)");
    } else {
        return Fail(p, "a quoted entity value expected");
    }
    SkipSpace();
    if (!Expect(">", "'>' closing the entity declaration"))
        return false;
    // The first declaration binds; the predefined five keep their meaning.
    if (!IsPredefined(name) && !m_entityIndex.count(name)) {
        m_entityIndex.emplace(name, static_cast<int>(m_result.entities.size()));
        m_result.entities.push_back({std::string(name), std::move(replacement)});
    }
    return true;
}

bool XmlChecker::ParseContentParticle(int depth) {
    if (depth > kMaxParticleDepth)
        return Fail(p, "the element declaration is nested too deep");
    if (*p == '(') {
        ++p;
        SkipSpace();
        if (!ParseContentParticle(depth + 1))
            return false;
        SkipSpace();
        unsigned char separator = 0;
        while (*p == '|' || *p == ',') {
            if (separator && *p != separator)
                return Fail(p, "'|' and ',' mixed in one group of an element declaration");
            separator = *p++;
            SkipSpace();
            if (!ParseContentParticle(depth + 1))
                return false;
            SkipSpace();
        }
        if (!Expect(")", "')' in the element declaration"))
            return false;
    } else if (!ParseName("an element name in the element declaration", false)) {
        return false;
    }
    if (*p == '?' || *p == '*' || *p == '+')
        ++p;
    return true;
}

bool XmlChecker::ParseElementDeclaration() {
    p += 9;
    if (!RequireSpace("after <!ELEMENT") || !ParseName("an element name", false) ||
        !RequireSpace("after the element name"))
        return false;
    if (StartsWith("EMPTY")) {
        p += 5;
    } else if (StartsWith("ANY")) {
        p += 3;
    } else if (*p == '(') {
        const Ptr open = p++;
        SkipSpace();
        if (StartsWith("#PCDATA")) {
            p += 7;
            SkipSpace();
            bool names = false;
            while (*p == '|') {
                ++p;
                SkipSpace();
                if (!ParseName("an element name in the element declaration", false))
                    return false;
                SkipSpace();
                names = true;
            }
            if (!Expect(")", "')' in the element declaration"))
                return false;
            if (names && !Expect("*", "'*' after a mixed content declaration"))
                return false;
            if (!names && *p == '*')
                ++p;
        } else {
            p = open;
            if (!ParseContentParticle(0))
                return false;
        }
    } else {
        return Fail(p, "EMPTY, ANY or a content model expected");
    }
    SkipSpace();
    return Expect(">", "'>' closing the element declaration");
}

bool XmlChecker::ParseAttlistDeclaration() {
    p += 9;
    if (!RequireSpace("after <!ATTLIST") || !ParseName("an element name", false))
        return false;
    static const char* const kTypes[] = {"CDATA",    "IDREFS", "IDREF",    "ID",
                                         "ENTITIES", "ENTITY", "NMTOKENS", "NMTOKEN"};
    for (;;) {
        const bool space = SkipSpace();
        if (*p == '>') {
            ++p;
            return true;
        }
        if (p >= m_end)
            return Fail(p, "the attribute list declaration is not closed");
        if (!space)
            return Fail(p, "white space expected in the attribute list declaration");
        if (!ParseName("an attribute name", false) || !RequireSpace("after the attribute name"))
            return false;
        bool typed = false;
        for (const char* type : kTypes) {
            if (StartsWith(type)) {
                p += std::strlen(type);
                typed = true;
                break;
            }
        }
        if (!typed) {
            const bool notation = StartsWith("NOTATION");
            if (notation) {
                p += 8;
                if (!RequireSpace("after NOTATION"))
                    return false;
            }
            if (!Expect("(", "an attribute type"))
                return false;
            do {
                SkipSpace();
                if (!ParseName("a name in the attribute type", !notation))
                    return false;
                SkipSpace();
            } while (*p == '|' && ++p);
            if (!Expect(")", "')' closing the attribute type"))
                return false;
        }
        if (!RequireSpace("after the attribute type"))
            return false;
        if (StartsWith("#REQUIRED")) {
            p += 9;
        } else if (StartsWith("#IMPLIED")) {
            p += 8;
        } else {
            if (StartsWith("#FIXED")) {
                p += 6;
                if (!RequireSpace("after #FIXED"))
                    return false;
            }
            const unsigned char quote = *p;
            if (quote != '"' && quote != '\'')
                return Fail(p, "a default value expected");
            ++p;
            if (!ParseAttributeValue(static_cast<char>(quote), false))
                return false;
        }
    }
}

bool XmlChecker::ParseNotationDeclaration() {
    p += 10;
    if (!RequireSpace("after <!NOTATION") || !ParseName("a notation name", false) ||
        !RequireSpace("after the notation name"))
        return false;
    bool found = false;
    if (!ParseExternalId(true, found))
        return false;
    if (!found)
        return Fail(p, "SYSTEM or PUBLIC expected");
    SkipSpace();
    return Expect(">", "'>' closing the notation declaration");
}
