#include "feedencoding.h"

#include "xmlchars.h"

#include <cstring>
#include <unicode/ucnv.h>
#include <unicode/uset.h>
#include <vector>

namespace {

bool StartsWith(const char* data, size_t size, const char* prefix, size_t n) {
    return size >= n && std::memcmp(data, prefix, n) == 0;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The value of the encoding pseudo-attribute of an XML declaration at the
// very start of the text, or empty. The pseudo-attributes are read one after
// the other, as the parser reads them, so a name inside another one's value
// is never taken for one.
QByteArray DeclaredEncoding(const char* data, size_t size) {
    if (!StartsWith(data, size, "<?xml", 5) || size < 6 || !IsBlank(data[5]))
        return QByteArray();
    const QByteArray head(data, static_cast<qsizetype>(std::min<size_t>(size, 1024)));
    qsizetype pos = 5;
    for (;;) {
        while (pos < head.size() && IsBlank(head[pos]))
            ++pos;
        const qsizetype nameStart = pos;
        while (pos < head.size() && !IsBlank(head[pos]) && head[pos] != '=' && head[pos] != '?')
            ++pos;
        const QByteArray name = head.mid(nameStart, pos - nameStart);
        if (name.isEmpty())
            return QByteArray();
        while (pos < head.size() && IsBlank(head[pos]))
            ++pos;
        if (pos >= head.size() || head[pos] != '=')
            return QByteArray();
        ++pos;
        while (pos < head.size() && IsBlank(head[pos]))
            ++pos;
        if (pos >= head.size() || (head[pos] != '"' && head[pos] != '\''))
            return QByteArray();
        const qsizetype close = head.indexOf(head[pos], pos + 1);
        if (close < 0)
            return QByteArray();
        if (name == "encoding")
            return head.mid(pos + 1, close - pos - 1);
        pos = close + 1;
    }
}

bool IsUtf16Name(const QByteArray& lower) {
    return lower == "utf-16" || lower == "utf-16le" || lower == "utf-16be" || lower == "ucs-2" ||
           lower == "iso-10646-ucs-2" || lower == "unicode";
}

// Counts lines and columns of decoded text up to a fault.
struct Position {
    int line = 1;
    int column = 1;
    void Advance(uint32_t cp) {
        if (cp == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
};

bool DecodeUtf16(const unsigned char* data, size_t size, bool bigEndian, size_t padding,
                 DecodedText& out, DecodeFault& fault) {
    // Each unit becomes at most three bytes (a pair of units, four).
    out.bytes = TextBuffer::Allocate(size / 2 * 3 + padding + 1);
    if (!out.bytes) {
        fault = {0, 1, 1, QStringLiteral("out of memory")};
        return false;
    }
    char* to = out.bytes.get();
    Position position;
    auto unit = [&](size_t i) {
        return bigEndian ? static_cast<uint32_t>(data[i] << 8 | data[i + 1])
                         : static_cast<uint32_t>(data[i + 1] << 8 | data[i]);
    };
    size_t i = 0;
    for (; i + 1 < size; i += 2) {
        uint32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDFFF) {
            const uint32_t low = i + 3 < size ? unit(i + 2) : 0;
            if (cp > 0xDBFF || low < 0xDC00 || low > 0xDFFF) {
                fault = {i, position.line, position.column,
                         QStringLiteral("a UTF-16 surrogate without its pair")};
                return false;
            }
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        position.Advance(cp);
        std::string bytes;
        xmlchars::AppendUtf8(bytes, cp);
        std::memcpy(to, bytes.data(), bytes.size());
        to += bytes.size();
    }
    if (i < size) {
        fault = {i, position.line, position.column,
                 QStringLiteral("an odd number of bytes in UTF-16 text")};
        return false;
    }
    out.size = static_cast<size_t>(to - out.bytes.get());
    std::memset(to, 0, padding + 1);
    return true;
}

struct ConverterHandle {
    UConverter* handle = nullptr;
    explicit ConverterHandle(const char* name) {
        UErrorCode status = U_ZERO_ERROR;
        handle = ucnv_open(name, &status);
        if (U_FAILURE(status) && handle) {
            ucnv_close(handle);
            handle = nullptr;
        }
    }
    ~ConverterHandle() {
        if (handle)
            ucnv_close(handle);
    }
    ConverterHandle(const ConverterHandle&) = delete;
    ConverterHandle& operator=(const ConverterHandle&) = delete;
};

// The bytes 0x80 to 0x9F a single-byte encoding leaves undefined. ICU maps
// them to the C1 control of the same number, where Windows code pages leave a
// few gaps (0x81, 0x8D, 0x8F, 0x90, 0x9D in windows-1252); an encoding that
// maps all 32 so (the ISO-8859 family) defines them as C1 controls.
uint32_t UndefinedHighBytes(UConverter* converter) {
    if (ucnv_getMaxCharSize(converter) != 1)
        return 0;
    uint32_t mapped = 0;
    for (int b = 0x80; b < 0xA0; ++b) {
        const char in = static_cast<char>(b);
        UChar unit[2] = {};
        UChar* target = unit;
        const char* source = &in;
        UErrorCode status = U_ZERO_ERROR;
        ucnv_resetToUnicode(converter);
        ucnv_toUnicode(converter, &target, unit + 2, &source, &in + 1, nullptr, true, &status);
        if (U_SUCCESS(status) && target > unit && unit[0] == b)
            mapped |= 1u << (b - 0x80);
    }
    ucnv_resetToUnicode(converter);
    return mapped == 0xFFFFFFFFu ? 0 : mapped;
}

bool DecodeLegacy(const FeedEncoding& encoding, const char* data, size_t size, size_t padding,
                  DecodedText& out, DecodeFault& fault) {
    ConverterHandle converter(encoding.name.constData());
    if (!converter.handle) {
        fault = {0, 1, 1,
                 QStringLiteral("unknown encoding \"%1\"").arg(QString::fromLatin1(encoding.name))};
        return false;
    }
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setToUCallBack(converter.handle, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                        &status);
    if (const uint32_t undefined = UndefinedHighBytes(converter.handle)) {
        Position position;
        for (size_t i = 0; i < size; ++i) {
            const auto b = static_cast<unsigned char>(data[i]);
            if (b >= 0x80 && b < 0xA0 && (undefined & (1u << (b - 0x80)))) {
                fault = {i, position.line, position.column,
                         QStringLiteral("bytes that are not valid %1")
                             .arg(QString::fromLatin1(encoding.name))};
                return false;
            }
            position.Advance(b);
        }
    }
    // Two UTF-16 units a byte is more than any encoding needs.
    std::vector<UChar> units(size * 2 + 2);
    UChar* target = units.data();
    const char* source = data;
    status = U_ZERO_ERROR;
    ucnv_toUnicode(converter.handle, &target, units.data() + units.size(), &source, data + size,
                   nullptr, true, &status);
    const size_t count = static_cast<size_t>(target - units.data());
    if (U_FAILURE(status)) {
        char invalid[32];
        int8_t invalidLength = sizeof invalid;
        UErrorCode ignored = U_ZERO_ERROR;
        ucnv_getInvalidChars(converter.handle, invalid, &invalidLength, &ignored);
        Position position;
        for (size_t i = 0; i < count; ++i)
            position.Advance(units[i]);
        const size_t consumed = static_cast<size_t>(source - data);
        fault = {
            consumed - std::min<size_t>(consumed, U_SUCCESS(ignored) ? invalidLength : 0),
            position.line, position.column,
            QStringLiteral("bytes that are not valid %1").arg(QString::fromLatin1(encoding.name))};
        return false;
    }
    out.bytes = TextBuffer::Allocate(count * 3 + padding + 1);
    if (!out.bytes) {
        fault = {0, 1, 1, QStringLiteral("out of memory")};
        return false;
    }
    char* to = out.bytes.get();
    std::string bytes;
    for (size_t i = 0; i < count; ++i) {
        uint32_t cp = units[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00u);
            ++i;
        }
        bytes.clear();
        xmlchars::AppendUtf8(bytes, cp);
        std::memcpy(to, bytes.data(), bytes.size());
        to += bytes.size();
    }
    out.size = static_cast<size_t>(to - out.bytes.get());
    std::memset(to, 0, padding + 1);
    return true;
}

} // namespace

FeedEncoding SniffEncoding(const char* data, size_t size) {
    FeedEncoding encoding;
    if (StartsWith(data, size, "\xEF\xBB\xBF", 3))
        encoding.bomSize = 3;
    else if (StartsWith(data, size, "\xFF\xFE", 2))
        encoding = {FeedEncodingKind::Utf16LE, 2, QByteArray(), QString()};
    else if (StartsWith(data, size, "\xFE\xFF", 2))
        encoding = {FeedEncodingKind::Utf16BE, 2, QByteArray(), QString()};
    if (encoding.kind != FeedEncodingKind::Utf8)
        return encoding;
    const QByteArray declared = DeclaredEncoding(data + encoding.bomSize, size - encoding.bomSize);
    const QByteArray lower = declared.toLower();
    if (declared.isEmpty() || lower == "utf-8" || lower == "utf8")
        return encoding;
    if (IsUtf16Name(lower)) {
        encoding.fault = QStringLiteral("the file declares the encoding %1 but has no UTF-16 "
                                        "byte-order mark")
                             .arg(QString::fromLatin1(declared));
        return encoding;
    }
    if (encoding.bomSize) {
        encoding.fault = QStringLiteral("the file has a UTF-8 byte-order mark but declares the "
                                        "encoding %1")
                             .arg(QString::fromLatin1(declared));
        return encoding;
    }
    encoding.kind = FeedEncodingKind::Legacy;
    encoding.name = declared;
    return encoding;
}

bool DecodeToUtf8(const FeedEncoding& encoding, const char* data, size_t size, size_t padding,
                  DecodedText& out, DecodeFault& fault) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    switch (encoding.kind) {
    case FeedEncodingKind::Utf16LE:
    case FeedEncodingKind::Utf16BE:
        return DecodeUtf16(bytes, size, encoding.kind == FeedEncodingKind::Utf16BE, padding, out,
                           fault);
    case FeedEncodingKind::Legacy:
        return DecodeLegacy(encoding, data, size, padding, out, fault);
    case FeedEncodingKind::Utf8:
        break;
    }
    out.bytes = TextBuffer::Allocate(size + padding + 1);
    if (!out.bytes) {
        fault = {0, 1, 1, QStringLiteral("out of memory")};
        return false;
    }
    std::memcpy(out.bytes.get(), data, size);
    std::memset(out.bytes.get() + size, 0, padding + 1);
    out.size = size;
    return true;
}

LegacyEncoder::LegacyEncoder(const QByteArray& name) : m_name(name) {
    UErrorCode status = U_ZERO_ERROR;
    m_converter = ucnv_open(name.constData(), &status);
    if (U_FAILURE(status)) {
        if (m_converter)
            ucnv_close(m_converter);
        m_converter = nullptr;
        return;
    }
    ucnv_setFromUCallBack(m_converter, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                          &status);
    m_set = uset_openEmpty();
    ucnv_getUnicodeSet(m_converter, m_set, UCNV_ROUNDTRIP_SET, &status);
    if (U_FAILURE(status)) {
        uset_close(m_set);
        m_set = nullptr;
        ucnv_close(m_converter);
        m_converter = nullptr;
    }
}

LegacyEncoder::~LegacyEncoder() {
    if (m_set)
        uset_close(m_set);
    if (m_converter)
        ucnv_close(m_converter);
}

bool LegacyEncoder::CanEncode(uint32_t cp) const {
    return m_set && uset_contains(m_set, static_cast<UChar32>(cp));
}

bool LegacyEncoder::Encode(const std::string& utf8, QByteArray& out, QString& reason) const {
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    UErrorCode status = U_ZERO_ERROR;
    ucnv_resetFromUnicode(m_converter);
    out.resize(static_cast<qsizetype>(text.size()) * ucnv_getMaxCharSize(m_converter) + 16);
    char* target = out.data();
    const UChar* source = reinterpret_cast<const UChar*>(text.utf16());
    ucnv_fromUnicode(m_converter, &target, out.data() + out.size(), &source, source + text.size(),
                     nullptr, true, &status);
    if (U_FAILURE(status)) {
        reason = QStringLiteral("a character cannot be written in the encoding %1")
                     .arg(QString::fromLatin1(m_name));
        return false;
    }
    out.truncate(static_cast<qsizetype>(target - out.data()));
    return true;
}

QByteArray EncodeUtf16(const std::string& utf8, bool bigEndian) {
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    QByteArray out;
    out.reserve((text.size() + 1) * 2);
    auto put = [&out, bigEndian](char16_t u) {
        const char high = static_cast<char>(u >> 8);
        const char low = static_cast<char>(u & 0xFF);
        out.append(bigEndian ? high : low);
        out.append(bigEndian ? low : high);
    };
    put(0xFEFF);
    for (QChar c : text)
        put(c.unicode());
    return out;
}
