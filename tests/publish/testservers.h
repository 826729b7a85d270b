// Real servers on 127.0.0.1 for the publishing tests, each run from a
// temporary folder with a configuration of its own and stopped (with every
// process it started) when the object goes away.
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A port nobody listens on right now.
int FreePort();
// A self-signed certificate for 127.0.0.1 (cert.pem, key.pem in folder);
// cert.pem is also the CA file that trusts it.
bool MakeCertificate(const QString& folder);
// An ed25519 key pair (file, file.pub) without a passphrase.
bool MakeSshKey(const QString& file);

class TestServer {
public:
    virtual ~TestServer();
    // Kills the server and every process it started, at once (SIGKILL), as a
    // crash or a pulled cable would.
    void kill();
    int port() const { return m_port; }
    // The folder the server serves; its files are the remote files.
    QString root() const { return m_dir.path() + QStringLiteral("/root"); }
    QString folder() const { return m_dir.path(); }
    QString log() const;

protected:
    TestServer();
    bool launch(const QString& program, const QStringList& args);
    // Waits until the port takes connections.
    bool waitForPort();

    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
};

// OpenSSH's sshd with its own host key; the client key in clientKey() is authorized.
class SshServer final : public TestServer {
public:
    // hostKey: the server's key file; made when empty.
    bool start(const QString& hostKey = QString(), int port = 0);
    QString hostKey() const { return m_hostKey; }
    QString clientKey() const { return folder() + QStringLiteral("/client_key"); }

private:
    QString m_hostKey;
};

// pyftpdlib with one user ("publisher", password "secret").
class FtpServer final : public TestServer {
public:
    enum class Tls { None, Explicit, Implicit };
    bool start(Tls tls);
    QString caFile() const { return folder() + QStringLiteral("/cert.pem"); }
};

// nginx with WebDAV (PUT, DELETE, MOVE) over HTTPS, basic authentication
// ("publisher", password "secret").
class DavServer final : public TestServer {
public:
    bool start();
    QString caFile() const { return folder() + QStringLiteral("/cert.pem"); }
};
