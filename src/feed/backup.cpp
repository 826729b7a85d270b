#include "backup.h"

#include "platform/atomicfile.h"
#include "platform/folders.h"
#include "platform/readfile.h"
#include "platform/settingsfile.h"
#include "rssdate.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct NameParts {
    QString base;
    QString extension;
};

// The extension is the part from the last dot on; a leading dot (a hidden
// file) belongs to the name.
NameParts SplitName(const QString& feedPath) {
    const QString name = QFileInfo(feedPath).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return {dot > 0 ? name.left(dot) : name, dot > 0 ? name.mid(dot) : QString()};
}

// The backup name without ".bak": base, stamp, extension, "-", folder tag.
QString BackupStem(const QString& feedPath, const QDateTime& local) {
    const NameParts parts = SplitName(feedPath);
    return parts.base + BackupStamp(local) + parts.extension + u'-' + BackupFolderTag(feedPath);
}

bool Fail(QString* error, const QString& reason) {
    if (error)
        *error = reason;
    return false;
}

} // namespace

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

QString BackupFolderTag(const QString& feedPath) {
    const QFileInfo folder(QFileInfo(feedPath).absolutePath());
    const QString canonical = folder.canonicalFilePath();
    const QByteArray digest = QCryptographicHash::hash(
        (canonical.isEmpty() ? folder.absoluteFilePath() : canonical).toUtf8(),
        QCryptographicHash::Sha1);
    return QString::fromLatin1(digest.left(4).toHex());
}

QString BackupFileName(const QString& feedPath, const QDateTime& local) {
    return BackupStem(feedPath, local) + QStringLiteral(".bak");
}

int BackupsPerFeed() {
    return std::max(0, ReadProfileNumber(SettingsIniPath(), QStringLiteral("Settings"),
                                         QStringLiteral("BackupsPerFeed"), 20));
}

bool MakeBackup(const QString& feedPath, QString* error, QString* backupPath) {
    FileBytes bytes;
    QString reason;
    if (!ReadRegularFile(ResolveSymbolicLinks(feedPath), 0, bytes, reason))
        return Fail(error, QStringLiteral("the file to back up cannot be read: ") + reason);
    const QString folder = GetBackupFolder(feedPath);
    // The time goes into the name and, to the second, into the file's date,
    // which is how pruning knows the backups of this feed from others.
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime second = QDateTime::fromSecsSinceEpoch(now.toSecsSinceEpoch());
    const QString stem = folder + u'/' + BackupStem(feedPath, second);
    // Counters only grow within a second, even where pruning freed a lower
    // one, so the newest backup always has the highest.
    int first = 1;
    const QString stemName = QFileInfo(stem).fileName();
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden)) {
        if (!name.startsWith(stemName) || !name.endsWith(QStringLiteral(".bak")))
            continue;
        const QString rest = name.mid(stemName.size()).chopped(4);
        bool number = false;
        const int counter = rest.isEmpty()          ? 1
                            : rest.startsWith(u'-') ? rest.mid(1).toInt(&number)
                                                    : 0;
        if (rest.isEmpty() || number)
            first = std::max(first, counter + 1);
    }
    QString target;
    int fd = -1;
    for (int counter = first; counter < first + 10000 && fd < 0; ++counter) {
        target = stem + (counter == 1 ? QString() : QStringLiteral("-%1").arg(counter)) +
                 QStringLiteral(".bak");
        // O_EXCL: a name another save took a moment ago is never reused.
        fd = ::open(QFile::encodeName(target).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                    0600);
        if (fd < 0 && errno != EEXIST)
            return Fail(error, QStringLiteral("%1: %2").arg(folder, SystemReason(errno)));
    }
    if (fd < 0)
        return Fail(error,
                    QStringLiteral("%1: every backup name of this second is taken").arg(folder));
    if (!WriteAllBytes(fd, bytes.data.get(), bytes.size) || ::fsync(fd) != 0) {
        const int code = errno;
        ::close(fd);
        ::unlink(QFile::encodeName(target).constData());
        return Fail(error, QStringLiteral("%1: %2").arg(folder, SystemReason(code)));
    }
    const struct timespec times[2] = {{second.toSecsSinceEpoch(), 0},
                                      {second.toSecsSinceEpoch(), 0}};
    ::futimens(fd, times);
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(QFile::encodeName(target).constData());
        return Fail(error, QStringLiteral("%1: %2").arg(folder, SystemReason(code)));
    }
    if (backupPath)
        *backupPath = target;
    PruneBackups(folder, feedPath, BackupsPerFeed());
    return true;
}

void PruneBackups(const QString& folder, const QString& feedPath, int keep) {
    if (keep <= 0)
        return;
    const NameParts parts = SplitName(feedPath);
    const QString ending = parts.extension + u'-' + BackupFolderTag(feedPath);
    struct Backup {
        QString path;
        qint64 seconds;
        int counter;
    };
    std::vector<Backup> backups;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({parts.base + u'*' + ending + QStringLiteral("*.bak")},
                                             QDir::Files | QDir::Hidden)) {
        QString stem = name.chopped(4);
        int counter = 1;
        const qsizetype dash = stem.lastIndexOf(u'-');
        if (!stem.endsWith(ending) && dash > 0) {
            bool number = false;
            counter = stem.mid(dash + 1).toInt(&number);
            if (!number || counter < 2)
                continue;
            stem.truncate(dash);
        }
        if (!stem.endsWith(ending))
            continue;
        // Only a name this feed's backups would have had at the file's time
        // counts: a feed whose name starts with this one's is left alone.
        const qint64 seconds = QFileInfo(dir.filePath(name)).lastModified().toSecsSinceEpoch();
        if (BackupStem(feedPath, QDateTime::fromSecsSinceEpoch(seconds)) != stem)
            continue;
        backups.push_back({dir.filePath(name), seconds, counter});
    }
    if (static_cast<int>(backups.size()) <= keep)
        return;
    std::sort(backups.begin(), backups.end(), [](const Backup& a, const Backup& b) {
        return a.seconds != b.seconds ? a.seconds > b.seconds : a.counter > b.counter;
    });
    for (size_t i = static_cast<size_t>(keep); i < backups.size(); ++i)
        QFile::remove(backups[i].path);
}

bool IsDirectory(const QString& path) {
    if (path.isEmpty())
        return false;
    QString trimmed = path;
    if (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    return QFileInfo(trimmed).isDir();
}
