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

// Up to eight instructions of HP-GL form (two letters, numeric parameters, ';')
// of which a later one is a known HP-GL instruction.
bool LooksLikeHpgl(const char* p, const char* end) {
    for (int instruction = 0; instruction < 8; ++instruction) {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) ++p;
        if (end - p < 2 || !IsLetter(p[0]) || !IsLetter(p[1])) return false;
        if (IsLeadingHpglInstruction(Upper(p[0]), Upper(p[1]))) return true;
        p += 2;
        while (p < end && (IsDigit(*p) || *p == ',' || *p == '.' || *p == '-' || *p == '+' || *p == ' ')) ++p;
        if (p == end || *p != ';') return false;
        ++p;
    }
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

const char* SkipEscapeSequence(const char* p, const char* end, bool& pclMode, std::uint64_t& unread) {
    unread = 0;
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
                if (value > left) unread = value - left;
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

void SkipEscapeSequence(PlotInput& in, const char*& p, const char*& end, bool& pclMode) {
    in.Ensure(p, end);
    std::uint64_t unread = 0;
    p = SkipEscapeSequence(p, end, pclMode, unread);
    if (unread > 0) in.SkipBytes(unread, p, end);
}

PlotSniff SniffPlotDialect(PlotInput& in, const char*& p, const char*& end) {
    PlotSniff result;
    bool pclMode = false;
    bool sawWrapper = false;
    for (;;) {
        in.Ensure(p, end);
        if (p >= end) break;
        char c = *p;
        if (c == '\0' || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ';' || c == '\x03') {
            if (c == ';' && end - p >= 2 && p[1] == ':' && !pclMode) {
                result.dialect = PlotDialect::Dmpl;
                return result;
            }
            ++p;
        } else if (c == Esc) {
            SkipEscapeSequence(in, p, end, pclMode);
            sawWrapper = true;
        } else if (c == '@' && end - p >= 4 && std::memcmp(p, "@PJL", 4) == 0) {
            p = SkipPjlLines(p, end);
            sawWrapper = true;
        } else if (c == '#' && !pclMode) {
            in.SkipPast('\n', p, end);
        } else if (pclMode) {
            in.SkipTo(Esc, p, end);
        } else {
            break;
        }
    }
    if (p >= end) {
        result.reason = in.Offset(end) == 0 ? "the file is empty"
                        : sawWrapper        ? "the printer wrapper holds no HP-GL"
                                            : "the file holds no instructions";
        return result;
    }
    if (end - p >= 2 && IsLetter(p[0]) && IsLetter(p[1]) && IsLeadingHpglInstruction(Upper(p[0]), Upper(p[1]))) {
        result.dialect = PlotDialect::Hpgl;
        return result;
    }
    // Cutter programs put their own set-up lines in front of a DM/PL drawing; its
    // ";:" header at the start of a line marks where the drawing begins. The window
    // holds the first 64 KiB of the file from p on.
    const std::uint64_t at = in.Offset(p);
    const std::size_t window =
        at >= 65536 ? 0 : std::min(static_cast<std::size_t>(end - p), static_cast<std::size_t>(65536 - at));
    for (std::size_t i = 0; i + 2 < window; ++i) {
        if ((p[i] == '\n' || p[i] == '\r') && p[i + 1] == ';' && p[i + 2] == ':') {
            result.dialect = PlotDialect::Dmpl;
            p += i + 1;
            return result;
        }
    }
    // Cutters' HP-GL variants begin with instructions of their own.
    if (LooksLikeHpgl(p, end)) {
        result.dialect = PlotDialect::Hpgl;
        return result;
    }
    result.reason = "it starts with \"" + Quote(p, end) + "\", neither HP-GL nor DM/PL";
    return result;
}

}  // namespace velkar
