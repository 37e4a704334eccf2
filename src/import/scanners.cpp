#include "import/scanners.h"

#include <array>

#include "import/plotterchars.h"

namespace velkar {

namespace {

// The value of a run is accumulated while it is collected: digits up to the
// first non-digit among the kept characters, in unsigned arithmetic modulo 2^32
// so that no input overflows.
class RunValue {
public:
    void Collect(char c) {
        if (m_nLength == ScannerRunLimit) return;
        ++m_nLength;
        if (m_bStopped) return;
        if (IsDigit(c))
            m_nValue = m_nValue * 10u + static_cast<std::uint32_t>(c - '0');
        else
            m_bStopped = true;
    }
    std::size_t Length() const { return m_nLength; }
    std::int32_t Value(bool negative) const {
        return static_cast<std::int32_t>(negative ? 0u - m_nValue : m_nValue);
    }

private:
    std::uint32_t m_nValue = 0;
    std::size_t m_nLength = 0;
    bool m_bStopped = false;
};

// What a character means to the line scanner.
enum LineClass : unsigned char { LinePass, LineCollect, LineEnd, LineMinus };

constexpr std::array<unsigned char, 256> MakeLineClasses() {
    std::array<unsigned char, 256> t{};
    for (int c = 0; c < 256; ++c) {
        if (IsDigit(c) || c == '.')
            t[c] = LineCollect;
        else if (c == '\n' || c == ' ' || c == ',' || c == ';' || IsLetter(c))
            t[c] = LineEnd;
        else if (c == '-')
            t[c] = LineMinus;
        else
            t[c] = LinePass;
    }
    return t;
}

constexpr std::array<unsigned char, 256> kLineClasses = MakeLineClasses();

}  // namespace

int ReadStreamNumber(TextSource& in, std::int32_t& value) {
    RunValue run;
    bool negative = false;
    bool noDigit = true;
    for (;;) {
        int c = in.Get();
        if (IsDigit(c)) {
            run.Collect(static_cast<char>(c));
            noDigit = false;
        } else if (c == '-') {
            negative = true;
        } else {
            in.Unget();  // does nothing after the end of input
            break;
        }
    }
    if (noDigit) return -1;
    value = run.Value(negative);
    return 0;
}

int ReadLineNumber(const std::string& line, std::size_t& position, std::int32_t& value) {
    const std::size_t size = line.size();
    const char* text = line.data();
    std::size_t p = position + 1;
    // Plain leading digits, the common case, in a tight loop; the rest of the run
    // goes through the general loop below with the same accumulator.
    RunValue run;
    bool noDigit = true;
    while (p < size && IsDigit(text[p]) && run.Length() < ScannerRunLimit) {
        run.Collect(text[p]);
        noDigit = false;
        ++p;
    }
    bool negative = false;
    for (; p < size; ++p) {
        const char c = text[p];
        const unsigned char kind = kLineClasses[static_cast<unsigned char>(c)];
        if (kind == LineCollect) {
            run.Collect(c);
            noDigit = false;
        } else if (kind == LineEnd) {
            break;
        } else if (kind == LineMinus) {
            negative = true;
        }
    }
    position = p - 1;
    if (noDigit) return -1;
    value = run.Value(negative);
    return 0;
}

}  // namespace velkar
