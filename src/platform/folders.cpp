#include "folders.h"

#include <QDir>
#include <QFileInfo>

QString UserDataFolder() {
    const QString fromEnv = qEnvironmentVariable("XDG_DATA_HOME");
    if (!fromEnv.isEmpty() && QDir::isAbsolutePath(fromEnv))
        return QDir::cleanPath(fromEnv);
    return QDir::homePath() + QStringLiteral("/.local/share");
}

bool EnsureFolder(const QString& path) {
    if (QFileInfo(path).isDir())
        return true;
    return QDir().mkpath(path) && QFileInfo(path).isDir();
}
