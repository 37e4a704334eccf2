#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "job/jobrecord.h"

namespace velkar {
// Shows a record as {code, x, y, z} in a failed expectation.
void PrintTo(const JobRecord& r, std::ostream* os);
}  // namespace velkar

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
inline JobRecord M(std::int32_t x, std::int32_t y, std::int32_t z = 0) { return Rec(RecMove, x, y, z); }
inline JobRecord L(std::int32_t x, std::int32_t y, std::int32_t z = 0) { return Rec(RecLine, x, y, z); }

// A 400-unit square cut from the origin (closed by a move back to its start
// when asked), as a complete job; SquareStream is what it sends without offsets.
std::vector<JobRecord> SquareJob(std::int32_t orientation = OrientationAsStored, bool closeByMove = false);
inline const std::string SquareStream =
    ";:H A L0 ECN U0,0 D0,0 D0,400 D0,400 D400,400 D400,400 D400,0 D400,0 D0,0 U400,0   @ 0 U0,0  @  ";
// One path zigzagging `lines` times across 1000 units, written to dir as job<lines>.PT1.
std::string WriteZigzagJob(const ScratchDir& dir, int lines);

// Points the profile (XDG_CONFIG_HOME) at a scratch directory for the lifetime of the object.
class ProfileOverride {
public:
    ProfileOverride();
    ~ProfileOverride();
    std::string IniPath() const { return m_dir.File("QV VELKAR1/Velkar.ini"); }
    void Write(const std::string& ini) const;

private:
    ScratchDir m_dir;
    std::string m_old;
    bool m_hadOld = false;
};

// True when `program` is an executable file in one of PATH's folders.
bool OnPath(const std::string& program);
// Runs an outside tool through the shell with an empty input and its output kept
// in `log` (never the machine's device files); true when it exits with 0.
bool RunTool(const std::string& command, const std::string& log);

// Runs body in a forked child (which then ends) and returns the text it returned.
std::string InChild(const std::function<std::string()>& body);

}  // namespace velkar::test
