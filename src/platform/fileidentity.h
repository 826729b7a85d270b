// What tells whether a file on disk is still the one the program loaded or
// saved: its identity in the file system and a hash of its bytes.
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

struct FileIdentity {
    bool exists = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modifiedNs = 0;
    int64_t changedNs = 0;

    bool operator==(const FileIdentity&) const = default;
};

// A file as the program last loaded or saved it.
struct FileState {
    FileIdentity identity;
    uint64_t hash = 0;
};

// The identity of the file path names, through symbolic links.
FileIdentity StatFileIdentity(const QString& path);

// A fast 64-bit hash of bytes, to notice a change; not for security.
uint64_t ContentHash(const char* data, size_t size);

// Reads the file and hashes it; false with the reason when it cannot be read.
bool HashFile(const QString& path, uint64_t& hash, QString& error);
