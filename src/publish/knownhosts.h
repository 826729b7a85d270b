// The SSH client's list of known server keys (~/.ssh/known_hosts): how a
// server is named in it, how a key is shown to a person, and adding a server.
#pragma once

#include <QByteArray>
#include <QString>

// ~/.ssh/known_hosts.
QString DefaultKnownHostsFile();

// "host" on the standard port 22, "[host]:port" on any other.
QString KnownHostName(const QString& host, int port);

// The key type named inside an SSH public key blob ("ssh-ed25519", ...);
// empty when the blob is malformed.
QString SshKeyType(const QByteArray& blob);

// "SHA256:" and the unpadded base64 of the blob's SHA-256, as ssh shows keys.
QString SshKeyFingerprint(const QByteArray& blob);

// Appends "NAME TYPE BASE64" as a line of its own. The file is replaced in
// one step with its old lines (comments included) kept, so a crash cannot
// leave it half written and no other line is touched; its folder is made
// (mode 0700) when missing.
bool AddKnownHost(const QString& file, const QString& hostName, const QByteArray& blob,
                  QString* error = nullptr);
