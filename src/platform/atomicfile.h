// Replacing a file so that it is either wholly new or untouched.
#pragma once

#include <QByteArray>
#include <QString>

// Writes the bytes to a temporary file beside path and renames it over path
// once every byte is on disk; a failure (a full disk, a read-only folder, a
// directory in the way) leaves the old file as it was and, when error is
// given, says why with the system's reason.
//
// The new file keeps the old one's mode, owner and group (owner and group
// when the system allows). A symbolic link is followed, so the link stays and
// its target is replaced. A file with several hard links is rewritten in
// place instead, so every name sees the new text; if that write fails, the
// old text is written back and the failure reported.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// The file path names once every symbolic link on the way is followed (the
// last target need not exist). The path itself when a link cannot be read.
QString ResolveSymbolicLinks(const QString& path);

// Writes all bytes to an open descriptor; false with errno set on failure.
// Every file the program writes goes through here, which is where the test
// seam below takes effect.
bool WriteAllBytes(int fd, const char* data, size_t size);

// For tests that cannot mount a small file system (that needs root): when
// the environment variable ORVAN_TEST_DISK_FULL_AFTER holds a number N, a
// write that would take a file past N bytes fails with "No space left on
// device", as a full disk would.
