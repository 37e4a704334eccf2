#pragma once

#include <cstdint>
#include <string>

#include "import/plotinput.h"
#include "import/standardplotstats.h"
#include "job/jobrecord.h"

namespace velkar {

// Import flavour 5, "Standard PLT": any program's HP-GL, HP-GL/2 or DM/PL.
inline constexpr int FlavourStandard = 5;

// Results of ConvertStandardPlotFile besides ConversionDone and ConversionFileFailed.
inline constexpr ConversionResult ConversionNotPlotterFile = 11;  // refused: neither HP-GL nor DM/PL
inline constexpr ConversionResult ConversionOutOfRange = 12;      // refused: a coordinate or the job too large

// Converts a plotter file written by any program ("Standard PLT") into a job.
// The language is recognised from the content (HP-GL, HP-GL/2, DM/PL, behind
// PCL or PJL wrappers, escape sequences and leading NUL bytes), never from the
// first 39 characters. The job holds RecJobStart, then in drawing order a
// RecKnife at each change of knife, a RecMove per pen-up move, a RecLine per
// segment, and one RecPathEnd; one HP-GL plotter unit is one job unit, and the
// orientation flag is 1 (y grows upwards).
//
// count receives the number of records in the job (headers included) on
// success; stats the number of labels, fills and unknown instructions skipped.
// On failure error holds one line naming the file and the reason, the result
// is ConversionFileFailed (input unreadable, job not writable),
// ConversionNotPlotterFile ("not a plotter file: <input>: <reason>") or
// ConversionOutOfRange, and an existing job at output is left as it was.
// The input is read in a window that slides over it (lookahead: see PlotInput;
// smaller values serve tests of the window's edges), so memory does not grow
// with the file. An allocation that fails gives "<input>: not enough memory".
// Never throws for a file's content or for a file error.
ConversionResult ConvertStandardPlotFile(const std::string& input, const std::string& output, std::int32_t& count,
                                         StandardPlotStats& stats, std::string& error,
                                         std::size_t lookahead = PlotInput::DefaultLookahead);

}  // namespace velkar
