#include "publish/remoteserverprivate.h"

#include "publish/knownhosts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <pwd.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Connecting may take this long; after that a transfer is given up only when
// it crawls (under 1 KB/s for 30 s), so large media files may take hours.
constexpr long kConnectTimeoutSeconds = 15;
constexpr long kLowSpeedBytes = 1024;
constexpr long kLowSpeedSeconds = 30;

QString LocalUserName() {
    if (const passwd* pw = getpwuid(geteuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

} // namespace

RemoteServer::Private::Private(const PublishDestination& destination_, PublishHooks& hooks_)
    : destination(destination_), hooks(hooks_), knownHosts(DefaultKnownHostsFile()) {}

int RemoteServer::Private::OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* self) {
    if (type != CURLINFO_HEADER_IN)
        return 0;
    auto* d = static_cast<Private*>(self);
    const QString line = QString::fromUtf8(data, qsizetype(size)).trimmed();
    // FTP answers and HTTP status lines; other HTTP headers say nothing of the outcome.
    if (!line.isEmpty() && (line.at(0).isDigit() || line.startsWith(u"HTTP/")))
        d->lastReply = line;
    return 0;
}

int RemoteServer::Private::OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t,
                                      curl_off_t ulnow) {
    auto* d = static_cast<Private*>(self);
    if (!d->reporting)
        return 0;
    PublishProgress p = d->progress;
    p.sent += qint64(ulnow);
    curl_off_t speed = 0;
    curl_easy_getinfo(d->curl, CURLINFO_SPEED_UPLOAD_T, &speed);
    p.bytesPerSecond = double(speed);
    if (!d->hooks.progress(p)) {
        d->cancelled = true;
        return 1;
    }
    return 0;
}

size_t RemoteServer::Private::OnRead(char* buffer, size_t size, size_t count, void* self) {
    auto* d = static_cast<Private*>(self);
    const qint64 n = d->source->read(buffer, qint64(size * count));
    return n < 0 ? size_t(CURL_READFUNC_ABORT) : size_t(n);
}

int RemoteServer::Private::OnSeek(void* self, curl_off_t offset, int origin) {
    // An HTTP server that asks for credentials after the body has started
    // makes the library send it again from the start.
    auto* d = static_cast<Private*>(self);
    if (origin != SEEK_SET || !d->source->seek(qint64(offset)))
        return CURL_SEEKFUNC_CANTSEEK;
    return CURL_SEEKFUNC_OK;
}

size_t RemoteServer::Private::OnWrite(char* data, size_t size, size_t count, void* self) {
    auto* d = static_cast<Private*>(self);
    const size_t n = size * count;
    if (!d->sink)
        return n;
    if (d->sink->size() + qint64(n) > d->sinkCap) {
        d->sinkOverflow = true;
        return 0;
    }
    d->sink->append(data, qsizetype(n));
    return n;
}

int RemoteServer::Private::OnHostKey(CURL*, const curl_khkey*, const curl_khkey* found,
                                     curl_khmatch match, void* self) {
    auto* d = static_cast<Private*>(self);
    if (match == CURLKHMATCH_OK)
        return CURLKHSTAT_FINE;
    const QByteArray blob = found->len ? QByteArray(found->key, qsizetype(found->len))
                                       : QByteArray::fromBase64(QByteArray(found->key));
    HostKeyInfo info;
    info.hostName = KnownHostName(d->destination.url().host(), d->destination.url().port(22));
    info.keyType = SshKeyType(blob);
    info.fingerprint = SshKeyFingerprint(blob);
    info.knownHostsFile = d->knownHosts;
    if (match == CURLKHMATCH_MISMATCH) {
        d->hostKeyProblem =
            u"WARNING: the key of "_s + info.hostName + u" has changed (it is now "_s +
            info.keyType + u' ' + info.fingerprint +
            u"). Someone may be intercepting the connection, or the server's key was "
            "replaced. Nothing was sent. If the change is expected, remove the server's "
            "old line from "_s +
            d->knownHosts;
        return CURLKHSTAT_REJECT;
    }
    if (!d->hooks.acceptNewHostKey(info)) {
        d->hostKeyProblem = u"the server "_s + info.hostName +
                            u" is not in the known hosts and its key was not accepted ("_s +
                            info.keyType + u' ' + info.fingerprint + u')';
        return CURLKHSTAT_REJECT;
    }
    // Added by us, not by the library: its own writing rewrites the whole
    // file and drops the user's comments.
    QString why;
    if (!AddKnownHost(d->knownHosts, info.hostName, blob, &why)) {
        d->hostKeyProblem = u"cannot add the server's key: "_s + why;
        return CURLKHSTAT_REJECT;
    }
    return CURLKHSTAT_FINE;
}

