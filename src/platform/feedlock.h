// An advisory lock that keeps two programs from changing one feed at once.
// A save renames a new file over the feed, so the lock cannot be on the feed
// itself: it is on a small file of its own, named after the feed's canonical
// path, under $XDG_RUNTIME_DIR (else the temporary folder). Locks taken in
// one process nest: the second and later holders share the first one's.
#pragma once

#include <QString>

class FeedLock final {
public:
    FeedLock() = default;
    ~FeedLock() { Release(); }
    FeedLock(const FeedLock&) = delete;
    FeedLock& operator=(const FeedLock&) = delete;

    // Waits up to timeoutMs for the lock of the feed at path (which need not
    // exist yet). False, with the reason, when another program still holds
    // it ("locked by another program") or the lock file cannot be made.
    bool Acquire(const QString& path, int timeoutMs, QString* error = nullptr);
    void Release();
    bool IsHeld() const { return !m_lockFile.isEmpty(); }

    // The lock file of the feed at path.
    static QString LockFilePath(const QString& path);

private:
    QString m_lockFile;
};

// How long orvanctl and the editor wait for another program's lock.
constexpr int kFeedLockWaitMs = 10000;
