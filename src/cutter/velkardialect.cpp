#include "cutter/velkardialect.h"

#include <charconv>
#include <cstring>

namespace velkar {

bool CVelkarDialect::JobStart(Writer& out) { return out.Put(InitString); }

bool CVelkarDialect::Point(Writer& out, char letter, std::int64_t x, std::int64_t y) {
    // Each number takes at most 20 characters (64-bit with sign).
    char text[48];
    text[0] = letter;
    char* p = std::to_chars(text + 1, text + 22, y).ptr;
    *p = ',';
    p = std::to_chars(p + 1, p + 22, x).ptr;
    *p++ = ' ';
    return out.Put(std::string_view(text, static_cast<std::size_t>(p - text)));
}

const char* CVelkarDialect::KnifeWord(std::int32_t k) {
    static const char* const words[] = {"P1 ", "P3 ", "P4 ", "P1 ", "P2 ", "P5 ", "P6 ", "P7 ", "P8 "};
    return words[k >= 1 && k <= 8 ? k : 0];
}

bool CVelkarDialect::SelectKnife(Writer& out, std::int32_t k) { return out.Put(KnifeWord(k)); }

bool CVelkarDialect::PathEnd(Writer& out, std::int64_t feed) {
    char text[32] = "U";
    char* p = std::to_chars(text + 1, text + sizeof text, feed).ptr;
    std::memcpy(p, ",0 ", 3);
    p += 3;
    if (!out.Put(std::string_view(text, static_cast<std::size_t>(p - text)))) return false;
    return out.Put(Terminator);
}

}  // namespace velkar
