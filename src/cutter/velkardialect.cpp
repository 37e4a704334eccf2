#include "cutter/velkardialect.h"

#include <charconv>
#include <cstring>

namespace velkar {

bool CVelkarDialect::Write(Writer& out, char letter, std::int64_t first, std::int64_t second) {
    // Each number takes at most 20 characters (64-bit with sign).
    char text[48];
    text[0] = letter;
    char* p = std::to_chars(text + 1, text + 22, first).ptr;
    *p = ',';
    p = std::to_chars(p + 1, p + 22, second).ptr;
    *p++ = ' ';
    return out.Put(std::string_view(text, static_cast<std::size_t>(p - text)));
}

bool CVelkarDialect::FlushHeldCut(Writer& out) {
    if (!m_bHeldCut) return true;
    m_bHeldCut = false;
    m_bDown = true;
    return Write(out, 'D', m_nAtFirst, m_nAtSecond);
}

bool CVelkarDialect::Command(Writer& out, std::string_view text) {
    if (!FlushHeldCut(out)) return false;
    m_bKnown = false;
    return out.Put(text);
}

bool CVelkarDialect::Point(Writer& out, char letter, std::int64_t first, std::int64_t second) {
    if (m_bCompact) {
        const bool here = m_bKnown && first == m_nAtFirst && second == m_nAtSecond;
        if (here && letter == 'D' && (m_bDown || m_bHeldCut)) return true;
        if (here && letter == 'D') {
            m_bHeldCut = true;
            return true;
        }
        if (here && !m_bDown && !m_bHeldCut) return true;
        if (m_bHeldCut && (here || letter == 'U') && !FlushHeldCut(out)) return false;
        m_bHeldCut = false;
    }
    m_bKnown = true;
    m_bDown = letter == 'D';
    m_nAtFirst = first;
    m_nAtSecond = second;
    return Write(out, letter, first, second);
}

const char* CVelkarDialect::KnifeWord(std::int32_t k) {
    static const char* const words[] = {"P1 ", "P3 ", "P4 ", "P1 ", "P2 ", "P5 ", "P6 ", "P7 ", "P8 "};
    return words[k >= 1 && k <= 8 ? k : 0];
}

bool CVelkarDialect::PathEnd(Writer& out, std::int64_t feed) {
    char text[32] = "U";
    char* p = std::to_chars(text + 1, text + sizeof text, feed).ptr;
    std::memcpy(p, ",0 ", 3);
    p += 3;
    if (!Command(out, std::string_view(text, static_cast<std::size_t>(p - text)))) return false;
    return Command(out, Terminator);
}

}  // namespace velkar
