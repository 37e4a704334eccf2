#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "import/textsource.h"

namespace velkar {

// Number scanners shared by the plotter converters. Both are loose: they collect
// the digits of one run, and any '-' inside the run makes the whole number
// negative.
//
// A run keeps its first 19 collected characters and drops the rest. The value is
// the decimal number of the kept characters up to the first non-digit, taken
// modulo 2^32 as a signed 32-bit integer (so an over-long or over-large number
// wraps instead of saturating). Only ASCII '0'-'9' count as digits and only ASCII
// 'A'-'Z', 'a'-'z' as letters; bytes with the high bit set are neither.

inline constexpr std::size_t ScannerRunLimit = 19;

// Reads one number from in, starting at the next character. Digits and '-' belong
// to the run; any other character, or the end of input, ends it. The character
// that ended the run is pushed back (nothing is pushed back at the end of input).
// Returns 0 and sets value when the run held a digit; otherwise returns -1 and
// leaves value unchanged (a lone '-' is consumed). Leading blanks are not skipped;
// '.' ends the run (12.5 reads as 12).
int ReadStreamNumber(TextSource& in, std::int32_t& value);

// Reads one number from line, starting at position + 1. Digits and '.' are
// collected; a line feed, blank, comma, semicolon or letter ends the run; '-'
// sets the sign; every other character is passed over. The end of line counts as
// a line feed, so a line without one is safe. Returns 0 and sets value when a
// digit or point was collected (the fraction is dropped; a lone '.' is 0), -1
// otherwise with value unchanged. On return position is one before the character
// that ended the run.
int ReadLineNumber(const std::string& line, std::size_t& position, std::int32_t& value);

}  // namespace velkar