bool RemoteServer::Private::begin(const QUrl& url, QString& error) {
    curl_easy_reset(curl);
    lastReply.clear();
    hostKeyProblem.clear();
    errorBuffer[0] = 0;
    cancelled = false;
    reporting = false;
    source = nullptr;
    sink = nullptr;
    sinkOverflow = false;

    // The library copies every string it is given.
    const QByteArray encoded = url.toEncoded(QUrl::RemoveUserInfo);
    curl_easy_setopt(curl, CURLOPT_URL, encoded.constData());
    const QByteArray scheme = url.scheme().toLower().toLatin1();
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, scheme.constData());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, kLowSpeedBytes);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kLowSpeedSeconds);
    // The server's answers are read from the protocol trace.
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, &Private::OnDebug);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, this);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &Private::OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Private::OnWrite);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);

    QString user = destination.userName();
    // As ssh does: no user in the URL logs in as the local user.
    if (user.isEmpty() && isSftp())
        user = LocalUserName();
    if (!user.isEmpty())
        curl_easy_setopt(curl, CURLOPT_USERNAME, user.toUtf8().constData());
    if (password)
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password->toUtf8().constData());

    if (!destination.caFile.isEmpty()) {
        if (!caRead) {
            QFile file(destination.caFile);
            if (!file.open(QIODevice::ReadOnly)) {
                error = u"cannot read the CA file "_s + destination.caFile + u": "_s +
                        file.errorString();
                return false;
            }
            caBytes = file.readAll();
            caRead = true;
        }
        // Trusted beside the system's certificates, not instead of them.
        curl_blob blob{caBytes.data(), size_t(caBytes.size()), CURL_BLOB_COPY};
        curl_easy_setopt(curl, CURLOPT_CAINFO_BLOB, &blob);
    }

    switch (destination.protocol()) {
    case PublishProtocol::Ftp:
        curl_easy_setopt(curl, CURLOPT_USE_SSL,
                         destination.requireTls ? long(CURLUSESSL_ALL) : long(CURLUSESSL_NONE));
        break;
    case PublishProtocol::Ftps:
        curl_easy_setopt(curl, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
        break;
    case PublishProtocol::Sftp: {
        long auth = CURLSSH_AUTH_PUBLICKEY | CURLSSH_AUTH_AGENT;
        // Without a password, offering one would spend a login attempt on nothing.
        if (password)
            auth |= CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD;
        curl_easy_setopt(curl, CURLOPT_SSH_AUTH_TYPES, auth);
        const QString key = keyFile();
        if (!key.isEmpty()) {
            curl_easy_setopt(curl, CURLOPT_SSH_PRIVATE_KEYFILE, QFile::encodeName(key).constData());
            const QString pub = key + u".pub"_s;
            // Without the .pub file the public half is worked out from the key.
            curl_easy_setopt(curl, CURLOPT_SSH_PUBLIC_KEYFILE,
                             QFileInfo::exists(pub) ? QFile::encodeName(pub).constData() : "");
        }
        // Always set: without a known-hosts file the library checks no key at all.
        curl_easy_setopt(curl, CURLOPT_SSH_KNOWNHOSTS, QFile::encodeName(knownHosts).constData());
        curl_easy_setopt(curl, CURLOPT_SSH_KEYFUNCTION, &Private::OnHostKey);
        curl_easy_setopt(curl, CURLOPT_SSH_KEYDATA, this);
        break;
    }
    case PublishProtocol::Https:
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, long(CURLAUTH_ANY));
        break;
    case PublishProtocol::File:
        break;
    }
    if (maxSpeed > 0)
        curl_easy_setopt(curl, CURLOPT_MAX_SEND_SPEED_LARGE, curl_off_t(maxSpeed));
    return true;
}

QString RemoteServer::Private::keyFile() const {
    if (!destination.keyFile.isEmpty())
        return destination.keyFile;
    for (const char16_t* name : {u"id_ed25519", u"id_rsa"}) {
        const QString path = QDir::homePath() + u"/.ssh/"_s + QString::fromUtf16(name);
        if (QFileInfo::exists(path))
            return path;
    }
    return QString();
}

long RemoteServer::Private::responseCode() const {
    long code = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
    return code;
}

RemoteServer::RemoteServer(const PublishDestination& destination, PublishHooks& hooks)
    : d(std::make_unique<Private>(destination, hooks)) {
    if (destination.protocol() != PublishProtocol::File)
        d->curl = curl_easy_init();
}

RemoteServer::~RemoteServer() {
    if (d->curl)
        curl_easy_cleanup(d->curl);
}

void RemoteServer::setPassword(const std::optional<QString>& password) {
    d->password = password;
}

void RemoteServer::setKnownHostsFile(const QString& file) {
    if (!file.isEmpty())
        d->knownHosts = file;
}

void RemoteServer::setMaxSendSpeed(qint64 bytesPerSecond) {
    d->maxSpeed = bytesPerSecond;
}
