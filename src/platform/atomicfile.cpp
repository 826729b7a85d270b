#include "platform/atomicfile.h"

#include <QFileInfo>
#include <QSaveFile>

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (path.isEmpty())
        return fail(QStringLiteral("no file name"));
    if (QFileInfo(path).isDir())
        return fail(QStringLiteral("is a directory"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot be written: ") + file.errorString());
    // commit() overlooks a refused write of bytes still in the buffer and would
    // put an empty file in place of the old one, so the buffer is pushed out
    // and checked first.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(QStringLiteral("cannot be written: ") + reason);
    }
    if (!file.commit())
        return fail(QStringLiteral("cannot be written: ") + file.errorString());
    return true;
}
