#pragma once

#include <cstdint>
#include <string>

#include "job/jobrecord.h"

namespace velkar {

// Converts an "H;;" plotter file (M x,y move, Z x,y,z draw, H end of a drawing
// sequence; the first "H;" only switches the converter on) into a PT1 job at
// output. Coordinates are stored as read; the orientation flag is 4 (y as
// stored). The body starts with RecJobStart; each complete M pair writes a
// RecMove, each complete Z triple a RecLine with its third number in z. Once
// switched on, an H writes a RecMove to the bounding-box minimum when the last
// command was Z, then a RecPathEnd. Malformed text is passed over, never reported.
//
// count is set to 0 first and ends as the number of records in the job.
// flavour is accepted and not used.
// Returns ConversionDone, or ConversionFileFailed when input cannot be opened or
// output cannot be created (count is then 0 and no job is written; an existing
// file at output is left as it was). A read or write failure during the
// conversion raises FileError, and the previous file at output stays in place.
ConversionResult ConvertHFile(const std::string& input, const std::string& output, std::int32_t& count, int flavour);

}  // namespace velkar
