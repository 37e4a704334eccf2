#include "import/textsource.h"

#include <algorithm>
#include <cstring>

namespace velkar {

namespace {
constexpr std::size_t kChunk = 1 << 16;
}

bool TextSource::Open(const std::string& path) {
    m_nPos = m_nLen = 0;
    m_bHeldCr = m_bEof = m_bLastWasEnd = false;
    if (!m_file.Open(path, BinaryFile::Mode::Read)) return false;
    m_buf.resize(kChunk + 1);
    return true;
}

bool TextSource::Fill() {
    if (m_bEof || !m_file.IsOpen()) return false;
    // Keep the last delivered character so that Unget() works across a refill.
    char keep = m_nLen > 0 ? m_buf[m_nLen - 1] : '\0';
    bool haveKeep = m_nLen > 0;
    std::size_t start = haveKeep ? 1 : 0;
    if (haveKeep) m_buf[0] = keep;

    std::size_t len = start;
    if (m_bHeldCr) {
        m_buf[len++] = '\r';
        m_bHeldCr = false;
    }
    std::size_t got = m_file.Read(&m_buf[len], kChunk - (len - start));
    len += got;
    if (got == 0) m_bEof = true;
    // A CR at the end of the chunk may begin a CR LF pair: decide with the next chunk.
    if (!m_bEof && len > start && m_buf[len - 1] == '\r') {
        m_bHeldCr = true;
        --len;
    }
    // Collapse CR LF to LF in place, moving whole runs between CRs.
    char* buf = m_buf.data();
    std::size_t out = start;
    std::size_t in = start;
    while (in < len) {
        const void* cr = std::memchr(buf + in, '\r', len - in);
        std::size_t runEnd = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - buf) : len;
        if (out != in) std::memmove(buf + out, buf + in, runEnd - in);
        out += runEnd - in;
        in = runEnd;
        if (in == len) break;
        if (in + 1 < len && buf[in + 1] == '\n') {
            ++in;  // drop the CR; the LF follows in the next run
            continue;
        }
        buf[out++] = buf[in++];
    }
    m_nLen = out;
    m_nPos = start;
    if (m_nPos == m_nLen) return m_bEof ? false : Fill();
    return true;
}

bool TextSource::GetLine(std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
        if (m_nPos == m_nLen && !Fill()) return any;
        any = true;
        const char* begin = m_buf.data() + m_nPos;
        const void* nl = std::memchr(begin, '\n', m_nLen - m_nPos);
        const std::size_t n = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - begin) : m_nLen - m_nPos;
        line.append(begin, std::min(n, MaxLine - line.size()));
        m_nPos += n;
        if (nl) {
            ++m_nPos;
            return true;
        }
    }
}

}  // namespace velkar
