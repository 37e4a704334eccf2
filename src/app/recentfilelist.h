#pragma once

#include <QStringList>

namespace velkar {

// The recent-file list of the File menu: at most four full paths, newest
// first, kept in the profile (section "Recent File List", keys "File1" to "File4").
class CRecentFileList {
public:
    static constexpr int Size = 4;

    void Load();
    void Save() const;
    // Puts path first, dropping an older copy and the entry beyond the fourth.
    void Add(const QString& path);
    void Remove(int index);
    const QStringList& Entries() const { return m_entries; }

private:
    QStringList m_entries;
};

}  // namespace velkar
