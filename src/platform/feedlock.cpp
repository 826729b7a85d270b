#include "platform/feedlock.h"

#include "platform/atomicfile.h"
#include "platform/readfile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

struct Held {
    int fd = -1;
    int count = 0;
};

// Locks this process holds, by lock file.
QHash<QString, Held>& HeldLocks() {
    static QHash<QString, Held> locks;
    return locks;
}

QMutex& HeldLocksMutex() {
    static QMutex mutex;
    return mutex;
}

// The folder of the lock files, made private to the user.
QString LockFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir())
        return runtime + QStringLiteral("/orvan-locks");
    return QDir::tempPath() + QStringLiteral("/orvan-locks-%1").arg(::getuid());
}

} // namespace

QString FeedLock::LockFilePath(const QString& path) {
    // The canonical path: every name of the feed (a link, "..") gets one lock.
    QString canonical = QFileInfo(ResolveSymbolicLinks(path)).canonicalFilePath();
    if (canonical.isEmpty()) {
        const QFileInfo info(path);
        const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
        canonical = (folder.isEmpty() ? info.absolutePath() : folder) + u'/' + info.fileName();
    }
    const QByteArray digest =
        QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex();
    return LockFolder() + u'/' + QString::fromLatin1(digest) + QStringLiteral(".lock");
}

bool FeedLock::Acquire(const QString& path, int timeoutMs, QString* error) {
    auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (IsHeld())
        return true;
    const QString lockFile = LockFilePath(path);
    QMutexLocker locker(&HeldLocksMutex());
    Held& held = HeldLocks()[lockFile];
    if (held.count > 0) {
        ++held.count;
        m_lockFile = lockFile;
        return true;
    }
    const QByteArray folder = QFile::encodeName(QFileInfo(lockFile).absolutePath());
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST) {
        HeldLocks().remove(lockFile);
        return fail(QStringLiteral("cannot be locked: ") + SystemReason(errno));
    }
    struct stat info {};
    // A folder someone else made in a shared place is not trusted.
    if (::stat(folder.constData(), &info) != 0 || info.st_uid != ::getuid()) {
        HeldLocks().remove(lockFile);
        return fail(QStringLiteral("cannot be locked: the lock folder %1 is not the user's")
                        .arg(QFile::decodeName(folder)));
    }
    const int fd = ::open(QFile::encodeName(lockFile).constData(),
                          O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        HeldLocks().remove(lockFile);
        return fail(QStringLiteral("cannot be locked: ") + SystemReason(errno));
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            const int code = errno;
            ::close(fd);
            HeldLocks().remove(lockFile);
            return fail(QStringLiteral("cannot be locked: ") + SystemReason(code));
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            HeldLocks().remove(lockFile);
            return fail(QStringLiteral("locked by another program"));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    held.fd = fd;
    held.count = 1;
    m_lockFile = lockFile;
    return true;
}

void FeedLock::Release() {
    if (!IsHeld())
        return;
    QMutexLocker locker(&HeldLocksMutex());
    auto it = HeldLocks().find(m_lockFile);
    if (it != HeldLocks().end() && --it->count <= 0) {
        // The file stays: removing it could let a waiter lock a name another
        // program is about to recreate.
        ::close(it->fd);
        HeldLocks().erase(it);
    }
    m_lockFile.clear();
}
