#include "publish/knownhosts.h"

#include "platform/atomicfile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

QString DefaultKnownHostsFile() {
    return QDir::homePath() + u"/.ssh/known_hosts"_s;
}

QString KnownHostName(const QString& host, int port) {
    if (port <= 0 || port == 22)
        return host;
    return u"["_s + host + u"]:"_s + QString::number(port);
}

QString SshKeyType(const QByteArray& blob) {
    // The blob opens with its type as an SSH string: a 32-bit big-endian
    // length, then the name.
    if (blob.size() < 4)
        return QString();
    const auto* p = reinterpret_cast<const unsigned char*>(blob.constData());
    const quint32 length =
        (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
    if (length == 0 || length > 64 || length > quint32(blob.size() - 4))
        return QString();
    const QByteArray name = blob.mid(4, length);
    for (char c : name) {
        if (c <= ' ' || c > '~')
            return QString();
    }
    return QString::fromLatin1(name);
}

QString SshKeyFingerprint(const QByteArray& blob) {
    const QByteArray digest = QCryptographicHash::hash(blob, QCryptographicHash::Sha256);
    return u"SHA256:"_s + QString::fromLatin1(digest.toBase64(QByteArray::OmitTrailingEquals));
}

bool AddKnownHost(const QString& file, const QString& hostName, const QByteArray& blob,
                  QString* error) {
    const QString type = SshKeyType(blob);
    if (type.isEmpty() || hostName.isEmpty() || hostName.contains(u' ')) {
        if (error)
            *error = u"the server's key cannot be written down"_s;
        return false;
    }
    const QString folder = QFileInfo(file).absolutePath();
    if (!QFileInfo::exists(folder)) {
        if (!QDir().mkpath(folder)) {
            if (error)
                *error = u"cannot create the folder "_s + folder;
            return false;
        }
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QByteArray bytes;
    QFile current(file);
    if (current.exists()) {
        if (!current.open(QIODevice::ReadOnly)) {
            if (error)
                *error = file + u": "_s + current.errorString();
            return false;
        }
        bytes = current.readAll();
        current.close();
    }
    if (!bytes.isEmpty() && !bytes.endsWith('\n'))
        bytes += '\n';
    bytes += hostName.toUtf8() + ' ' + type.toLatin1() + ' ' + blob.toBase64() + '\n';
    QString why;
    if (!WriteFileAtomically(file, bytes, &why)) {
        if (error)
            *error = file + u": "_s + why;
        return false;
    }
    return true;
}
