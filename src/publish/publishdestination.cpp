#include "publish/publishdestination.h"

using namespace Qt::StringLiterals;

namespace {

bool Fail(QString* error, const QString& reason) {
    if (error)
        *error = reason;
    return false;
}

} // namespace

bool PublishDestination::Parse(const QString& text, const QString& fileName, QString* error) {
    m_url = QUrl();
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return Fail(error, u"no destination is set"_s);
    // Tolerant: a blank typed in a name becomes %20 instead of a refusal.
    QUrl url(trimmed, QUrl::TolerantMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return Fail(error, u"not a valid URL: "_s + trimmed);
    const QString scheme = url.scheme().toLower();
    PublishProtocol protocol;
    if (scheme == u"sftp")
        protocol = PublishProtocol::Sftp;
    else if (scheme == u"ftp")
        protocol = PublishProtocol::Ftp;
    else if (scheme == u"ftps")
        protocol = PublishProtocol::Ftps;
    else if (scheme == u"https")
        protocol = PublishProtocol::Https;
    else if (scheme == u"file")
        protocol = PublishProtocol::File;
    else
        return Fail(error, u"cannot publish to a "_s + scheme +
                               u": URL (use sftp, ftp, ftps, https or file)"_s);
    if (!url.password().isEmpty())
        return Fail(error, u"the URL holds a password; give it when asked (or in "
                           "ORVAN_PASSWORD) so it is never written down"_s);
    if (protocol == PublishProtocol::File) {
        if (!url.host().isEmpty() && url.host() != u"localhost")
            return Fail(error, u"a file: URL must name a folder on this machine"_s);
        url.setHost(QString());
    } else if (url.host().isEmpty()) {
        return Fail(error, u"the URL names no server: "_s + trimmed);
    }
    url.setQuery(QString());
    url.setFragment(QString());
    QString path = url.path(QUrl::FullyDecoded);
    if (path.isEmpty())
        path = u"/"_s;
    if (path.endsWith(u'/')) {
        if (fileName.isEmpty() || fileName.contains(u'/'))
            return Fail(error, u"the URL names a folder, not a file: "_s + trimmed);
        path += fileName;
    }
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    if (name == u"." || name == u"..")
        return Fail(error, u"the URL names no file: "_s + trimmed);
    url.setPath(path, QUrl::DecodedMode);
    m_url = url;
    m_protocol = protocol;
    return true;
}

QString PublishDestination::fileName() const {
    const QString path = m_url.path(QUrl::FullyDecoded);
    return path.mid(path.lastIndexOf(u'/') + 1);
}

QString PublishDestination::folderPath() const {
    const QString path = m_url.path(QUrl::FullyDecoded);
    return path.left(path.lastIndexOf(u'/') + 1);
}

QUrl PublishDestination::sibling(const QString& name) const {
    QUrl url = m_url;
    url.setPath(folderPath() + name, QUrl::DecodedMode);
    return url;
}

QString PublishDestination::credentialKey() const {
    QUrl key;
    key.setScheme(m_url.scheme().toLower());
    key.setUserName(m_url.userName());
    key.setHost(m_url.host());
    key.setPort(m_url.port());
    return key.toString();
}

QString UploadTempName(const QString& name) {
    return u"."_s + name + u".orvan-upload"_s;
}

QString UploadOldName(const QString& name) {
    return u"."_s + name + u".orvan-old"_s;
}
