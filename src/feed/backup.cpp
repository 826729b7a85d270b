#include "backup.h"

#include "platform/folders.h"
#include "rssdate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString GetBackupFolder(const QString& feedPath) {
    const QString fallback = QFileInfo(feedPath).absolutePath();
    const QString dataFolder = UserDataFolder();
    if (dataFolder.isEmpty())
        return fallback;
    const QString folder = dataFolder + QStringLiteral("/Orvan_Backup");
    if (IsDirectory(folder))
        return folder;
    return EnsureFolder(folder) ? folder : fallback;
}

QString BackupStamp(const QDateTime& local) {
    QString stamp = LocaleStamp(local);
    for (QChar& c : stamp) {
        if (c == QLatin1Char('.') || c == QLatin1Char(' '))
            c = QLatin1Char('_');
        else if (c == QLatin1Char(':') || c == QLatin1Char('/') || c == QChar(0) ||
                 c == QLatin1Char('\\'))
            c = QLatin1Char('-');
        else if (c.isSpace())
            c = QLatin1Char('_');
    }
    return stamp;
}

QString BackupFileName(const QString& feedPath, const QDateTime& local) {
    const QString name = QFileInfo(feedPath).fileName();
    // The extension is the part from the last dot on; a leading dot (a hidden
    // file) belongs to the name.
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? name.left(dot) : name;
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    return base + BackupStamp(local) + extension + QStringLiteral(".bak");
}

bool MakeBackup(const QString& feedPath) {
    if (!QFileInfo(feedPath).isFile())
        return false;
    const QString target = GetBackupFolder(feedPath) + QLatin1Char('/') +
                           BackupFileName(feedPath, QDateTime::currentDateTime());
    if (QFileInfo::exists(target) && !QFile::remove(target))
        return false;
    return QFile::copy(feedPath, target);
}

bool IsDirectory(const QString& path) {
    if (path.isEmpty())
        return false;
    QString trimmed = path;
    if (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    return QFileInfo(trimmed).isDir();
}
