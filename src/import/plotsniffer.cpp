#include "import/plotsniffer.h"

#include <algorithm>
#include <cstring>

namespace velkar {

namespace {

constexpr char Esc = '\x1b';

bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool IsLetter(char c) { return IsUpper(c) || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

const char* SkipLine(const char* p, const char* end) {
    const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
    return nl ? static_cast<const char*>(nl) + 1 : end;
}

const char* SkipPjlLines(const char* p, const char* end) {
    for (;;) {
        while (p < end && (*p == '\r' || *p == '\n')) ++p;
        if (end - p >= 4 && std::memcmp(p, "@PJL", 4) == 0)
            p = SkipLine(p, end);
        else
            return p;
    }
}

// Instructions that real programs put first; enough to tell HP-GL from text.
bool IsLeadingHpglInstruction(char a, char b) {
    static const char* const known[] = {"IN", "DF", "SP", "PU", "PD", "PA", "PR", "IP", "SC", "RO", "PS", "BP",
                                        "CO", "OP", "LT", "VS", "IW", "PG", "SI", "SR", "CI", "AA", "AR", "PE",
                                        "LB", "DT", "WU", "PW", "NP", "PC", "MC", "TR", "CA", "CS", "SS", "PT",
                                        "EA", "ER", "RA", "RR", "FP", "PM", "DI", "DR", "ES", "SL", "IR", "EC"};
    for (const char* k : known)
        if (k[0] == a && k[1] == b) return true;
    return false;
}

std::string Quote(const char* p, const char* end) {
    std::string out;
    for (; p < end && out.size() < 16; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c == '\n' || c == '\r') break;
        out += (c >= 32 && c < 127) ? static_cast<char>(c) : '?';
    }
    return out;
}

}  // namespace

const char* SkipEscapeSequence(const char* p, const char* end, bool& pclMode) {
    ++p;  // the ESC
    if (p >= end) return end;
    char c = *p++;
    if (c == '%') {
        // ESC % [-+]digits letter: 'A' enters PCL, 'B' enters HP-GL/2, "-12345X" is the universal exit.
        const char* q = p;
        if (q < end && (*q == '-' || *q == '+')) ++q;
        while (q < end && IsDigit(*q)) ++q;
        if (q >= end) return end;
        char letter = *q++;
        if (letter == 'B') {
            pclMode = false;
        } else if (letter == 'X') {
            pclMode = true;
            return SkipPjlLines(q, end);
        } else {
            pclMode = true;
        }
        return q;
    }
    if (c == '.') {
        // HP-GL device control: ESC . letter, then optional numeric parameters ended by ':'.
        if (p < end) ++p;
        const char* q = p;
        while (q < end && (IsDigit(*q) || *q == ';')) ++q;
        if (q < end && *q == ':') return q + 1;
        return q;
    }
    if (c >= '!' && c <= '/') {
        // PCL parameterised: group character, values each ended by a letter; upper case ends it.
        if (p < end && *p >= '`' && *p <= '~') ++p;
        while (p < end) {
            const char* q = p;
            if (*q == '-' || *q == '+') ++q;
            std::size_t value = 0;
            while (q < end && (IsDigit(*q) || *q == '.')) {
                if (IsDigit(*q) && value < 100000000) value = value * 10 + static_cast<std::size_t>(*q - '0');
                ++q;
            }
            if (q >= end) return end;
            char term = *q++;
            if (term == 'W' || term == 'w') {
                // Binary data follows (raster rows, font data): skip it whole.
                std::size_t left = static_cast<std::size_t>(end - q);
                q += value < left ? value : left;
            }
            if (!(term >= '`' && term <= '~')) return q;
            p = q;
        }
        return end;
    }
    if (c == 'E') pclMode = true;  // printer reset: PCL until ESC % n B
    return p;
}

PlotSniff SniffPlotDialect(const char* data, std::size_t size) {
    PlotSniff result;
    const char* p = data;
    const char* end = data + size;
    bool pclMode = false;
    bool sawWrapper = false;
    while (p < end) {
        char c = *p;
        if (c == '\0' || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ';' || c == '\x03') {
            if (c == ';' && end - p >= 2 && p[1] == ':' && !pclMode) {
                result.dialect = PlotDialect::Dmpl;
                result.start = static_cast<std::size_t>(p - data);
                return result;
            }
            ++p;
        } else if (c == Esc) {
            p = SkipEscapeSequence(p, end, pclMode);
            sawWrapper = true;
        } else if (c == '@' && end - p >= 4 && std::memcmp(p, "@PJL", 4) == 0) {
            p = SkipPjlLines(p, end);
            sawWrapper = true;
        } else if (c == '#' && !pclMode) {
            p = SkipLine(p, end);
        } else if (pclMode) {
            const void* next = std::memchr(p, Esc, static_cast<std::size_t>(end - p));
            p = next ? static_cast<const char*>(next) : end;
        } else {
            break;
        }
    }
    if (p >= end) {
        result.reason = size == 0 ? "the file is empty"
                        : sawWrapper ? "the printer wrapper holds no HP-GL"
                                     : "the file holds no instructions";
        return result;
    }
    if (end - p >= 2 && IsLetter(p[0]) && IsLetter(p[1]) && IsLeadingHpglInstruction(Upper(p[0]), Upper(p[1]))) {
        result.dialect = PlotDialect::Hpgl;
        result.start = static_cast<std::size_t>(p - data);
        return result;
    }
    // Cutter programs put their own set-up lines in front of a DM/PL drawing; its
    // ";:" header at the start of a line marks where the drawing begins.
    const std::size_t window = std::min<std::size_t>(size, 65536);
    for (std::size_t i = static_cast<std::size_t>(p - data); i + 2 < window; ++i) {
        if ((data[i] == '\n' || data[i] == '\r') && data[i + 1] == ';' && data[i + 2] == ':') {
            result.dialect = PlotDialect::Dmpl;
            result.start = i + 1;
            return result;
        }
    }
    result.reason = "it starts with \"" + Quote(p, end) + "\", neither HP-GL nor DM/PL";
    return result;
}

}  // namespace velkar
