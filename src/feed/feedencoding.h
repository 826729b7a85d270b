// Character encodings of feed files. The tree always holds UTF-8; a file in
// another encoding is decoded on load and encoded again on save. Decoding is
// strict: bytes that are not valid in the encoding fail the load at their
// offset instead of turning into replacement characters. UTF-8 and UTF-16
// need no library; ICU is opened only for the other encodings.
#pragma once

#include "platform/readfile.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>

enum class FeedEncodingKind { Utf8, Utf16LE, Utf16BE, Legacy };

struct FeedEncoding {
    FeedEncodingKind kind = FeedEncodingKind::Utf8;
    // Bytes of the byte-order mark at the start of the file.
    size_t bomSize = 0;
    // The encoding name as the file declares it (legacy encodings only).
    QByteArray name;
    // Why the encoding cannot be used (a UTF-16 declaration without a
    // byte-order mark, a malformed name); empty when it can.
    QString fault;
};

// Looks at the byte-order mark and the XML declaration. Without either the
// file is UTF-8; nothing is guessed.
FeedEncoding SniffEncoding(const char* data, size_t size);

// Decoded text in a buffer with room for the checking pass's padding.
struct DecodedText {
    TextBuffer bytes;
    size_t size = 0;
};

// Where decoding stopped: the byte offset in the file and the line and column
// of the text decoded before it.
struct DecodeFault {
    size_t byteOffset = 0;
    int line = 1;
    int column = 1;
    QString reason;
};

// Decodes the bytes after the byte-order mark to UTF-8 followed by padding
// zero bytes. False when a byte sequence is not valid in the encoding or the
// encoding is not known.
bool DecodeToUtf8(const FeedEncoding& encoding, const char* data, size_t size, size_t padding,
                  DecodedText& out, DecodeFault& fault);

// Encodes UTF-8 text in an encoding ICU knows; characters it cannot hold must
// have been written as references already. Opened once per save.
class LegacyEncoder final {
public:
    explicit LegacyEncoder(const QByteArray& name);
    ~LegacyEncoder();
    LegacyEncoder(const LegacyEncoder&) = delete;
    LegacyEncoder& operator=(const LegacyEncoder&) = delete;

    bool IsValid() const { return m_converter != nullptr; }
    bool CanEncode(uint32_t cp) const;
    // False, with the reason, when a character cannot be written.
    bool Encode(const std::string& utf8, QByteArray& out, QString& reason) const;

private:
    struct UConverter* m_converter = nullptr;
    struct USet* m_set = nullptr;
    QByteArray m_name;
};

// UTF-8 to UTF-16 with a byte-order mark, in the given byte order.
QByteArray EncodeUtf16(const std::string& utf8, bool bigEndian);
