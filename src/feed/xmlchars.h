// Character classes of XML 1.0 (fifth edition) over UTF-8 bytes, shared by
// the checking pass, the entity expansion and the printer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace xmlchars {

inline bool IsSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// A code point XML lets a document hold.
inline bool IsChar(uint32_t c) {
    if (c < 0x20)
        return c == 0x9 || c == 0xA || c == 0xD;
    return c <= 0xD7FF || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

bool IsNameStartChar(uint32_t c);
bool IsNameChar(uint32_t c);

// Decodes one UTF-8 sequence that starts with a byte >= 0x80. Returns its
// length, or 0 when the bytes are not shortest-form UTF-8 of a scalar value
// (overlong forms, surrogates, values above U+10FFFF, a cut sequence).
inline int DecodeUtf8(const unsigned char* p, const unsigned char* end, uint32_t& cp) {
    const unsigned c = p[0];
    if (c < 0xC2)
        return 0;
    auto cont = [&](ptrdiff_t i) { return p + i < end && (p[i] & 0xC0) == 0x80; };
    if (c < 0xE0) {
        if (!cont(1))
            return 0;
        cp = ((c & 0x1Fu) << 6) | (p[1] & 0x3Fu);
        return 2;
    }
    if (c < 0xF0) {
        if (!cont(1) || !cont(2))
            return 0;
        cp = ((c & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
        if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))
            return 0;
        return 3;
    }
    if (c < 0xF5) {
        if (!cont(1) || !cont(2) || !cont(3))
            return 0;
        cp = ((c & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
        if (cp < 0x10000 || cp > 0x10FFFF)
            return 0;
        return 4;
    }
    return 0;
}

inline void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// "U+0001" for messages.
std::string CodePointName(uint32_t cp);

} // namespace xmlchars
