// Time-stamped copies of feed files made before a save overwrites them.
// Every save leaves a backup of its own: the name carries the time, a hash of
// the feed's folder (two feeds of one name in different folders never share
// a name) and, when that name is taken, a counter; a backup is never replaced.
#pragma once

#include <QDateTime>
#include <QString>

// $XDG_DATA_HOME/Orvan_Backup (created when missing), or the feed's own
// folder when that cannot be used. No trailing separator.
QString GetBackupFolder(const QString& feedPath);
// The locale stamp with every character that cannot stand in a file name,
// and ".", " ", ":", replaced ("." and " " by "_", the rest by "-").
QString BackupStamp(const QDateTime& local);
// Name of the first backup of feedPath at the given time: base name, stamp,
// extension, "-", eight hexadecimal digits of a hash of the feed's folder,
// ".bak" (no folder). Later backups of the same second add "-2", "-3" ...
// before ".bak".
QString BackupFileName(const QString& feedPath, const QDateTime& local);
// The eight hexadecimal digits naming the feed's folder in its backups.
QString BackupFolderTag(const QString& feedPath);
// Copies the feed file into the backup folder under a name no backup has
// yet, then keeps only the newest backups of this feed ("BackupsPerFeed" in
// Settings.ini, 20 unless set; 0 keeps all). False, with the reason and
// nothing left behind, when the copy could not be made whole.
bool MakeBackup(const QString& feedPath, QString* error = nullptr, QString* backupPath = nullptr);
// Deletes all but the newest keep backups of the feed in folder (0 keeps all).
void PruneBackups(const QString& folder, const QString& feedPath, int keep);
// How many backups of each feed are kept.
int BackupsPerFeed();
// True when the path, with one trailing "/" removed, names a directory.
bool IsDirectory(const QString& path);
