#pragma once

#include <cmath>
#include <cstdint>

namespace velkar {

// True for the bytes that may start a number in plotter text.
inline bool StartsPlotNumber(char c) { return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.'; }

// Reads a decimal number ([+-]digits[.digits]) at p, which must satisfy
// StartsPlotNumber, and leaves p after it. A lone sign or dot reads as 0.
// Digits beyond the eighteenth only scale the value, so any length is safe;
// a value too large for a double comes out infinite (callers refuse it).
inline double ParsePlotNumber(const char*& p, const char* end) {
    static constexpr double Tens[19] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9,
                                        1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    std::uint64_t mantissa = 0;
    int digits = 0, fraction = 0, dropped = 0;
    while (p < end && *p >= '0' && *p <= '9') {
        if (digits < 18) mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0'), ++digits;
        else ++dropped;
        ++p;
    }
    if (p < end && *p == '.') {
        ++p;
        while (p < end && *p >= '0' && *p <= '9') {
            if (digits < 18) mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0'), ++digits, ++fraction;
            ++p;
        }
    }
    double value = static_cast<double>(mantissa);
    if (fraction) value /= Tens[fraction];
    if (dropped) value *= std::pow(10.0, dropped);
    return negative ? -value : value;
}

}  // namespace velkar
