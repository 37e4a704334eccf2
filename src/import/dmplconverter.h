#pragma once

#include <cstdint>
#include <string>

#include "job/jobrecord.h"

namespace velkar {

// Converts a DM/PL-style plotter file (the multi-knife dialect: U knife up,
// D knife down, UP<n> knife select, '@' end of a drawing sequence) into a PT1
// job at output. Coordinates are stored as read; z stays 0; the orientation flag
// is 1 (mirror y). The body starts with RecJobStart; every complete coordinate
// pair writes one RecMove or RecLine, UP<n> a RecKnife (n as read, unchecked),
// '@' a RecPathEnd. Malformed text is passed over, never reported.
//
// count is set to 0 first and ends as the number of records in the job.
// flavour is accepted and not used.
// Returns ConversionDone, or ConversionFileFailed when input cannot be opened or
// output cannot be created (count is then 0 and no job is written; an existing
// file at output is left as it was). A read or write failure during the
// conversion raises FileError, and the previous file at output stays in place.
ConversionResult ConvertDmplFile(const std::string& input, const std::string& output, std::int32_t& count, int flavour);

}  // namespace velkar
