// A 64 KiB tmpfs for the tests of what a full disk does to a write. Only root
// can mount one; tests skip when it is not there.
#pragma once

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <unistd.h>

class SmallDisk final {
public:
    SmallDisk() {
        if (::geteuid() == 0 && m_dir.isValid())
            m_mounted = QProcess::execute(QStringLiteral("mount"),
                                          {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                           QStringLiteral("-o"), QStringLiteral("size=64k"),
                                           QStringLiteral("tmpfs"), m_dir.path()}) == 0;
    }
    ~SmallDisk() {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), {m_dir.path()});
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool isMounted() const { return m_mounted; }
    QString path() const { return m_dir.path(); }

    // Fills the disk with 4 KiB files, then frees the given number of them.
    void fillLeaving(int freePages) {
        QStringList chunks;
        for (int i = 0;; ++i) {
            const QString name = m_dir.filePath(QStringLiteral("filler%1").arg(i));
            QFile chunk(name);
            if (!chunk.open(QIODevice::WriteOnly))
                break;
            const bool written = chunk.write(QByteArray(4096, 'x')) == 4096 && chunk.flush();
            chunk.close();
            if (!written) {
                QFile::remove(name);
                break;
            }
            chunks.append(name);
        }
        for (int i = 0; i < freePages && !chunks.isEmpty(); ++i)
            QFile::remove(chunks.takeLast());
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};
