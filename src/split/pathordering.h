#pragma once

#include <string>

#include "job/jobrecord.h"

namespace velkar {

// Ordering of one knife file (bare move and line records, no headers), in place.
// Scratch output goes to PipelineFiles::ChainScratch() / BandScratch() and then
// takes the knife file's name; the caller holds PipelineFiles.
//
// Each step returns ConversionDone; ConversionLineBeforeMove when a line comes
// before any move (nothing written, the knife file untouched); or
// ConversionFileFailed when the knife file or the scratch file cannot be opened
// (the knife file keeps its content). Read, write, remove and rename failures
// raise FileError; the scratch file is then removed.

// Chain twice, then sort in bands. A result of 1 from a step counts as success.
// Returns ConversionDone or ConversionFileFailed.
ConversionResult OrderKnifePaths(std::string knifeFile);

// Drops one-record paths, two-record paths standing on one point and repeated
// points; ends a path where it turns straight back over itself, the part after
// the retrace becoming a new path; writes closed paths first; then joins open
// paths whose ends meet, always searching from the first path in list order.
ConversionResult ChainKnifePaths(std::string knifeFile);

// Orders paths by start y (stable), then takes bands from the first remaining
// path's start y up to 500 units above it (inclusive), each ordered by start x
// (stable).
ConversionResult SortPathsInBands(std::string knifeFile);

}  // namespace velkar
