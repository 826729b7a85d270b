#include "platform/atomicfile.h"

#include "platform/readfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The test seam: the size past which writes fail, or -1.
long long DiskFullAfter() {
    const char* value = std::getenv("ORVAN_TEST_DISK_FULL_AFTER");
    if (!value || !*value)
        return -1;
    char* end = nullptr;
    const long long limit = std::strtoll(value, &end, 10);
    return (end && *end == '\0' && limit >= 0) ? limit : -1;
}

bool Fail(QString* error, const QString& reason) {
    if (error)
        *error = reason;
    return false;
}

QString CannotWrite(int code) {
    return QStringLiteral("cannot be written: ") + SystemReason(code);
}

// Makes the directory entry of a rename or a new file durable.
void SyncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// write() until done, without the test seam: putting the old text back
// needs no new room, so a full disk does not stop it.
bool WriteRaw(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Rewrites a file with several names where it stands. The old text is kept
// in memory and written back should the new one not fit.
bool RewriteInPlace(const QByteArray& target, const QByteArray& bytes, QString* error) {
    FileBytes old;
    QString reason;
    if (!ReadRegularFile(QFile::decodeName(target), 0, old, reason))
        return Fail(error, QStringLiteral("cannot be read: ") + reason);
    const int fd = ::open(target.constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return Fail(error, CannotWrite(errno));
    bool ok = WriteAllBytes(fd, bytes.constData(), static_cast<size_t>(bytes.size())) &&
              ::ftruncate(fd, bytes.size()) == 0 && ::fsync(fd) == 0;
    if (ok) {
        ok = ::close(fd) == 0;
        return ok ? true : Fail(error, CannotWrite(errno));
    }
    const int code = errno;
    // The old text needs no more room than it had, so it goes back even on
    // a full disk.
    ::lseek(fd, 0, SEEK_SET);
    const bool restored = WriteRaw(fd, old.data.get(), old.size) &&
                          ::ftruncate(fd, static_cast<off_t>(old.size)) == 0 && ::fsync(fd) == 0;
    ::close(fd);
    return Fail(
        error,
        CannotWrite(code) +
            (restored ? QString() : QStringLiteral(" (and the old text could not be put back)")));
}

} // namespace

bool WriteAllBytes(int fd, const char* data, size_t size) {
    const long long limit = DiskFullAfter();
    if (limit >= 0) {
        const off_t at = ::lseek(fd, 0, SEEK_CUR);
        if (at >= 0 && static_cast<long long>(at) + static_cast<long long>(size) > limit) {
            const size_t room = at >= limit ? 0 : static_cast<size_t>(limit - at);
            if (room > 0 && !WriteAllBytes(fd, data, room)) {
                return false;
            }
            errno = ENOSPC;
            return false;
        }
    }
    return WriteRaw(fd, data, size);
}

QString ResolveSymbolicLinks(const QString& path) {
    QString current = QFileInfo(path).absoluteFilePath();
    // As many links as the system itself follows.
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            return current;
        const QString target = info.symLinkTarget();
        if (target.isEmpty())
            return current;
        current = QDir::cleanPath(target);
    }
    return current;
}

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    if (path.isEmpty())
        return Fail(error, QStringLiteral("no file name"));
    const QByteArray target = QFile::encodeName(ResolveSymbolicLinks(path));
    struct stat old {};
    const bool exists = ::stat(target.constData(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode))
        return Fail(error, QStringLiteral("is a directory"));
    if (exists && !S_ISREG(old.st_mode))
        return Fail(error, QStringLiteral("not a regular file"));
    if (exists && old.st_nlink > 1)
        return RewriteInPlace(target, bytes, error);

    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash > 0 ? target.left(slash) : QByteArray(slash == 0 ? "/" : ".");
    const QByteArray name = target.mid(slash + 1);
    QByteArray temporary = folder + "/." + name + ".orvan-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return Fail(error, CannotWrite(errno));
    auto abandon = [&](int code) {
        ::close(fd);
        ::unlink(temporary.constData());
        return Fail(error, CannotWrite(code));
    };
    if (!WriteAllBytes(fd, bytes.constData(), static_cast<size_t>(bytes.size())) ||
        ::fsync(fd) != 0)
        return abandon(errno);
    if (exists) {
        // Owner and group first: changing them clears the set-id bits the
        // mode then puts back. Either may be refused to a user who does not
        // own them; the file then stays the user's, as any new file would.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0)
            (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
        if (::fchmod(fd, old.st_mode & 07777) != 0)
            return abandon(errno);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (::fchmod(fd, 0666 & ~mask) != 0)
            return abandon(errno);
    }
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(temporary.constData());
        return Fail(error, CannotWrite(code));
    }
    if (::rename(temporary.constData(), target.constData()) != 0) {
        const int code = errno;
        ::unlink(temporary.constData());
        return Fail(error, CannotWrite(code));
    }
    SyncFolder(folder);
    return true;
}
