#include "testsupport.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <sys/mount.h>
#include <unistd.h>

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

TempDirOverride::TempDirOverride() {
    if (const char* v = std::getenv("VELKAR_TEMP")) {
        m_old = v;
        m_hadOld = true;
    }
    ::setenv("VELKAR_TEMP", m_dir.Path().c_str(), 1);
}

TempDirOverride::~TempDirOverride() {
    if (m_hadOld)
        ::setenv("VELKAR_TEMP", m_old.c_str(), 1);
    else
        ::unsetenv("VELKAR_TEMP");
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << text;
    if (!f) throw std::runtime_error("cannot write " + path);
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

JobRecord Rec(std::uint8_t code, std::int32_t x, std::int32_t y, std::int32_t z) {
    JobRecord r;
    r.code = code;
    r.x = x;
    r.y = y;
    r.z = z;
    return r;
}

}  // namespace velkar::test
