#pragma once

namespace velkar {

// Character classes of the plotter languages: ASCII only, independent of the
// locale; bytes with the high bit set are neither digits nor letters.
constexpr bool IsDigit(int c) { return c >= '0' && c <= '9'; }
constexpr bool IsLetter(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace velkar
