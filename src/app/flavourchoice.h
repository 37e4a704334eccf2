#pragma once

#include <cstdint>
#include <string>

namespace velkar {

// The caption of a flavour's button in the Import dialog ("ZORVEX PLT",
// "Coredraw PLT", "AutoCad PLT", "CasMate PLT", "Standard PLT", "SVG drawing",
// "EPS/PDF drawing" for 1 to 7); "" for any other number.
const char* FlavourCaption(int flavour);

// How many cuts "Standard PLT" finds in a plotter file: it is converted into a
// scratch job in the private temporary directory, its cuts counted (see
// CountKnifeCuts) and the job removed. -1 when
// the standard reader cannot read it. Never throws.
std::int64_t StandardPlotCuts(const std::string& plotterFile);

// What the operator is told when a conversion of plotterFile with flavour left
// nothing to cut: "FILE: nothing to cut with ZORVEX PLT; Standard PLT finds 12
// cuts", the second half only for flavours 1 to 4 and only when the standard
// reader finds something (see StandardPlotCuts). Never throws.
std::string NothingToCutText(const std::string& plotterFile, int flavour);

// The flavour the Import dialog offers for a plotter file named on the command
// line or dropped on the window: the first of flavours 1 to 4 that accepts its
// recognised type (1 "ZORVEX PLT" for HP-GL, 3 "AutoCad PLT" for the DM/PL style,
// 4 "CasMate PLT" for "H;;"), provided that flavour's converter finds something
// to cut in the file's first TrialBytes; otherwise 5 "Standard PLT". The trial
// runs on a scratch copy in the private temporary directory, so a large file
// costs no more than a small one. Never throws.
int FlavourThatReads(const std::string& plotterFile);

inline constexpr std::uint64_t TrialBytes = 1u << 20;

}  // namespace velkar
