#pragma once

#include <string>

#include "job/binaryfile.h"

namespace velkar {

// A plotter file read as text, the way the converters read their input: every
// CR LF pair is delivered as one LF (so Windows files convert exactly as LF
// files), every other byte as it stands, NUL and Ctrl-Z included.
class TextSource {
public:
    static constexpr int End = -1;

    // False when the file cannot be opened; OpenError() holds the errno.
    bool Open(const std::string& path);
    int OpenError() const { return m_file.OpenError(); }
    const std::string& Path() const { return m_file.Path(); }

    // Next character as an unsigned byte value, or End.
    int Get() {
        // The end of input is final: once End has been returned, every later
        // Get() returns End too, so the flag never needs clearing here.
        if (m_nPos == m_nLen && !Fill()) {
            m_bLastWasEnd = true;
            return End;
        }
        return static_cast<unsigned char>(m_buf[m_nPos++]);
    }

    // Pushes back the character that Get() returned last; after End nothing is
    // pushed back, so the next Get() returns End again.
    void Unget() {
        if (!m_bLastWasEnd && m_nPos > 0) --m_nPos;
    }

    // Reads one line without its LF into line. False at the end of the input
    // when nothing was left; the last line counts even without a line end. Of a
    // line longer than MaxLine only the first MaxLine bytes are kept, the rest
    // is passed over, so memory stays bounded whatever the file holds.
    bool GetLine(std::string& line);
    static constexpr std::size_t MaxLine = std::size_t{1} << 20;

private:
    bool Fill();

    BinaryFile m_file;
    std::string m_buf;
    std::size_t m_nPos = 0;
    std::size_t m_nLen = 0;
    bool m_bHeldCr = false;  // a CR ended the previous raw chunk
    bool m_bEof = false;
    bool m_bLastWasEnd = false;
};

}  // namespace velkar
