// The requests of RemoteServer: replacing a remote file as atomically as each
// protocol allows, reading it back, and asking for its size and time.
#include "publish/remoteserverprivate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

class SList final {
public:
    SList() = default;
    ~SList() { curl_slist_free_all(m_list); }
    SList(const SList&) = delete;
    SList& operator=(const SList&) = delete;
    void append(const QString& line) {
        m_list = curl_slist_append(m_list, line.toUtf8().constData());
    }
    curl_slist* get() const { return m_list; }

private:
    curl_slist* m_list = nullptr;
};

// An SFTP command's argument, quoted so that blanks and quotes in names survive.
QString SftpArg(const QString& path) {
    QString quoted = path;
    quoted.replace(u'\\', u"\\\\"_s).replace(u'"', u"\\\""_s);
    return u'"' + quoted + u'"';
}

QString DecodedPath(const QUrl& url) {
    return url.path(QUrl::FullyDecoded);
}

QString NameOf(const QUrl& url) {
    const QString path = DecodedPath(url);
    return path.mid(path.lastIndexOf(u'/') + 1);
}

QUrl WithName(const QUrl& url, const QString& name) {
    const QString path = DecodedPath(url);
    QUrl result = url;
    result.setPath(path.left(path.lastIndexOf(u'/') + 1) + name, QUrl::DecodedMode);
    return result;
}

QString Shown(const QUrl& url) {
    return url.toDisplayString();
}

QString SystemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

bool RemoteServer::fail(Failure failure, const QString& error) {
    m_failure = failure;
    m_error = error;
    return false;
}

bool RemoteServer::run(const QString& action, const QUrl& url,
                       std::initializer_list<long> okCodes) {
    const CURLcode rc = curl_easy_perform(d->curl);
    d->lastCode = rc;
    const QString where = action + u' ' + Shown(url) + u": "_s;
    QString reply = d->lastReply;
    if (rc == CURLE_OK) {
        if (!d->isHttp())
            return true;
        const long code = d->responseCode();
        for (long ok : okCodes)
            if (code == ok)
                return true;
        if (reply.isEmpty())
            reply = u"HTTP "_s + QString::number(code);
        return fail(code == 401 || code == 403 ? Failure::Login : Failure::Other,
                    where + u"the server answered "_s + reply);
    }
    if (d->cancelled || rc == CURLE_ABORTED_BY_CALLBACK)
        return fail(Failure::Cancelled, where + u"cancelled"_s);
    if (!d->hostKeyProblem.isEmpty())
        return fail(Failure::HostKey, where + d->hostKeyProblem);
    QString reason = QString::fromUtf8(d->errorBuffer).trimmed();
    if (reason.isEmpty())
        reason = QString::fromUtf8(curl_easy_strerror(rc));
    if (d->sinkOverflow)
        reason = u"the file is larger than expected"_s;
    // Only a refusal explains a failure; "234 AUTH SSL successful" before a
    // certificate problem would only mislead.
    const bool refusal = reply.startsWith(u'4') || reply.startsWith(u'5');
    if (refusal && !reason.contains(reply))
        reason += u" (the server said: "_s + reply + u')';
    return fail(rc == CURLE_LOGIN_DENIED ? Failure::Login : Failure::Other, where + reason);
}

bool RemoteServer::sftpCommands(const QString& action, const QUrl& folder,
                                const QStringList& commands) {
    QString error;
    if (!d->begin(folder, error))
        return fail(Failure::Other, error);
    SList quote;
    for (const QString& command : commands)
        quote.append(command);
    curl_easy_setopt(d->curl, CURLOPT_QUOTE, quote.get());
    curl_easy_setopt(d->curl, CURLOPT_NOBODY, 1L);
    return run(action, folder);
}

void RemoteServer::removeQuietly(const QUrl& remote) {
    const Failure failure = m_failure;
    const QString error = m_error;
    QString ignored;
    SList quote;
    if (d->isHttp()) {
        if (d->begin(remote, ignored)) {
            curl_easy_setopt(d->curl, CURLOPT_CUSTOMREQUEST, "DELETE");
            run(u"remove"_s, remote, {200, 202, 204});
        }
    } else if (d->isSftp()) {
        sftpCommands(u"remove"_s, WithName(remote, QString()),
                     {u"rm "_s + SftpArg(DecodedPath(remote))});
    } else {
        // FTP: sent before any change of folder, so the path is the URL's
        // path as the server sees it from the login folder.
        QUrl root = remote;
        root.setPath(u"/"_s);
        if (d->begin(root, ignored)) {
            quote.append(u"DELE "_s + DecodedPath(remote).mid(1));
            curl_easy_setopt(d->curl, CURLOPT_QUOTE, quote.get());
            curl_easy_setopt(d->curl, CURLOPT_NOBODY, 1L);
            run(u"remove"_s, remote);
        }
    }
    m_failure = failure;
    m_error = error;
}

