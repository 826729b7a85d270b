// Character-set names, their code-page numbers, detection from a page's bytes
// and conversion of a page to UTF-8 (ICU underneath).
#pragma once

#include <QByteArray>
#include <QString>

struct CharsetCodePage {
    const char* name;
    int codePage;
};

// The names pages and servers use, each with its Windows code-page number.
extern const CharsetCodePage CharsetCodePages[119];

// Code page of the first row named so (any letter case); -1 when none.
int charsetToCodePage(const QString& name);
// Name of the first row carrying the code page; null when none.
const char* codePageToCharset(int codePage);
// The code page guessed from the bytes (markup ignored), or 0.
int detectCodePage(const char* bytes, qsizetype length);
// Page bytes as UTF-8; code page 0 detects first. Empty when nothing converts.
QByteArray pageBytesToUtf8(const QByteArray& bytes, int codePage);
// The whole file through pageBytesToUtf8; empty when it cannot be read.
QByteArray pageToUtf8(const QString& filePath, int codePage);
