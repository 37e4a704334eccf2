#pragma once

#include <cstddef>
#include <string>

namespace velkar {

// Plotter types, recognised from the start of a plotter file.
inline constexpr int PlotterTypeUnknown = -1;
inline constexpr int PlotterTypeMultiKnife = 0;      // " ;:AHOL": DM/PL style, several knives
inline constexpr int PlotterTypeHpgl = 1;            // "IN" without "MC1;" or "PR"
inline constexpr int PlotterTypeHpglNoConverter = 2; // "IN" with "MC1;" or "PR": nothing is converted
inline constexpr int PlotterTypeH = 3;               // "H;;"

// Import flavours: the program that wrote the plotter file.
inline constexpr int FlavourZorvex = 1;    // "ZORVEX PLT"
inline constexpr int FlavourCoredraw = 2;  // "Coredraw PLT"
inline constexpr int FlavourAutocad = 3;   // "AutoCad PLT"
inline constexpr int FlavourCasmate = 4;   // "CasMate PLT"

// Only this many characters of a file take part in the recognition.
inline constexpr std::size_t RecognitionLength = 39;

// The plotter type of a file from its first characters, by case-sensitive
// substring tests in this order, a later match overriding an earlier one:
// "IN" gives 1 (or 2 when "MC1;" or "PR" is there too), "H;;" gives 3,
// " ;:AHOL" gives 0; none of them gives -1. Only the text before the first zero
// byte, and of that at most the first 39 characters, is looked at.
int RecognizePlotterType(const std::string& first39);

// Reads the text that the recognition looks at: up to 39 characters of the file
// with each CR LF counted as one LF, ending early at a zero byte. Returns false
// when the file cannot be opened, with error set to the errno. Raises FileError
// when it cannot be read.
bool ReadRecognitionText(const std::string& path, std::string& text, int& error);

// A flavour given as 1 to 4 or as its name (zorvex, coredraw, autocad, casmate;
// any letter case). Returns 0 when text names none.
int ParseFlavour(const std::string& text);

// The lower-case name of a flavour, or "" for a number outside 1 to 4.
const char* FlavourName(int flavour);

// Whether a flavour may import a plotter type: flavours 1 and 2 take type 1,
// flavour 3 takes type 0, flavour 4 takes every type. Returns "" when the pair
// is accepted, otherwise the refusal the operator sees: "file type error"
// (flavours 1 and 2, and any flavour outside 1 to 4) or "file type isn't CAD"
// (flavour 3).
std::string CheckFlavourAndType(int flavour, int type);

// The job file for a plotter file: the extension of the file-name part (from
// its last '.') replaced by "PT1", or ".PT1" appended when the file name has no
// '.'. Directory parts are never changed: ./jobs/logo.plt gives ./jobs/logo.PT1
// and /home/ann/.work/logo gives /home/ann/.work/logo.PT1.
std::string DeriveJobPath(const std::string& source);

}  // namespace velkar
