#include "testservers.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <csignal>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

bool WriteText(const QString& path, const QString& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(text.toUtf8()) == text.toUtf8().size();
}

bool RunTool(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// Every process below pid (pid included), found through /proc.
QList<qint64> ProcessTree(qint64 pid) {
    QHash<qint64, QList<qint64>> children;
    const QStringList entries = QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool number = false;
        const qint64 child = entry.toLongLong(&number);
        if (!number)
            continue;
        QFile stat(u"/proc/"_s + entry + u"/stat"_s);
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        // "pid (name) state ppid ...": the name may hold blanks and parentheses.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            children[fields.at(1).toLongLong()].append(child);
    }
    QList<qint64> tree{pid};
    for (qsizetype i = 0; i < tree.size(); ++i)
        tree += children.value(tree.at(i));
    return tree;
}

} // namespace

int FreePort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

bool MakeCertificate(const QString& folder) {
    return RunTool(u"openssl"_s, {u"req"_s, u"-x509"_s, u"-newkey"_s, u"rsa:2048"_s, u"-nodes"_s,
                                  u"-days"_s, u"2"_s, u"-subj"_s, u"/CN=127.0.0.1"_s, u"-addext"_s,
                                  u"subjectAltName=IP:127.0.0.1"_s, u"-keyout"_s,
                                  folder + u"/key.pem"_s, u"-out"_s, folder + u"/cert.pem"_s});
}

bool MakeSshKey(const QString& file) {
    QFile::remove(file);
    QFile::remove(file + u".pub"_s);
    return RunTool(u"ssh-keygen"_s,
                   {u"-q"_s, u"-t"_s, u"ed25519"_s, u"-N"_s, QString(), u"-f"_s, file});
}

TestServer::TestServer() {
    QDir(m_dir.path()).mkpath(u"root"_s);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

TestServer::~TestServer() {
    kill();
}

void TestServer::kill() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    // Children first found, then all killed: sshd's session processes leave
    // its process group, and must die with it.
    for (qint64 pid : ProcessTree(m_process.processId()))
        ::kill(pid_t(pid), SIGKILL);
    m_process.waitForFinished(10000);
}

QString TestServer::log() const {
    return QString::fromUtf8(const_cast<QProcess&>(m_process).readAll());
}

bool TestServer::launch(const QString& program, const QStringList& args) {
    m_process.start(program, args);
    return m_process.waitForStarted(10000);
}

bool TestServer::waitForPort() {
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        if (m_process.state() == QProcess::NotRunning)
            return false;
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, quint16(m_port));
        if (socket.waitForConnected(500))
            return true;
        QThread::msleep(50);
    }
    return false;
}

bool SshServer::start(const QString& hostKey, int port) {
    m_port = port ? port : FreePort();
    m_hostKey = hostKey;
    if (m_hostKey.isEmpty()) {
        m_hostKey = folder() + u"/host_key"_s;
        if (!MakeSshKey(m_hostKey))
            return false;
    }
    if (!QFile::exists(clientKey()) && !MakeSshKey(clientKey()))
        return false;
    QFile::remove(folder() + u"/authorized_keys"_s);
    if (!QFile::copy(clientKey() + u".pub"_s, folder() + u"/authorized_keys"_s))
        return false;
    // sshd's privilege separation needs this folder when run by root.
    if (geteuid() == 0)
        QDir().mkpath(u"/run/sshd"_s);
    const QString config = folder() + u"/sshd_config"_s;
    WriteText(config, u"Port "_s + QString::number(m_port) +
                          u"\nListenAddress 127.0.0.1\nHostKey "_s + m_hostKey +
                          u"\nAuthorizedKeysFile "_s + folder() +
                          u"/authorized_keys\nPidFile none\nStrictModes no\nUsePAM no\n"
                          "PermitRootLogin yes\nPasswordAuthentication yes\n"
                          "KbdInteractiveAuthentication no\nSubsystem sftp internal-sftp\n"
                          "LogLevel ERROR\n"_s);
    return launch(u"/usr/sbin/sshd"_s, {u"-D"_s, u"-e"_s, u"-f"_s, config}) && waitForPort();
}

bool FtpServer::start(Tls tls) {
    m_port = FreePort();
    QStringList args = {QStringLiteral(ORVAN_TEST_SOURCE_DIR "/ftpserver.py"), u"--port"_s,
                        QString::number(m_port), u"--root"_s, root()};
    if (tls != Tls::None) {
        if (!MakeCertificate(folder()))
            return false;
        args += {u"--tls"_s,  tls == Tls::Explicit ? u"explicit"_s : u"implicit"_s,
                 u"--cert"_s, folder() + u"/cert.pem"_s,
                 u"--key"_s,  folder() + u"/key.pem"_s};
    }
    // Debian's interpreter, where python3-pyftpdlib is installed.
    return launch(u"/usr/bin/python3"_s, args) && waitForPort();
}

bool DavServer::start() {
    m_port = FreePort();
    if (!MakeCertificate(folder()))
        return false;
    const QString dir = folder();
    QDir(dir).mkpath(u"temp"_s);
    WriteText(dir + u"/htpasswd"_s, u"publisher:{PLAIN}secret\n"_s);
    const QString user = geteuid() == 0 ? u"user root;\n"_s : QString();
    WriteText(dir + u"/nginx.conf"_s,
              user + u"daemon off;\npid "_s + dir +
                  u"/nginx.pid;\nerror_log stderr;\n"
                  "events { worker_connections 64; }\nhttp {\n access_log off;\n"
                  " client_body_temp_path "_s +
                  dir + u"/temp;\n client_max_body_size 0;\n server {\n  listen 127.0.0.1:"_s +
                  QString::number(m_port) + u" ssl;\n  ssl_certificate "_s + dir +
                  u"/cert.pem;\n  ssl_certificate_key "_s + dir + u"/key.pem;\n  root "_s + root() +
                  u";\n  location / {\n   dav_methods PUT DELETE MKCOL MOVE;\n"
                  "   create_full_put_path on;\n   auth_basic \"publishing\";\n"
                  "   auth_basic_user_file "_s +
                  dir + u"/htpasswd;\n  }\n }\n}\n"_s);
    return launch(u"/usr/sbin/nginx"_s,
                  {u"-p"_s, dir, u"-e"_s, u"stderr"_s, u"-c"_s, dir + u"/nginx.conf"_s}) &&
           waitForPort();
}
