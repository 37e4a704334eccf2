#pragma once

#include <QString>

namespace velkar {

// The directory in which the operator last picked a file, shared by the file
// dialogs of Import and Open so that both start where the operator worked
// last. It starts as the home directory and lives as long as the process.
class CRecentDirectory {
public:
    static QString Get();
    // Remembers the directory that holds filePath (an absolute path); an
    // empty path changes nothing.
    static void RememberFile(const QString& filePath);
    // Back to the home directory (tests).
    static void Reset();
};

}  // namespace velkar
