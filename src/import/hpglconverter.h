#pragma once

#include <cstdint>
#include <string>

#include "job/jobrecord.h"

namespace velkar {

// Converts an HP-GL plotter file written one instruction per line into a PT1
// job at output. Only IN, PU, PD and SP are recognised, wherever their letter
// pairs appear; everything else is passed over. Each line writes at most one
// record, the working record as all instructions of the line left it, and only
// when one of them marked the line (IN, PU, PD with x and y, SP with a number).
// No RecJobStart is written except for IN, so a file without instructions gives
// a job of the three headers alone.
//
// flavour sets the scale and the orientation flag: 1 ("ZORVEX PLT") scale 1 and
// flag 4 (y as stored); 2 ("Coredraw PLT") scale 1 and flag 1 (mirror y);
// 4 ("CasMate PLT") scale 0.4, computed as 2 * n / 5 truncated toward zero, and
// flag 1. Any other flavour is converted as flavour 1. Knife numbers are never
// scaled.
//
// count is set to 0 first and ends as the number of records in the job.
// Returns ConversionDone, or ConversionFileFailed when input cannot be opened or
// output cannot be created (count is then 0 and no job is written; an existing
// file at output is left as it was). A read or write failure during the
// conversion raises FileError, and the previous file at output stays in place.
ConversionResult ConvertHpglFile(const std::string& input, const std::string& output, std::int32_t& count, int flavour);

}  // namespace velkar
