#include "job/binaryfile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "job/conversionwatch.h"

namespace velkar {

namespace {
constexpr std::size_t kBufferSize = 1 << 16;
}

std::string SystemErrorText(int error) {
    char buf[256];
    // GNU strerror_r may return a static string instead of filling buf.
    const char* text = strerror_r(error, buf, sizeof buf);
    return text ? std::string(text) : std::string("error ") + std::to_string(error);
}

BinaryFile::~BinaryFile() { Abandon(); }

bool BinaryFile::Open(const std::string& path, Mode mode) {
    Abandon();
    int flags = O_CLOEXEC;
    switch (mode) {
        case Mode::Read: flags |= O_RDONLY; break;
        case Mode::CreateTruncate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
        case Mode::CreateKeep: flags |= O_RDWR | O_CREAT; break;
    }
    int fd;
    do {
        fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        m_nOpenError = errno;
        return false;
    }
    // A directory opens for reading but cannot be read as a job; refuse it here.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        m_nOpenError = EISDIR;
        return false;
    }
    Adopt(fd, path);
    return true;
}

void BinaryFile::Adopt(int fd, const std::string& path) {
    Abandon();
    m_fd = fd;
    m_nOpenError = 0;
    m_strPath = path;
    if (m_buffer.empty()) m_buffer.resize(kBufferSize);
    m_nBufPos = m_nBufLen = 0;
    m_bWriting = false;
}

void BinaryFile::Fail(const char* what, int error) const {
    throw FileError(m_strPath, std::string(what) + ": " + SystemErrorText(error));
}

void BinaryFile::FlushWrite() {
    if (!m_bWriting) return;
    const std::size_t pending = m_nBufLen;
    m_nBufLen = 0;
    m_bWriting = false;
    WriteOut(m_buffer.data(), pending);
}

void BinaryFile::FlushFull() {
    ConversionWatch::Step(m_strPath);
    FlushWrite();
    m_bWriting = true;
}

void BinaryFile::WriteOut(const unsigned char* data, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        ssize_t w = ::write(m_fd, data + done, n - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            Fail("cannot write", errno);
        }
        done += static_cast<std::size_t>(w);
    }
}

void BinaryFile::DropReadAhead() {
    if (m_bWriting || m_nBufPos == m_nBufLen) {
        m_nBufPos = m_nBufLen = 0;
        return;
    }
    // Give back what was read ahead, so the file position is where the caller thinks.
    off_t back = static_cast<off_t>(m_nBufLen - m_nBufPos);
    m_nBufPos = m_nBufLen = 0;
    if (::lseek(m_fd, -back, SEEK_CUR) < 0) Fail("cannot seek", errno);
}

void BinaryFile::ReportRead() const {
    struct stat st {};
    const off_t at = ::lseek(m_fd, 0, SEEK_CUR);
    if (at < 0 || ::fstat(m_fd, &st) != 0) return;
    ConversionWatch::Read(m_strPath, static_cast<std::uint64_t>(at), static_cast<std::uint64_t>(st.st_size));
}

std::size_t BinaryFile::ReadIn(unsigned char* to, std::size_t n) {
    for (;;) {
        const ssize_t r = ::read(m_fd, to, n);
        if (r >= 0) {
            if (r > 0 && ConversionWatch::Active()) ReportRead();
            return static_cast<std::size_t>(r);
        }
        if (errno != EINTR) Fail("cannot read", errno);
    }
}

std::size_t BinaryFile::ReadThroughBuffer(void* buffer, std::size_t n) {
    if (m_fd < 0) throw FileError(m_strPath, "file is not open");
    FlushWrite();
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t got = 0;
    while (got < n) {
        if (m_nBufPos == m_nBufLen) {
            // A large read goes straight to the caller: no second copy.
            if (n - got >= m_buffer.size()) {
                const std::size_t r = ReadIn(out + got, n - got);
                if (r == 0) break;
                got += r;
                continue;
            }
            const std::size_t r = ReadIn(m_buffer.data(), m_buffer.size());
            if (r == 0) break;
            m_nBufPos = 0;
            m_nBufLen = r;
        }
        std::size_t take = std::min(n - got, m_nBufLen - m_nBufPos);
        std::memcpy(out + got, m_buffer.data() + m_nBufPos, take);
        m_nBufPos += take;
        got += take;
    }
    return got;
}

void BinaryFile::WriteThroughBuffer(const void* buffer, std::size_t n) {
    if (m_fd < 0) throw FileError(m_strPath, "file is not open");
    if (!m_bWriting) {
        DropReadAhead();
        m_bWriting = true;
        m_nBufLen = 0;
    }
    const auto* in = static_cast<const unsigned char*>(buffer);
    if (n >= m_buffer.size()) {
        // A large block goes straight to the file after what is pending.
        FlushFull();
        WriteOut(in, n);
        return;
    }
    while (n > 0) {
        std::size_t take = std::min(n, m_buffer.size() - m_nBufLen);
        std::memcpy(m_buffer.data() + m_nBufLen, in, take);
        m_nBufLen += take;
        in += take;
        n -= take;
        if (m_nBufLen == m_buffer.size()) FlushFull();
    }
}

void BinaryFile::SeekBegin(std::uint64_t offset) {
    if (m_fd < 0) throw FileError(m_strPath, "file is not open");
    FlushWrite();
    m_nBufPos = m_nBufLen = 0;
    if (::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) < 0) Fail("cannot seek", errno);
}

void BinaryFile::SeekEnd() {
    if (m_fd < 0) throw FileError(m_strPath, "file is not open");
    FlushWrite();
    m_nBufPos = m_nBufLen = 0;
    if (::lseek(m_fd, 0, SEEK_END) < 0) Fail("cannot seek", errno);
}

void BinaryFile::Close() {
    if (m_fd < 0) return;
    try {
        FlushWrite();
    } catch (...) {
        Abandon();
        throw;
    }
    int fd = m_fd;
    m_fd = -1;
    if (::close(fd) < 0 && errno != EINTR) Fail("cannot close", errno);
}

void BinaryFile::Abandon() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_nBufPos = m_nBufLen = 0;
    m_bWriting = false;
}

void BinaryFile::Remove(const std::string& path) {
    if (::unlink(path.c_str()) < 0) throw FileError(path, "cannot remove: " + SystemErrorText(errno));
}

void BinaryFile::Rename(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) < 0)
        throw FileError(to, "cannot replace with " + from + ": " + SystemErrorText(errno));
}

}  // namespace velkar
