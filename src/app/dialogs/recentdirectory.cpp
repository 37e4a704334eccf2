#include "app/dialogs/recentdirectory.h"

#include <QDir>
#include <QFileInfo>

namespace velkar {

namespace {

QString& Stored() {
    static QString directory;
    return directory;
}

}  // namespace

QString CRecentDirectory::Get() {
    const QString& d = Stored();
    if (d.isEmpty() || !QFileInfo(d).isDir()) return QDir::homePath();
    return d;
}

void CRecentDirectory::RememberFile(const QString& filePath) {
    if (filePath.isEmpty()) return;
    Stored() = QFileInfo(filePath).absolutePath();
}

void CRecentDirectory::Reset() { Stored().clear(); }

}  // namespace velkar
