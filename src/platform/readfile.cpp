#include "platform/readfile.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Below this, new[] is as quick.
constexpr size_t kMappedBufferBytes = 1024 * 1024;
bool g_prefault = false;
} // namespace

void PreferPrefaultedBuffers(bool prefer) {
    g_prefault = prefer;
}

TextBuffer TextBuffer::Allocate(size_t size) {
    TextBuffer buffer;
    if (g_prefault && size >= kMappedBufferBytes) {
        void* mapped = ::mmap(nullptr, size, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
        if (mapped != MAP_FAILED) {
            buffer.m_data = static_cast<char*>(mapped);
            buffer.m_mapped = size;
            return buffer;
        }
    }
    buffer.m_data = new (std::nothrow) char[size ? size : 1];
    return buffer;
}

void TextBuffer::reset() {
    if (m_mapped)
        ::munmap(m_data, m_mapped);
    else
        delete[] m_data;
    m_data = nullptr;
    m_mapped = 0;
}

QString SystemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool ReadRegularFile(const QString& path, size_t padding, FileBytes& out, QString& error,
                     FileIdentity* identity) {
    const QByteArray native = QFile::encodeName(path);
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        error = errno == EISDIR ? QStringLiteral("is a directory") : SystemReason(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = SystemReason(errno);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = S_ISDIR(info.st_mode) ? QStringLiteral("is a directory")
                                      : QStringLiteral("not a regular file");
        ::close(fd);
        return false;
    }
    if (identity) {
        identity->exists = true;
        identity->device = static_cast<uint64_t>(info.st_dev);
        identity->inode = static_cast<uint64_t>(info.st_ino);
        identity->size = static_cast<int64_t>(info.st_size);
        identity->modifiedNs =
            static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
        identity->changedNs =
            static_cast<int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    }
    const auto size = static_cast<size_t>(info.st_size);
    out.data = TextBuffer::Allocate(size + padding + 1);
    if (!out.data) {
        error = SystemReason(ENOMEM);
        ::close(fd);
        return false;
    }
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, out.data.get() + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = SystemReason(errno);
            ::close(fd);
            out.data.reset();
            return false;
        }
        // A file that shrank while it was read ends where the reading did.
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    out.size = done;
    std::memset(out.data.get() + done, 0, padding + 1);
    return true;
}
