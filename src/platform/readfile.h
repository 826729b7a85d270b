// Reading a file whole, for the feed loader.
#pragma once

#include "platform/fileidentity.h"

#include <QString>
#include <cstddef>
#include <memory>
#include <utility>

// Memory for a file's text. A large buffer may be mapped with all its pages
// made present in one system call, instead of a page fault every 4 KiB as
// the bytes arrive, which on a virtual machine costs more than the copying.
class TextBuffer final {
public:
    TextBuffer() = default;
    ~TextBuffer() { reset(); }
    TextBuffer(TextBuffer&& other) noexcept
        : m_data(std::exchange(other.m_data, nullptr)), m_mapped(std::exchange(other.m_mapped, 0)) {
    }
    TextBuffer& operator=(TextBuffer&& other) noexcept {
        if (this != &other) {
            reset();
            m_data = std::exchange(other.m_data, nullptr);
            m_mapped = std::exchange(other.m_mapped, 0);
        }
        return *this;
    }
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;

    // Uninitialised room for size bytes; empty when there is no memory.
    static TextBuffer Allocate(size_t size);
    char* get() const { return m_data; }
    explicit operator bool() const { return m_data != nullptr; }
    void reset();

private:
    char* m_data = nullptr;
    // The length of the mapping, or 0 for memory from new[].
    size_t m_mapped = 0;
};

// Whether large text buffers are mapped with their pages present. Worth it
// in a process that loads one file and ends (orvanctl), where every page is
// fresh; a long-running program reuses warm memory from the heap instead.
void PreferPrefaultedBuffers(bool prefer);

struct FileBytes {
    TextBuffer data;
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
