#include "testsupport.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velkar {
void PrintTo(const JobRecord& r, std::ostream* os) {
    *os << "{" << int(r.code) << ", " << r.x << ", " << r.y << ", " << r.z << "}";
}
}  // namespace velkar

namespace velkar::test {

ScratchDir::ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velkar-test-XXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    m_path = buf.data();
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

SmallTmpfs::SmallTmpfs(const std::string& options) {
    if (::mount("velkar-test", m_dir.Path().c_str(), "tmpfs", 0, options.c_str()) == 0)
        m_bMounted = true;
    else
        m_strWhy = "cannot mount a tmpfs here: " + std::string(std::strerror(errno));
}

SmallTmpfs::~SmallTmpfs() {
    if (!m_bMounted) return;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(m_dir.Path(), ec)) std::filesystem::remove_all(e.path(), ec);
    ::umount2(m_dir.Path().c_str(), MNT_DETACH);
}

namespace {

void SwapEnv(const char* name, const std::string& value, std::string& old, bool& hadOld) {
    if (const char* v = std::getenv(name)) old = v, hadOld = true;
    ::setenv(name, value.c_str(), 1);
}

void RestoreEnv(const char* name, const std::string& old, bool hadOld) {
    if (hadOld)
        ::setenv(name, old.c_str(), 1);
    else
        ::unsetenv(name);
}

}  // namespace

TempDirOverride::TempDirOverride() { SwapEnv("VELKAR_TEMP", m_dir.Path(), m_old, m_hadOld); }
TempDirOverride::~TempDirOverride() { RestoreEnv("VELKAR_TEMP", m_old, m_hadOld); }

ProfileOverride::ProfileOverride() { SwapEnv("XDG_CONFIG_HOME", m_dir.Path(), m_old, m_hadOld); }
ProfileOverride::~ProfileOverride() { RestoreEnv("XDG_CONFIG_HOME", m_old, m_hadOld); }

void ProfileOverride::Write(const std::string& ini) const {
    ::mkdir(m_dir.File("QV VELKAR1").c_str(), 0700);
    WriteText(IniPath(), ini);
}

std::string InChild(const std::function<std::string()>& body) {
    int fds[2];
    if (::pipe(fds) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        const std::string text = body();
        ::_exit(::write(fds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size()) ? 0 : 1);
    }
    ::close(fds[1]);
    std::string got;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) got.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    ::waitpid(child, nullptr, 0);
    return got;
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << text;
    if (!f) throw std::runtime_error("cannot write " + path);
}

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');)
        if (!folder.empty() && ::access((folder + "/" + program).c_str(), X_OK) == 0) return true;
    return false;
}

bool RunTool(const std::string& command, const std::string& log) {
    WriteText(log + ".in", "");
    return std::system((command + " >" + log + " 2>&1 <" + log + ".in").c_str()) == 0;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::vector<JobRecord> ReadRecords(const std::string& path) {
    std::string bytes = ReadBytes(path);
    std::vector<JobRecord> out;
    for (std::size_t i = 0; i + RecordSize <= bytes.size(); i += RecordSize)
        out.push_back(JobRecord::Decode(reinterpret_cast<const unsigned char*>(bytes.data() + i)));
    return out;
}

void WriteRecords(const std::string& path, const std::vector<JobRecord>& records) {
    std::string bytes(records.size() * RecordSize, '\0');
    for (std::size_t i = 0; i < records.size(); ++i)
        records[i].Encode(reinterpret_cast<unsigned char*>(bytes.data() + i * RecordSize));
    WriteText(path, bytes);
}

std::vector<JobRecord> SquareJob(std::int32_t orientation, bool closeByMove) {
    std::vector<JobRecord> r = {Rec(RecHeaderCount, 10, orientation), Rec(RecHeaderMin), Rec(RecHeaderMax, 400, 400),
                                Rec(RecJobStart), M(0, 0), L(400, 0), L(400, 400), L(0, 400), L(0, 0)};
    if (closeByMove) r.push_back(M(0, 0));
    r.push_back(Rec(RecPathEnd));
    r[0].x = static_cast<std::int32_t>(r.size());
    return r;
}

std::string WriteZigzagJob(const ScratchDir& dir, int lines) {
    std::vector<JobRecord> r = {Rec(RecHeaderCount, 0, 4), Rec(RecHeaderMin), Rec(RecHeaderMax, 0, 1000),
                                Rec(RecJobStart), M(0, 0)};
    for (int i = 0; i < lines; ++i) r.push_back(L((i % 2) * 1000, i));
    r.push_back(Rec(RecPathEnd));
    r[0].x = static_cast<std::int32_t>(r.size());
    const std::string path = dir.File("job" + std::to_string(lines) + ".PT1");
    WriteRecords(path, r);
    return path;
}

JobRecord Rec(std::uint8_t code, std::int32_t x, std::int32_t y, std::int32_t z) { return JobRecord{code, x, y, z}; }

}  // namespace velkar::test
