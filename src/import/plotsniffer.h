#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "import/plotinput.h"

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
    std::string reason;     // why the file is refused (dialect None); names no file
};

// Looks past leading NUL bytes, blanks, printer escape sequences, PJL lines and
// '#' comment lines, and recognises HP-GL by a known two-letter instruction, or
// by a few instructions of HP-GL form of which a later one is known (cutters'
// own instructions come first in some files), or DM/PL by its ";:" header. A
// DM/PL drawing behind a cutter program's own set-up lines is found by a ";:"
// at the start of a line within the first 64 KiB. Reads in through [p, end) and
// leaves p on the first instruction.
PlotSniff SniffPlotDialect(PlotInput& in, const char*& p, const char*& end);

// Skips one escape sequence starting at p (*p is ESC) and returns the byte after
// it: PCL parameterised sequences (with their binary data), HP-GL device control
// (ESC . x ... :), the universal exit with the PJL lines that follow it, and
// two-character sequences. Sets pclMode when the sequence leaves HP-GL/2 for PCL
// (ESC E, ESC % n A, the universal exit) and clears it on ESC % n B. Binary data
// that runs past end is left in unread.
const char* SkipEscapeSequence(const char* p, const char* end, bool& pclMode, std::uint64_t& unread);

// The same through the window: the sequence from p on, whatever its length.
void SkipEscapeSequence(PlotInput& in, const char*& p, const char*& end, bool& pclMode);

}  // namespace velkar
