// The checking pass's state, shared by the files that check the document
// body and its DOCTYPE. Every step returns false once a fault was recorded;
// the first fault is the one reported.
#pragma once

#include "xmlcheck.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Bit 1: may start a name; bit 2: may stand in a name. ASCII only: bytes of
// multi-byte characters have neither bit and take the slow way.
inline constexpr auto kXmlNameTable = [] {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 128; ++c) {
        const bool start = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
        const bool inner = start || (c >= '0' && c <= '9') || c == '-' || c == '.';
        table[static_cast<size_t>(c)] =
            static_cast<unsigned char>((start ? 1 : 0) | (inner ? 2 : 0));
    }
    return table;
}();

class XmlChecker final {
public:
    XmlChecker(const char* data, size_t size);
    XmlCheck Run();

private:
    using Ptr = const unsigned char*;

    // One open element.
    struct Frame {
        Ptr name;
        size_t nameLength;
        bool hasChild = false;
        bool hasElementChild = false;
        // Text other than white space, a CDATA section, or a reference that
        // is not to white space.
        bool hasText = false;
        // White-space-only text the tree builder drops unless asked to keep it.
        bool droppedBlank = false;
        // White-space-only text written with references (always in the tree).
        bool referencedBlank = false;
        bool blankWithoutLineBreak = false;
    };

    bool Fail(Ptr at, std::string message);
    bool Expect(const char* literal, const char* what);
    bool StartsWith(const char* literal) const;
    // Skips white space; true when there was some.
    bool SkipSpace();
    bool RequireSpace(const char* where);
    // The end of the name at p, or nullptr (with a fault recorded) when there is none.
    // A name token (nmtoken) may start with any character a name may hold.
    Ptr ParseName(const char* what, bool nmtoken = false);
    // A non-ASCII character at p: checked and skipped.
    bool SkipUtf8(uint32_t* cp = nullptr);
    // The multi-byte characters from p on, with the ASCII between them that
    // text passes over: text in most languages is all of that, and going
    // back to the block scan for every character would cost several times
    // more. Stops at a control character, '<', '&' or ']'. In a CDATA
    // section the blocks may hold '<' and '&'.
    bool SkipNonAscii(bool inCdata);
    bool BadByte(Ptr at);

    bool ParseXmlDeclaration();
    bool ParseQuoted(const char* what, std::string_view& value);
    bool ParseComment();
    bool ParseProcessingInstruction();
    bool ParseCdata(Frame& parent);
    // The element at p and everything in it, without recursion.
    bool ParseElementTree();
    bool ParseStartTag(bool& empty);
    bool ParseEndTag();
    // References to entities are noted for expansion unless the value is a
    // default in the DOCTYPE, which is kept as written.
    bool ParseAttributeValue(char quote, bool noteEntities = true);
    bool ParseText(Frame& frame);
    bool CloseFrame(const Frame& frame);

    // A reference at p ('&'). In content, blankValue and lineBreak tell
    // whether it stands for white space and for a line break.
    bool ParseReference(char quote, bool noteEntity, bool& blankValue, bool& lineBreak);
    // A character reference's value, checked; p is after "&#".
    bool ParseCharRef(uint32_t& cp);

    bool ParseDoctype();
    bool ParseInternalSubset();
    bool ParseEntityDeclaration();
    bool ParseEntityValue(std::string& replacement);
    bool ParseElementDeclaration();
    bool ParseContentParticle(int depth);
    bool ParseAttlistDeclaration();
    bool ParseNotationDeclaration();
    bool ParseExternalId(bool publicIdAlone, bool& found);
    bool ParsePubidLiteral();
    bool ParseSystemLiteral();

    Ptr m_begin;
    Ptr m_end;
    Ptr p;
    bool m_failed = false;
    bool m_wideTextScan;
    XmlCheck m_result;

    bool m_hasExternalSubset = false;
    std::unordered_map<std::string_view, int> m_entityIndex;
    // The open elements: m_depth of them, room made once for the deepest.
    std::vector<Frame> m_stack;
    int m_depth = 0;
    Frame& Top() { return m_stack[static_cast<size_t>(m_depth - 1)]; }
    // Names of the attributes of the tag being read.
    std::vector<std::string_view> m_attributes;
};
