#include "platform/recentfilelist.h"

#include "platform/settingsfile.h"

#include <QDir>
#include <QFileInfo>

#include <utility>

using namespace Qt::StringLiterals;

namespace {

const QString kSection = u"Recent File List"_s;

QString EntryKey(int index) {
    return u"File"_s + QString::number(index + 1);
}

QString Normalized(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

RecentFileList::RecentFileList(QString iniPath) : m_iniPath(std::move(iniPath)) {}

void RecentFileList::Add(const QString& path) {
    if (path.isEmpty())
        return;
    const QString entry = Normalized(path);
    m_entries.removeAll(entry);
    m_entries.prepend(entry);
    while (m_entries.size() > kMaxEntries)
        m_entries.removeLast();
}

bool RecentFileList::Remove(const QString& path) {
    if (path.isEmpty())
        return false;
    return m_entries.removeAll(Normalized(path)) > 0;
}

void RecentFileList::RemoveAt(int index) {
    if (index >= 0 && index < m_entries.size())
        m_entries.removeAt(index);
}

void RecentFileList::SetFromSection(const QList<QPair<QString, QString>>& section) {
    QString byNumber[kMaxEntries];
    for (const auto& [key, value] : section) {
        // Keys are "File1" .. "File16" in any case; anything else is ignored.
        if (!key.startsWith(u"file"_s, Qt::CaseInsensitive))
            continue;
        bool ok = false;
        const int number = QStringView(key).mid(4).toInt(&ok);
        if (ok && number >= 1 && number <= kMaxEntries && key.mid(4) == QString::number(number))
            byNumber[number - 1] = value;
    }
    m_entries.clear();
    for (const QString& path : byNumber)
        if (!path.isEmpty() && !m_entries.contains(path))
            m_entries.append(path);
}

QList<QPair<QString, QString>> RecentFileList::ToSection() const {
    QList<QPair<QString, QString>> section;
    for (int i = 0; i < m_entries.size(); ++i)
        section.append({EntryKey(i), m_entries[i]});
    return section;
}

void RecentFileList::Load() {
    SetFromSection(ReadProfileSection(m_iniPath, kSection));
}

bool RecentFileList::Save() const {
    return ReplaceProfileSection(m_iniPath, kSection, ToSection());
}

bool RecentFileList::AddAndSave(const QString& path) {
    const bool saved =
        UpdateProfileSection(m_iniPath, kSection, [&](const QList<QPair<QString, QString>>& now) {
            SetFromSection(now);
            Add(path);
            return ToSection();
        });
    if (!saved)
        Add(path);
    return saved;
}

bool RecentFileList::RemoveAndSave(const QString& path) {
    const bool saved =
        UpdateProfileSection(m_iniPath, kSection, [&](const QList<QPair<QString, QString>>& now) {
            SetFromSection(now);
            Remove(path);
            return ToSection();
        });
    if (!saved)
        Remove(path);
    return saved;
}
