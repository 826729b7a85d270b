// Character encodings of feed files. The tree always holds UTF-8; a file in
// another encoding is decoded on load and encoded again on save.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>

struct FeedEncoding {
    // True when the bytes go to the parser as they are (after the BOM).
    bool isUtf8 = true;
    bool utf16 = false;
    // Bytes of the byte-order mark at the start of the file.
    size_t bomSize = 0;
    // The encoding name as the file declares it (or UTF-16LE/BE).
    QString name;
};

// True for an encoding name (or none) whose file goes to the parser as UTF-8.
bool IsUtf8Name(const QByteArray& declared);
// Looks at the byte-order mark, the first bytes and the XML declaration.
FeedEncoding SniffEncoding(const char* data, size_t size);
// False with a reason when the encoding is not known.
bool DecodeToUtf8(const FeedEncoding& encoding, const char* data, size_t size, QByteArray& utf8,
                  QString& reason);
// Characters the encoding cannot hold become numeric character references.
bool EncodeFromUtf8(const QString& name, bool withBom, const QByteArray& utf8, QByteArray& out);
