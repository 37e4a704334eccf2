#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "job/fileerror.h"

namespace velkar {

// The system's error text for an errno value.
std::string SystemErrorText(int error);

// A binary file with its own buffer, so that 20-byte records cost no system call each.
class BinaryFile {
public:
    enum class Mode {
        Read,            // existing file, reading only
        CreateTruncate,  // create, or empty an existing file
        CreateKeep,      // create when absent, keep existing content
    };

    BinaryFile() = default;
    ~BinaryFile();
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;

    // Opens path; false on failure, with OpenError() telling the errno.
    bool Open(const std::string& path, Mode mode);
    // Takes over an open descriptor (used for scratch files made with mkstemp).
    void Adopt(int fd, const std::string& path);
    bool IsOpen() const { return m_fd >= 0; }
    int OpenError() const { return m_nOpenError; }
    const std::string& Path() const { return m_strPath; }

    // Reads up to n bytes; fewer only at the end of the file. Raises FileError on an I/O error.
    std::size_t Read(void* buffer, std::size_t n) {
        // Records are read one by one: taking them from the buffer stays inline.
        if (n != 0 && !m_bWriting && m_nBufLen - m_nBufPos >= n) {
            std::memcpy(buffer, m_buffer.data() + m_nBufPos, n);
            m_nBufPos += n;
            return n;
        }
        return ReadThroughBuffer(buffer, n);
    }
    // Writes n bytes (buffered). Raises FileError when the data cannot be written.
    void Write(const void* buffer, std::size_t n) {
        // Records are written one by one: the common case stays inline.
        if (m_bWriting && n < m_buffer.size() - m_nBufLen) {
            std::memcpy(m_buffer.data() + m_nBufLen, buffer, n);
            m_nBufLen += n;
            return;
        }
        WriteThroughBuffer(buffer, n);
    }
    void SeekBegin(std::uint64_t offset);
    void SeekEnd();
    // Flushes and closes; raises FileError if buffered data cannot be written.
    void Close();
    // Closes without flushing and without raising (for abandoning a file).
    void Abandon();

    static void Remove(const std::string& path);
    static void Rename(const std::string& from, const std::string& to);

private:
    std::size_t ReadThroughBuffer(void* buffer, std::size_t n);
    void WriteThroughBuffer(const void* buffer, std::size_t n);
    void FlushWrite();
    // Mid-write: asks the watch, writes out what is pending and goes on writing.
    void FlushFull();
    void WriteOut(const unsigned char* data, std::size_t n);
    // One read(2) into `to`, retried when interrupted; 0 at the end of the file.
    std::size_t ReadIn(unsigned char* to, std::size_t n);
    void DropReadAhead();
    // Tells a conversion watch of this thread how far the file has been read.
    void ReportRead() const;
    [[noreturn]] void Fail(const char* what, int error) const;

    int m_fd = -1;
    int m_nOpenError = 0;
    std::string m_strPath;
    std::vector<unsigned char> m_buffer;
    std::size_t m_nBufPos = 0;  // next byte to read from the buffer
    std::size_t m_nBufLen = 0;  // valid bytes in the buffer (read) or pending bytes (write)
    bool m_bWriting = false;
};

}  // namespace velkar
