#include "job/jobwriter.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkar {

namespace {

mode_t NewFileMode(const std::string& target) {
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) return st.st_mode & 07777;
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

JobWriter::~JobWriter() {
    if (m_file.IsOpen()) {
        m_file.Abandon();
        if (!m_strScratch.empty()) ::unlink(m_strScratch.c_str());
    }
}

bool JobWriter::Open(const std::string& path) {
    m_strTarget = path;
    m_strScratch.clear();
    m_nOpenError = 0;

    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        m_nOpenError = EISDIR;
        return false;
    }

    std::string pattern = path + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd >= 0) {
        ::fchmod(fd, NewFileMode(path));
        m_strScratch = name.data();
        m_file.Adopt(fd, m_strScratch);
    } else if (!m_file.Open(path, BinaryFile::Mode::CreateTruncate)) {
        m_nOpenError = m_file.OpenError();
        return false;
    }

    const JobRecord placeholder;
    for (int i = 0; i < 3; ++i) Write(placeholder);
    return true;
}

void JobWriter::Finish(JobRecord& work, std::int32_t& count, const BoundingBox& box, std::int32_t orientation) {
    unsigned char image[RecordSize];
    m_file.SeekBegin(0);
    work.Encode(image);
    m_file.Write(image, RecordSize);  // overwritten below; keeps the next write in slot 1

    work.code = RecHeaderMin;
    work.x = box.minX;
    work.y = box.minY;
    Write(work);
    ++count;

    work.code = RecHeaderMax;
    work.x = box.maxX;
    work.y = box.maxY;
    Write(work);
    ++count;

    m_file.SeekBegin(0);
    ++count;
    work.code = RecHeaderCount;
    work.x = count;
    work.y = orientation;
    Write(work);

    m_file.Close();
    if (!m_strScratch.empty()) {
        std::string scratch = m_strScratch;
        m_strScratch.clear();
        try {
            BinaryFile::Rename(scratch, m_strTarget);
        } catch (...) {
            ::unlink(scratch.c_str());
            throw;
        }
    }
}

}  // namespace velkar
