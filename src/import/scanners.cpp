#include "import/scanners.h"

#include "import/plotterchars.h"

namespace velkar {

namespace {

// Decimal value of the collected characters up to the first non-digit, wrapped to
// 32 bits; unsigned arithmetic so that no input overflows.
std::int32_t RunValue(const char* run, std::size_t length, bool negative) {
    std::uint32_t acc = 0;
    for (std::size_t i = 0; i < length && IsDigit(run[i]); ++i)
        acc = acc * 10u + static_cast<std::uint32_t>(run[i] - '0');
    if (negative) acc = 0u - acc;
    return static_cast<std::int32_t>(acc);
}

}  // namespace

int ReadStreamNumber(TextSource& in, std::int32_t& value) {
    char run[ScannerRunLimit];
    std::size_t length = 0;
    bool negative = false;
    bool noDigit = true;
    for (;;) {
        int c = in.Get();
        if (c >= '0' && c <= '9') {
            if (length < ScannerRunLimit) run[length++] = static_cast<char>(c);
            noDigit = false;
        } else if (c == '-') {
            negative = true;
        } else {
            in.Unget();  // does nothing after the end of input
            break;
        }
    }
    if (noDigit) return -1;
    value = RunValue(run, length, negative);
    return 0;
}

int ReadLineNumber(const std::string& line, std::size_t& position, std::int32_t& value) {
    char run[ScannerRunLimit];
    std::size_t length = 0;
    bool negative = false;
    bool noDigit = true;
    const std::size_t size = line.size();
    for (;;) {
        ++position;
        if (position >= size) break;
        char c = line[position];
        if (IsDigit(c) || c == '.') {
            if (length < ScannerRunLimit) run[length++] = c;
            noDigit = false;
        } else if (c == '\n' || c == ' ' || c == ',' || c == ';' || IsLetter(c)) {
            break;
        } else if (c == '-') {
            negative = true;
        }
    }
    --position;
    if (noDigit) return -1;
    value = RunValue(run, length, negative);
    return 0;
}

}  // namespace velkar
