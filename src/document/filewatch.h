// Tells the document when its file changes on disk. A save by another program
// usually renames a new file over the old one, which ends a watch on the old
// file; the watch is renewed on the path each time. Changes that come in a
// burst are reported once, after a short quiet time, so a file being written
// is not read half done.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QFileSystemWatcher;
class QTimer;

class FileWatch final : public QObject {
    Q_OBJECT

public:
    explicit FileWatch(std::function<void()> changed, QObject* parent = nullptr);
    ~FileWatch() override;

    // Watches path (an empty path stops watching).
    void Watch(const QString& path);
    const QString& WatchedPath() const { return m_path; }

private:
    void Renew();

    std::function<void()> m_changed;
    QString m_path;
    QFileSystemWatcher* m_watcher;
    QTimer* m_quiet;
};
