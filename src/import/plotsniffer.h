#pragma once

#include <cstddef>
#include <string>

namespace velkar {

// Plotter languages that the standard reader understands.
enum class PlotDialect {
    None,  // not a plotter file
    Hpgl,  // HP-GL or HP-GL/2, possibly wrapped in PCL or PJL
    Dmpl,  // DM/PL, starting with ";:"
};

// What the first instructions of a file say about it.
struct PlotSniff {
    PlotDialect dialect = PlotDialect::None;
    std::size_t start = 0;  // offset of the first instruction after the wrapper
    std::string reason;     // why the file is refused (dialect None); names no file
};

// Looks past leading NUL bytes, blanks, printer escape sequences, PJL lines and
// '#' comment lines, and recognises HP-GL by a known two-letter instruction or
// DM/PL by its ";:" header. A DM/PL drawing behind a cutter program's own set-up
// lines is found by a ";:" at the start of a line within the first 64 KiB.
// Never reads outside [data, data + size).
PlotSniff SniffPlotDialect(const char* data, std::size_t size);

// Skips one escape sequence starting at p (*p is ESC) and returns the byte after
// it: PCL parameterised sequences (with their binary data), HP-GL device control
// (ESC . x ... :), the universal exit with the PJL lines that follow it, and
// two-character sequences. Sets pclMode when the sequence leaves HP-GL/2 for PCL
// (ESC E, ESC % n A, the universal exit) and clears it on ESC % n B.
const char* SkipEscapeSequence(const char* p, const char* end, bool& pclMode);

}  // namespace velkar
