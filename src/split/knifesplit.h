#pragma once

#include <cstdint>
#include <string>

#include "job/jobrecord.h"

namespace velkar {

// Distributes the converted multi-knife job at `convertedJob` (a PT1 file with
// headers) into the knife files PipelineFiles::KnifeFile(1..8): each run of
// moves and lines after a knife-select record goes to its knife's file, runs of
// one knife in file order. A knife number above 8 counts as knife 1; a run
// whose knife number is 0 or negative is dropped. Knife files of an earlier run
// are removed first. Sets bit k-1 of knifeMask for each knife file written
// (also when it stays empty); other bits are left alone.
//
// The scan trusts the count in the first header but stops at the end of the file.
// Returns ConversionDone, or ConversionFileFailed when the converted job or a
// knife file cannot be opened. Raises FileError on a failed read, write, seek
// or remove. The caller holds PipelineFiles.
ConversionResult SplitByKnife(std::string convertedJob, std::uint8_t& knifeMask);

}  // namespace velkar
