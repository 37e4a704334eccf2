#pragma once

#include <string>

#include "job/jobrecord.h"

namespace velkar {

// Import flavours of drawings, beside the plotter-file flavours 1 to 5.
inline constexpr int FlavourSvg = 6;         // "SVG drawing"
inline constexpr int FlavourPostScript = 7;  // "EPS/PDF drawing": PostScript, EPS, PDF, Illustrator

// Results of the drawing imports besides ConversionDone, ConversionFileFailed
// (a file unreadable or not writable) and ConversionOutOfRange.
inline constexpr ConversionResult ConversionNotDrawing = 13;  // refused: not a drawing of the flavour
inline constexpr ConversionResult ConversionNoTool = 14;      // a program the import needs is missing or failed

// The drawing flavour of a file from its name (.svg, .svgz; .eps, .ps, .pdf,
// .ai in any letter case) or else from its first bytes (an <svg> element,
// gzip-compressed or not; "%!PS", "%PDF", the binary EPS header); 0 for a file
// that is not a drawing or cannot be read.
int DrawingFlavourOf(const std::string& path);

}  // namespace velkar
