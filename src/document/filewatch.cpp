#include "document/filewatch.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

namespace {
// Long enough for a program to finish writing, short enough to feel at once.
constexpr int kQuietMs = 300;
} // namespace

FileWatch::FileWatch(std::function<void()> changed, QObject* parent)
    : QObject(parent), m_changed(std::move(changed)), m_watcher(new QFileSystemWatcher(this)),
      m_quiet(new QTimer(this)) {
    m_quiet->setSingleShot(true);
    m_quiet->setInterval(kQuietMs);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, [this] { m_quiet->start(); });
    // The folder tells when a file of the watched name appears again.
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (!m_watcher->files().contains(m_path))
            m_quiet->start();
    });
    connect(m_quiet, &QTimer::timeout, this, [this] {
        Renew();
        if (m_changed)
            m_changed();
    });
}

FileWatch::~FileWatch() = default;

void FileWatch::Watch(const QString& path) {
    if (!m_watcher->files().isEmpty())
        m_watcher->removePaths(m_watcher->files());
    if (!m_watcher->directories().isEmpty())
        m_watcher->removePaths(m_watcher->directories());
    m_quiet->stop();
    m_path = path;
    Renew();
}

void FileWatch::Renew() {
    if (m_path.isEmpty())
        return;
    if (!m_watcher->files().contains(m_path))
        m_watcher->addPath(m_path);
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!m_watcher->directories().contains(folder))
        m_watcher->addPath(folder);
}
