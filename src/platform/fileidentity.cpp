#include "platform/fileidentity.h"

#include "platform/readfile.h"

#include <QFile>
#include <cstring>
#include <sys/stat.h>

FileIdentity StatFileIdentity(const QString& path) {
    FileIdentity identity;
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return identity;
    identity.exists = true;
    identity.device = static_cast<uint64_t>(info.st_dev);
    identity.inode = static_cast<uint64_t>(info.st_ino);
    identity.size = static_cast<int64_t>(info.st_size);
    identity.modifiedNs =
        static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    identity.changedNs =
        static_cast<int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    return identity;
}

uint64_t ContentHash(const char* data, size_t size) {
    // Eight bytes a step, each mixed in by a multiply and a rotation; the
    // length goes in last so texts that differ only by trailing zeros differ.
    constexpr uint64_t kPrime = 0x9E3779B97F4A7C15ull;
    uint64_t hash = 0xCBF29CE484222325ull;
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t word = 0;
        std::memcpy(&word, data + i, 8);
        hash = ((hash ^ word) * kPrime);
        hash = (hash << 31) | (hash >> 33);
    }
    uint64_t tail = 0;
    std::memcpy(&tail, data + i, size - i);
    hash = ((hash ^ tail) * kPrime) ^ size;
    hash ^= hash >> 29;
    hash *= kPrime;
    return hash ^ (hash >> 32);
}

bool HashFile(const QString& path, uint64_t& hash, QString& error) {
    FileBytes bytes;
    if (!ReadRegularFile(path, 0, bytes, error))
        return false;
    hash = ContentHash(bytes.data.get(), bytes.size);
    return true;
}
