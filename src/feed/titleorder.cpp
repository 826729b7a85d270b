#include "titleorder.h"

#include <QString>

namespace {

// True when text is well-formed UTF-8: no overlong forms, encoded surrogates,
// values past U+10FFFF or cut sequences (the UTF-16 conversion replaces those).
bool WellFormed(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        std::ptrdiff_t len = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if (c >= 0xC2 && c <= 0xDF)
            len = 2, cp = c & 0x1F, min = 0x80;
        else if (c >= 0xE0 && c <= 0xEF)
            len = 3, cp = c & 0x0F, min = 0x800;
        else if (c >= 0xF0 && c <= 0xF4)
            len = 4, cp = c & 0x07, min = 0x10000;
        else
            return false;
        if (end - p < len)
            return false;
        for (std::ptrdiff_t i = 1; i < len; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += len;
    }
    return true;
}

} // namespace

void AppendTitleSortBytes(std::vector<char>& out, std::string_view title) {
    QByteArray repaired;
    if (!WellFormed(title)) {
        repaired = QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())).toUtf8();
        title = std::string_view(repaired.constData(), static_cast<size_t>(repaired.size()));
    }
    // UTF-8 byte order is code point order. UTF-16 puts U+E000..U+FFFF (lead
    // bytes EE and EF) above the characters beyond U+FFFF (lead bytes F0..F4,
    // surrogates in UTF-16), so those two lead bytes move above F4. Both
    // values never occur as continuation bytes.
    for (const char ch : title) {
        const auto c = static_cast<unsigned char>(ch);
        out.push_back(c == 0xEE ? char(0xF5) : c == 0xEF ? char(0xF6) : ch);
    }
}