bool RemoteServer::replace(const QUrl& remote, QIODevice& source, qint64 size,
                           const PublishProgress& progress, bool createFolders) {
    m_failure = Failure::None;
    m_error.clear();
    if (d->destination.protocol() == PublishProtocol::File)
        return replaceLocal(remote, source, size, progress, createFolders);

    const QString name = NameOf(remote);
    const QUrl temp = WithName(remote, UploadTempName(name));
    QString error;
    if (!d->begin(temp, error))
        return fail(Failure::Other, error);
    if (!source.seek(0))
        return fail(Failure::Other, u"cannot read the file to send: "_s + source.errorString());
    d->source = &source;
    d->progress = progress;
    d->reporting = true;
    curl_easy_setopt(d->curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(d->curl, CURLOPT_READFUNCTION, &Private::OnRead);
    curl_easy_setopt(d->curl, CURLOPT_READDATA, d.get());
    curl_easy_setopt(d->curl, CURLOPT_SEEKFUNCTION, &Private::OnSeek);
    curl_easy_setopt(d->curl, CURLOPT_SEEKDATA, d.get());
    curl_easy_setopt(d->curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(size));
    if (createFolders && !d->isHttp())
        curl_easy_setopt(d->curl, CURLOPT_FTP_CREATE_MISSING_DIRS, long(CURLFTP_CREATE_DIR));
    SList after;
    if (d->isFtp()) {
        // On the same connection, in the file's folder, right after the upload.
        after.append(u"RNFR "_s + UploadTempName(name));
        after.append(u"RNTO "_s + name);
        curl_easy_setopt(d->curl, CURLOPT_POSTQUOTE, after.get());
    }
    if (!run(u"cannot upload to"_s, d->isFtp() ? remote : temp, {200, 201, 204})) {
        if (m_failure == Failure::Other || m_failure == Failure::Cancelled)
            removeQuietly(temp);
        return false;
    }
    d->reporting = false;
    if (d->isFtp())
        return true;

    if (d->isHttp()) {
        if (!d->begin(temp, error))
            return fail(Failure::Other, error);
        SList headers;
        headers.append(u"Destination: "_s +
                       QString::fromLatin1(remote.toEncoded(QUrl::RemoveUserInfo)));
        headers.append(u"Overwrite: T"_s);
        curl_easy_setopt(d->curl, CURLOPT_CUSTOMREQUEST, "MOVE");
        curl_easy_setopt(d->curl, CURLOPT_HTTPHEADER, headers.get());
        if (!run(u"cannot move the upload onto"_s, remote, {201, 204})) {
            removeQuietly(temp);
            return false;
        }
        return true;
    }

    // SFTP. OpenSSH's server will not rename onto an existing file, so the
    // old one steps aside first and comes back if the new one cannot take
    // its place.
    qint64 oldSize = 0;
    QDateTime oldTime;
    bool missing = false;
    const bool exists = stat(remote, oldSize, oldTime, missing);
    if (!exists && !missing) {
        removeQuietly(temp);
        return false;
    }
    // The commands run on the folder: a request on the file itself would
    // look at it afterwards and fail once it has been renamed.
    const QUrl folder = WithName(remote, QString());
    const QString target = SftpArg(DecodedPath(remote));
    const QString old = SftpArg(DecodedPath(WithName(remote, UploadOldName(name))));
    const QString uploaded = SftpArg(DecodedPath(temp));
    // Puts the old file back under its name when it is no longer there,
    // whatever step failed, keeping the first failure's reason.
    auto restore = [&] {
        const Failure failure = m_failure;
        const QString reason = m_error;
        qint64 size = 0;
        QDateTime time;
        bool gone = false;
        if (!stat(remote, size, time, gone) && gone)
            sftpCommands(u"cannot put back"_s, folder, {u"rename "_s + old + u' ' + target});
        m_failure = failure;
        m_error = reason;
        removeQuietly(temp);
        return false;
    };
    if (exists && !sftpCommands(u"cannot set the old file aside at"_s, folder,
                                {u"*rm "_s + old, u"rename "_s + target + u' ' + old}))
        return restore();
    if (!sftpCommands(u"cannot move the upload onto"_s, folder,
                      {u"rename "_s + uploaded + u' ' + target}))
        return exists ? restore() : (removeQuietly(temp), false);
    if (exists)
        sftpCommands(u"remove"_s, folder, {u"*rm "_s + old});
    m_failure = Failure::None;
    m_error.clear();
    return true;
}

bool RemoteServer::download(const QUrl& remote, qint64 cap, QByteArray& bytes) {
    m_failure = Failure::None;
    m_error.clear();
    bytes.clear();
    if (d->destination.protocol() == PublishProtocol::File) {
        QFile file(remote.toLocalFile());
        if (!file.open(QIODevice::ReadOnly))
            return fail(Failure::Other,
                        u"cannot read back "_s + Shown(remote) + u": "_s + file.errorString());
        bytes = file.read(cap + 1);
        if (bytes.size() > cap)
            return fail(Failure::Other, u"cannot read back "_s + Shown(remote) +
                                            u": the file is larger than expected"_s);
        return true;
    }
    QString error;
    if (!d->begin(remote, error))
        return fail(Failure::Other, error);
    d->sink = &bytes;
    d->sinkCap = cap;
    return run(u"cannot read back"_s, remote, {200});
}

bool RemoteServer::stat(const QUrl& remote, qint64& size, QDateTime& modified, bool& missing) {
    missing = false;
    size = -1;
    modified = QDateTime();
    if (d->destination.protocol() == PublishProtocol::File) {
        const QFileInfo info(remote.toLocalFile());
        if (!info.exists()) {
            missing = true;
            return false;
        }
        size = info.size();
        modified = info.lastModified();
        return true;
    }
    QString error;
    if (!d->begin(remote, error))
        return fail(Failure::Other, error);
    curl_easy_setopt(d->curl, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(d->curl, CURLOPT_FILETIME, 1L);
    const bool ok = run(u"cannot look at"_s, remote, {200});
    if (!ok) {
        // An FTP server that cannot enter the file's folder has no such file
        // either; the upload then makes the folder or says why it cannot.
        if (d->isHttp() ? d->responseCode() == 404
                        : d->lastCode == CURLE_REMOTE_FILE_NOT_FOUND ||
                              (d->isFtp() && d->lastCode == CURLE_REMOTE_ACCESS_DENIED)) {
            missing = true;
            m_failure = Failure::None;
            m_error.clear();
        }
        return false;
    }
    curl_off_t length = -1;
    curl_easy_getinfo(d->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    size = qint64(length);
    curl_off_t time = -1;
    curl_easy_getinfo(d->curl, CURLINFO_FILETIME_T, &time);
    if (time >= 0)
        modified = QDateTime::fromSecsSinceEpoch(qint64(time), Qt::UTC);
    return true;
}

bool RemoteServer::replaceLocal(const QUrl& remote, QIODevice& source, qint64 size,
                                const PublishProgress& progress, bool createFolders) {
    const QString target = remote.toLocalFile();
    const QFileInfo info(target);
    const QString folder = info.absolutePath();
    const QString shown = Shown(remote);
    if (createFolders && !QDir().mkpath(folder))
        return fail(Failure::Other, u"cannot create the folder "_s + folder);
    if (info.isDir())
        return fail(Failure::Other, u"cannot publish to "_s + shown + u": it is a folder"_s);
    const QString temp = folder + u'/' + UploadTempName(info.fileName());
    QFile out(temp);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(Failure::Other, u"cannot upload to "_s + shown + u": "_s + out.errorString());
    auto abandon = [&](Failure failure, const QString& reason) {
        out.close();
        QFile::remove(temp);
        return fail(failure, u"cannot upload to "_s + shown + u": "_s + reason);
    };
    if (!source.seek(0))
        return abandon(Failure::Other, u"cannot read the file to send"_s);
    QByteArray chunk(256 * 1024, Qt::Uninitialized);
    qint64 done = 0;
    while (done < size) {
        const qint64 n = source.read(chunk.data(), qMin<qint64>(chunk.size(), size - done));
        if (n <= 0)
            return abandon(Failure::Other,
                           u"cannot read the file to send: "_s + source.errorString());
        if (out.write(chunk.constData(), n) != n)
            return abandon(Failure::Other, out.errorString());
        done += n;
        PublishProgress p = progress;
        p.sent += done;
        if (!d->hooks.progress(p))
            return abandon(Failure::Cancelled, u"cancelled"_s);
    }
    // Every byte on disk before the name points at it.
    if (!out.flush() || ::fsync(out.handle()) != 0)
        return abandon(Failure::Other, out.errorString());
    out.close();
    if (::rename(QFile::encodeName(temp).constData(), QFile::encodeName(target).constData()) != 0) {
        const QString reason = SystemError();
        QFile::remove(temp);
        return fail(Failure::Other, u"cannot upload to "_s + shown + u": "_s + reason);
    }
    return true;
}
