// Checks of single values as they stand in a feed: addresses, URLs, numbers,
// MIME types, language codes and text that should be plain. Every function
// reads UTF-8 and allocates nothing unless it says so.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Blank, tab, CR or LF. Called for most characters of a feed, so inline.
inline bool IsXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
// Without white space at either end.
inline std::string_view TrimXmlSpace(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsXmlSpace(text[begin]))
        ++begin;
    while (end > begin && IsXmlSpace(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}
constexpr char AsciiLowerChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLowerChar(a[i]) != AsciiLowerChar(b[i]))
            return false;
    }
    return true;
}
inline bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

enum class UrlCheck {
    Ok,
    // No scheme, or a scheme that needs a host and has none.
    NotFull,
    // Characters outside ASCII: an IRI where a URI belongs.
    NotAscii,
    // A blank, a quote, a bracket or a broken %-escape.
    BadCharacter,
    // Well formed, but its scheme is not one IANA registers.
    UnregisteredScheme,
};
UrlCheck CheckUrl(std::string_view url);
// The scheme as written, or empty when the text has none.
std::string_view UrlSchemeOf(std::string_view url);
// The scheme in lower case, or empty when the text has none.
std::string UrlScheme(std::string_view url);

enum class ContactCheck {
    Ok,
    // A bare address: the profile asks for "address (Real Name)".
    MissingRealName,
    // An address is there, but not in the form "address (Real Name)".
    OtherFormat,
    Invalid,
};
ContactCheck CheckContact(std::string_view value);
bool IsAddrSpec(std::string_view address);

bool IsMimeType(std::string_view type);
// ISO 639 code with optional subtags ("en", "en-us", "epo", "x-klingon").
bool IsLanguageTag(std::string_view tag);
// A decimal integer with an optional minus sign; false on anything else,
// including a value too large for 64 bits.
bool ParseInteger(std::string_view text, int64_t& value);
// 8-4-4-4-12 hexadecimal digits; version gets the UUID's version digit.
bool IsUuid(std::string_view text, int* version = nullptr);
// Lower case of an ASCII name.
std::string AsciiLower(std::string_view text);

// What a text meant to be plain holds.
enum class PlainTextCheck {
    Plain,
    // HTML end tags or entity references: the text is HTML, not plain text.
    Html,
    // Markup-like characters; harmless when the file escapes them with
    // hexadecimal character references, as the profile advises.
    Ambiguous,
};
struct PlainTextResult {
    PlainTextCheck check = PlainTextCheck::Plain;
    // True when hexadecimal references in the source excuse the finding.
    bool excusable = false;
};
PlainTextResult CheckPlainText(std::string_view text);

// Percent-escapes decoded (invalid escapes kept as they are).
std::string PercentDecode(std::string_view text);
