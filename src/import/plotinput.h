#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace velkar {

// A plotter file read through a window that slides over it, so that reading
// takes the same memory whatever the file's size. The readers scan the window
// with pointers [p, end); Refill moves what is left of it to the front and
// reads on, after which pointers into the old window are no longer valid.
//
// Whenever less than Lookahead bytes are left, the readers refill before a
// step that looks ahead (a number, an escape sequence, an instruction name);
// only runs of bytes that are skipped or counted are longer than that, and
// those are scanned through the window piece by piece.
class PlotInput {
public:
    static constexpr std::size_t DefaultLookahead = 64 * 1024;

    // lookahead: the bytes a step may look ahead; the window holds four times as many.
    explicit PlotInput(std::size_t lookahead = DefaultLookahead);
    ~PlotInput();
    PlotInput(const PlotInput&) = delete;
    PlotInput& operator=(const PlotInput&) = delete;

    // False when the file cannot be opened for reading (a folder neither); OpenError() holds the errno.
    bool Open(const std::string& path);
    int OpenError() const { return m_nOpenError; }
    const std::string& Path() const { return m_strPath; }
    std::size_t Lookahead() const { return m_nLookahead; }

    // The first window: [p, end).
    void Start(const char*& p, const char*& end) {
        p = end = m_buffer.get();
        Refill(p, end);
    }
    // Keeps [p, end) at the front of the window and reads on; p stays at the same byte of
    // the file. Raises FileError naming the file when it cannot be read.
    void Refill(const char*& p, const char*& end);
    // Refills when fewer than Lookahead bytes are left before the end of the window.
    void Ensure(const char*& p, const char*& end) {
        if (static_cast<std::size_t>(end - p) < m_nLookahead && !m_bEof) Refill(p, end);
    }
    // True when the window reaches the end of the file.
    bool AtEnd() const { return m_bEof; }
    // p == end and nothing more to read: refills when more may come.
    bool Exhausted(const char*& p, const char*& end) {
        if (p < end) return false;
        if (!m_bEof) Refill(p, end);
        return p >= end;
    }
    // Where p stands in the file.
    std::uint64_t Offset(const char* p) const { return m_nBase + static_cast<std::uint64_t>(p - m_buffer.get()); }

    // Passes over everything up to the first c; leaves p after it and returns true,
    // or at the end of the file and returns false.
    bool SkipPast(char c, const char*& p, const char*& end);
    // As SkipPast, but leaves p on c.
    bool SkipTo(char c, const char*& p, const char*& end);
    // Passes over n bytes, or up to the end of the file.
    void SkipBytes(std::uint64_t n, const char*& p, const char*& end);

private:
    std::size_t m_nLookahead;
    std::size_t m_nCapacity;
    std::unique_ptr<char[]> m_buffer;
    int m_fd = -1;
    int m_nOpenError = 0;
    std::string m_strPath;
    std::uint64_t m_nBase = 0;  // file offset of the buffer's first byte
    bool m_bEof = false;
};

}  // namespace velkar
