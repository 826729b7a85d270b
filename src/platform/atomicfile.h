// Replacing a file so that it is either wholly new or untouched.
#pragma once

#include <QByteArray>
#include <QString>

// Writes the bytes to a temporary file beside path and renames it over path
// once every byte is on disk; a failure (a full disk, a read-only folder, a
// directory in the way) leaves the old file as it was and, when error is
// given, says why.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);
