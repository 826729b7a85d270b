// Reading a file whole, for the feed loader.
#pragma once

#include "platform/fileidentity.h"

#include <QString>
#include <cstddef>
#include <memory>

struct FileBytes {
    std::unique_ptr<char[]> data;
    size_t size = 0;
};

// Reads a regular file into a buffer followed by padding zero bytes. A
// directory, device or FIFO is refused before a byte is read ("is a
// directory", "not a regular file"), so /dev/zero cannot fill the memory and
// a FIFO cannot block; other failures give the system's reason.
// identity, when given, receives the identity of the file that was read.
bool ReadRegularFile(const QString& path, size_t padding, FileBytes& out, QString& error,
                     FileIdentity* identity = nullptr);

// The system's text for an errno value ("No space left on device").
QString SystemReason(int error);
