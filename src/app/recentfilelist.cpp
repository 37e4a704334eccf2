#include "app/recentfilelist.h"

#include <QSettings>

#include "serial/profile.h"

namespace velkar {

void CRecentFileList::Load() {
    m_entries.clear();
    auto profile = OpenProfile();
    profile->beginGroup(QStringLiteral("Recent File List"));
    for (int i = 1; i <= Size; ++i) {
        const QString path = profile->value(QStringLiteral("File%1").arg(i)).toString();
        if (!path.isEmpty()) m_entries.append(path);
    }
}

void CRecentFileList::Save() const {
    auto profile = OpenProfile();
    profile->beginGroup(QStringLiteral("Recent File List"));
    for (int i = 1; i <= Size; ++i) {
        const QString key = QStringLiteral("File%1").arg(i);
        if (i <= m_entries.size())
            profile->setValue(key, m_entries.at(i - 1));
        else
            profile->remove(key);
    }
}

void CRecentFileList::Add(const QString& path) {
    m_entries.removeAll(path);
    m_entries.prepend(path);
    while (m_entries.size() > Size) m_entries.removeLast();
}

void CRecentFileList::Remove(int index) {
    if (index >= 0 && index < m_entries.size()) m_entries.removeAt(index);
}

}  // namespace velkar
