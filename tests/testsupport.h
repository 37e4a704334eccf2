#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "job/jobrecord.h"

namespace velkar::test {

// A fresh private directory for one test, removed with its content on destruction.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Sets VELKAR_TEMP to a fresh scratch directory for the lifetime of the object.
class TempDirOverride {
public:
    TempDirOverride();
    ~TempDirOverride();
    const std::string& Path() const { return m_dir.Path(); }

private:
    ScratchDir m_dir;
    std::string m_old;
    bool m_hadOld = false;
};

// A tmpfs mounted on a fresh directory for one test (options as mount(8) takes
// them, e.g. "size=64k,nr_inodes=2"); unmounted on destruction. Where the
// machine does not allow mounting, Path() is empty and Why() says why.
class SmallTmpfs {
public:
    explicit SmallTmpfs(const std::string& options);
    ~SmallTmpfs();
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;
    std::string Path() const { return m_bMounted ? m_dir.Path() : std::string(); }
    const std::string& Why() const { return m_strWhy; }

private:
    ScratchDir m_dir;
    bool m_bMounted = false;
    std::string m_strWhy;
};

void WriteText(const std::string& path, const std::string& text);
std::string ReadBytes(const std::string& path);

// All whole records of a file, headers included.
std::vector<JobRecord> ReadRecords(const std::string& path);
// Writes bare records (no header protocol) to path.
void WriteRecords(const std::string& path, const std::vector<JobRecord>& records);

JobRecord Rec(std::uint8_t code, std::int32_t x = 0, std::int32_t y = 0, std::int32_t z = 0);

}  // namespace velkar::test
