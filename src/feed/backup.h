// Time-stamped copies of feed files made before a save overwrites them.
#pragma once

#include <QDateTime>
#include <QString>

// $XDG_DATA_HOME/Orvan_Backup (created when missing), or the feed's own
// folder when that cannot be used. No trailing separator.
QString GetBackupFolder(const QString& feedPath);
// The locale stamp with every character that cannot stand in a file name,
// and ".", " ", ":", replaced ("." and " " by "_", the rest by "-").
QString BackupStamp(const QDateTime& local);
// Name of the backup of feedPath at the given time: base name, stamp,
// extension, ".bak" (no folder).
QString BackupFileName(const QString& feedPath, const QDateTime& local);
// Copies the feed file into the backup folder, replacing a file of the same
// name. False when the copy failed.
bool MakeBackup(const QString& feedPath);
// True when the path, with one trailing "/" removed, names a directory.
bool IsDirectory(const QString& path);
