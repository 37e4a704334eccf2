#include "import/plotinput.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "job/binaryfile.h"

namespace velkar {

PlotInput::PlotInput(std::size_t lookahead)
    : m_nLookahead(lookahead < 2 ? 2 : lookahead), m_nCapacity(4 * m_nLookahead), m_buffer(new char[m_nCapacity]) {}

PlotInput::~PlotInput() {
    if (m_fd >= 0) ::close(m_fd);
}

bool PlotInput::Open(const std::string& path) {
    m_strPath = path;
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        m_nOpenError = errno;
        return false;
    }
    struct stat st {};
    if (::fstat(m_fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        m_nOpenError = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    return true;
}

void PlotInput::Refill(const char*& p, const char*& end) {
    char* buffer = m_buffer.get();
    const std::size_t kept = static_cast<std::size_t>(end - p);
    if (p != buffer) {
        m_nBase += static_cast<std::uint64_t>(p - buffer);
        std::memmove(buffer, p, kept);
    }
    std::size_t size = kept;
    while (!m_bEof && size < m_nCapacity) {
        const ssize_t n = m_fd < 0 ? 0 : ::read(m_fd, buffer + size, m_nCapacity - size);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw FileError(m_strPath, SystemErrorText(errno));
        }
        if (n == 0) m_bEof = true;
        size += static_cast<std::size_t>(n);
    }
    p = buffer;
    end = buffer + size;
}

bool PlotInput::SkipTo(char c, const char*& p, const char*& end) {
    for (;;) {
        if (const void* at = std::memchr(p, c, static_cast<std::size_t>(end - p))) {
            p = static_cast<const char*>(at);
            return true;
        }
        p = end;
        if (Exhausted(p, end)) return false;
    }
}

bool PlotInput::SkipPast(char c, const char*& p, const char*& end) {
    if (!SkipTo(c, p, end)) return false;
    ++p;
    return true;
}

void PlotInput::SkipBytes(std::uint64_t n, const char*& p, const char*& end) {
    for (;;) {
        const std::size_t here = static_cast<std::size_t>(end - p);
        if (n <= here) {
            p += n;
            return;
        }
        n -= here;
        p = end;
        if (Exhausted(p, end)) return;
    }
}

}  // namespace velkar
