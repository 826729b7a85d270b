// What the publishing tests share: a destination of each kind on a real
// server, and hooks that answer as a test tells them.
#pragma once

#include "publish/publishdestination.h"
#include "publish/publisher.h"
#include "testservers.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

class TestHooks final : public PublishHooks {
public:
    // Given in turn when a password is asked; nothing once they run out.
    QStringList passwords;
    int passwordAsked = 0;
    bool acceptHost = false;
    int hostAsked = 0;
    HostKeyInfo lastHost;
    std::function<bool(const PublishProgress&)> onProgress;
    PublishProgress last;
    QString accepted;

    bool progress(const PublishProgress& p) override {
        last = p;
        return onProgress ? onProgress(p) : true;
    }
    bool acceptNewHostKey(const HostKeyInfo& key) override {
        ++hostAsked;
        lastHost = key;
        return acceptHost;
    }
    std::optional<QString> password(const PublishDestination&, bool) override {
        if (passwordAsked >= passwords.size())
            return std::nullopt;
        return passwords.at(passwordAsked++);
    }
    void passwordAccepted(const PublishDestination&, const QString& password) override {
        accepted = password;
    }
};

// One destination of a kind ("sftp", "ftp", "ftp-tls", "ftps", "webdav",
// "file") in the folder "site" of a fresh server.
struct TestTarget {
    std::unique_ptr<TestServer> server;
    QTemporaryDir local;
    PublishDestination destination;
    QString password;
    QString knownHosts;
    QString kind;

    // The folder the server serves "site" from, on this machine.
    QString siteFolder() const {
        return (server ? server->root() : local.path()) + QStringLiteral("/site");
    }
    QString remoteFile() const { return siteFolder() + u'/' + destination.fileName(); }
    QString urlBase() const;

    bool start(const QString& kind, const QString& fileName);
};

inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool WriteAll(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// Files our uploads leave only while they run.
inline QStringList Leftovers(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*.orvan-*")}, QDir::Files | QDir::Hidden);
}

// Bytes that differ from run to run, so a stale copy never passes for new.
QByteArray Payload(qint64 size, char seed);
