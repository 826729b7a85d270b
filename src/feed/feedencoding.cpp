#include "feedencoding.h"

#include <cstring>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

namespace {

bool StartsWith(const char* data, size_t size, const char* prefix, size_t n) {
    return size >= n && std::memcmp(data, prefix, n) == 0;
}

// The value of the encoding pseudo-attribute of an XML declaration, or empty.
QByteArray DeclaredEncoding(const char* data, size_t size) {
    while (size > 0 && (*data == ' ' || *data == '\t' || *data == '\r' || *data == '\n')) {
        ++data;
        --size;
    }
    if (!StartsWith(data, size, "<?xml", 5) || size < 6 ||
        (data[5] != ' ' && data[5] != '\t' && data[5] != '\r' && data[5] != '\n'))
        return QByteArray();
    const QByteArray head(data, static_cast<qsizetype>(std::min<size_t>(size, 1024)));
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    // The pseudo-attributes are read one after the other, as the parser reads
    // them, so a name inside another one's value is never taken for one.
    qsizetype pos = 5;
    for (;;) {
        while (pos < head.size() && isBlank(head[pos]))
            ++pos;
        const qsizetype nameStart = pos;
        while (pos < head.size() && !isBlank(head[pos]) && head[pos] != '=' && head[pos] != '?')
            ++pos;
        const QByteArray name = head.mid(nameStart, pos - nameStart);
        if (name.isEmpty())
            return QByteArray();
        while (pos < head.size() && isBlank(head[pos]))
            ++pos;
        if (pos >= head.size() || head[pos] != '=')
            return QByteArray();
        ++pos;
        while (pos < head.size() && isBlank(head[pos]))
            ++pos;
        if (pos >= head.size() || (head[pos] != '"' && head[pos] != '\''))
            return QByteArray();
        const qsizetype close = head.indexOf(head[pos], pos + 1);
        if (close < 0)
            return QByteArray();
        if (name == "encoding")
            return head.mid(pos + 1, close - pos - 1).trimmed();
        pos = close + 1;
    }
}

// The form XML allows for an encoding name; ICU would read more (options
// after a comma, stray characters) than a file may declare.
bool IsEncodingName(const QString& name) {
    if (name.isEmpty() || !name[0].isLetter() || name[0].unicode() > 0x7F)
        return false;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool ok = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') ||
                        (u >= '0' && u <= '9') || u == '.' || u == '_' || u == '-';
        if (!ok)
            return false;
    }
    return true;
}

struct Converter {
    UConverter* handle = nullptr;
    explicit Converter(const QByteArray& name) {
        UErrorCode status = U_ZERO_ERROR;
        handle = ucnv_open(name.constData(), &status);
        if (U_FAILURE(status)) {
            if (handle)
                ucnv_close(handle);
            handle = nullptr;
        }
    }
    ~Converter() {
        if (handle)
            ucnv_close(handle);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
};

} // namespace

bool IsUtf8Name(const QByteArray& declared) {
    const QByteArray lower = declared.trimmed().toLower();
    // A declaration read byte by byte cannot be UTF-16, whatever it says.
    return lower.isEmpty() || lower == "utf-8" || lower == "utf8" || lower.startsWith("utf-16") ||
           lower == "ucs-2" || lower == "unicode";
}

FeedEncoding SniffEncoding(const char* data, size_t size) {
    FeedEncoding encoding;
    if (StartsWith(data, size, "\xEF\xBB\xBF", 3)) {
        encoding.bomSize = 3;
        return encoding;
    }
    auto utf16 = [&encoding](const char* name, size_t bomSize) {
        encoding.isUtf8 = false;
        encoding.utf16 = true;
        encoding.bomSize = bomSize;
        encoding.name = QString::fromLatin1(name);
        return encoding;
    };
    if (StartsWith(data, size, "\xFF\xFE", 2))
        return utf16("UTF-16LE", 2);
    if (StartsWith(data, size, "\xFE\xFF", 2))
        return utf16("UTF-16BE", 2);
    if (StartsWith(data, size, "<\0?\0", 4))
        return utf16("UTF-16LE", 0);
    if (StartsWith(data, size, "\0<\0?", 4))
        return utf16("UTF-16BE", 0);
    const QByteArray declared = DeclaredEncoding(data, size);
    if (IsUtf8Name(declared))
        return encoding;
    encoding.isUtf8 = false;
    encoding.name = QString::fromLatin1(declared);
    return encoding;
}

bool DecodeToUtf8(const FeedEncoding& encoding, const char* data, size_t size, QByteArray& utf8,
                  QString& reason) {
    Converter converter(IsEncodingName(encoding.name) ? encoding.name.toLatin1() : QByteArray());
    if (!converter.handle || !IsEncodingName(encoding.name)) {
        reason = QStringLiteral("unknown encoding \"%1\"").arg(encoding.name);
        return false;
    }
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length =
        ucnv_toUChars(converter.handle, nullptr, 0, data, static_cast<int32_t>(size), &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) {
        reason = QStringLiteral("cannot decode the text as %1").arg(encoding.name);
        return false;
    }
    if (length == 0) {
        utf8.clear();
        return true;
    }
    QString text(length, Qt::Uninitialized);
    status = U_ZERO_ERROR;
    ucnv_toUChars(converter.handle, reinterpret_cast<UChar*>(text.data()), length + 1, data,
                  static_cast<int32_t>(size), &status);
    if (U_FAILURE(status)) {
        reason = QStringLiteral("cannot decode the text as %1").arg(encoding.name);
        return false;
    }
    utf8 = text.toUtf8();
    return true;
}

bool EncodeFromUtf8(const QString& name, bool withBom, const QByteArray& utf8, QByteArray& out) {
    Converter converter(name.toLatin1());
    if (!converter.handle)
        return false;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setFromUCallBack(converter.handle, UCNV_FROM_U_CALLBACK_ESCAPE, UCNV_ESCAPE_XML_DEC,
                          nullptr, nullptr, &status);
    if (U_FAILURE(status))
        return false;
    QString text = QString::fromUtf8(utf8);
    if (withBom)
        text.prepend(QChar(0xFEFF));
    status = U_ZERO_ERROR;
    const int32_t length =
        ucnv_fromUChars(converter.handle, nullptr, 0, reinterpret_cast<const UChar*>(text.utf16()),
                        static_cast<int32_t>(text.size()), &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
        return false;
    if (length == 0) {
        out.clear();
        return true;
    }
    out.resize(length);
    status = U_ZERO_ERROR;
    ucnv_resetFromUnicode(converter.handle);
    ucnv_fromUChars(converter.handle, out.data(), length + 1,
                    reinterpret_cast<const UChar*>(text.utf16()), static_cast<int32_t>(text.size()),
                    &status);
    return U_SUCCESS(status);
}
