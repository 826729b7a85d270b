// What an upload asks of the one who started it. Every call comes on the
// uploading thread and may block it: the editor answers through its GUI
// thread, orvanctl from its options and the terminal.
#pragma once

#include <QString>

#include <optional>

class PublishDestination;

struct PublishProgress final {
    // The file being sent, and where it is in the whole publication.
    QString fileName;
    int fileIndex = 0;
    int fileCount = 1;
    // Bytes of every file of the publication: sent so far, and all of them.
    qint64 sent = 0;
    qint64 total = 0;
    // Of the file being sent, as the network library measures it.
    double bytesPerSecond = 0;
};

struct HostKeyInfo final {
    // As the server is named in the known-hosts file: host or [host]:port.
    QString hostName;
    QString keyType;
    QString fingerprint;
    QString knownHostsFile;
};

class PublishHooks {
public:
    virtual ~PublishHooks() = default;
    // Progress of the transfer; false cancels it.
    virtual bool progress(const PublishProgress& progress) {
        (void)progress;
        return true;
    }
    // A server not in the known-hosts file: true trusts its key and adds it.
    virtual bool acceptNewHostKey(const HostKeyInfo& key) {
        (void)key;
        return false;
    }
    // The password for the destination's user, when the server wants one;
    // retry says the last one was refused. Nothing: give up.
    virtual std::optional<QString> password(const PublishDestination& destination, bool retry) {
        (void)destination;
        (void)retry;
        return std::nullopt;
    }
    // The server took this password: the one who asked may now keep it.
    virtual void passwordAccepted(const PublishDestination& destination, const QString& password) {
        (void)destination;
        (void)password;
    }
};
