// The files the user opened last, most recent first, kept in the settings
// file's section "Recent File List" as "File1" .. "File16". The menu that
// shows them lives elsewhere and only reads Entries().
#pragma once

#include <QString>
#include <QStringList>

class RecentFileList final {
public:
    static constexpr int kMaxEntries = 16;

    // iniPath is the settings file the list loads from and saves to.
    explicit RecentFileList(QString iniPath);

    const QStringList& Entries() const { return m_entries; }
    int Count() const { return int(m_entries.size()); }

    // Puts the path (made absolute) first; a path already listed moves up, and
    // the oldest falls off beyond kMaxEntries.
    void Add(const QString& path);
    // False when the path was not listed.
    bool Remove(const QString& path);
    void RemoveAt(int index);
    void Clear() { m_entries.clear(); }

    // Replaces the entries by those in the file; gaps and repeats are skipped.
    void Load();
    // Writes File1 .. FileN and drops any later key of an older, longer list.
    bool Save() const;
    // Add or Remove applied to the list as the file holds it now and saved in one
    // locked step, so files another running instance added stay listed. When the
    // file cannot be written the change is still made in memory.
    bool AddAndSave(const QString& path);
    bool RemoveAndSave(const QString& path);

private:
    void SetFromSection(const QList<QPair<QString, QString>>& section);
    QList<QPair<QString, QString>> ToSection() const;

    QString m_iniPath;
    QStringList m_entries;
};
