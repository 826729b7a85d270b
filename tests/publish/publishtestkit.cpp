#include "publishtestkit.h"

#include "publish/knownhosts.h"

#include <QRandomGenerator>

using namespace Qt::StringLiterals;

QByteArray Payload(qint64 size, char seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(quint32(seed) * 7919u);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char('a' + random.bounded(26));
    if (size > 0)
        bytes[0] = seed;
    return bytes;
}

QString TestTarget::urlBase() const {
    const QString port = server ? QString::number(server->port()) : QString();
    if (kind == u"sftp")
        // No user: the local one, as ssh does.
        return u"sftp://127.0.0.1:"_s + port + server->root() + u"/site/"_s;
    if (kind == u"ftp" || kind == u"ftp-tls")
        return u"ftp://publisher@127.0.0.1:"_s + port + u"/site/"_s;
    if (kind == u"ftps")
        return u"ftps://publisher@127.0.0.1:"_s + port + u"/site/"_s;
    if (kind == u"webdav")
        return u"https://publisher@127.0.0.1:"_s + port + u"/site/"_s;
    return QUrl::fromLocalFile(local.path() + u"/site/"_s).toString();
}

bool TestTarget::start(const QString& kind_, const QString& fileName) {
    kind = kind_;
    password = u"secret"_s;
    bool ok = true;
    if (kind == u"sftp") {
        auto ssh = std::make_unique<SshServer>();
        ok = ssh->start();
        server = std::move(ssh);
    } else if (kind.startsWith(u"ftp")) {
        auto ftp = std::make_unique<FtpServer>();
        ok = ftp->start(kind == u"ftp"       ? FtpServer::Tls::None
                        : kind == u"ftp-tls" ? FtpServer::Tls::Explicit
                                             : FtpServer::Tls::Implicit);
        server = std::move(ftp);
    } else if (kind == u"webdav") {
        auto dav = std::make_unique<DavServer>();
        ok = dav->start();
        server = std::move(dav);
    }
    if (!ok) {
        qWarning().noquote() << kind
                             << "server did not start:" << (server ? server->log() : QString());
        return false;
    }
    QDir().mkpath(siteFolder());
    QString why;
    if (!destination.Parse(urlBase() + QString::fromLatin1(QUrl::toPercentEncoding(fileName)),
                           QString(), &why)) {
        qWarning().noquote() << why;
        return false;
    }
    destination.requireTls = kind == u"ftp-tls";
    if (kind == u"ftp-tls" || kind == u"ftps" || kind == u"webdav")
        destination.caFile = server->folder() + u"/cert.pem"_s;
    if (kind == u"sftp") {
        auto* ssh = static_cast<SshServer*>(server.get());
        destination.keyFile = ssh->clientKey();
        knownHosts = local.path() + u"/known_hosts"_s;
        const QList<QByteArray> pub = ReadAll(ssh->hostKey() + u".pub"_s).split(' ');
        AddKnownHost(knownHosts, KnownHostName(u"127.0.0.1"_s, ssh->port()),
                     QByteArray::fromBase64(pub.value(1)));
    }
    return true;
}
