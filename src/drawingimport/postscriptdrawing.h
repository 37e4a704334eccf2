#pragma once

#include <cstdint>
#include <string>

#include "drawingimport/drawingflavour.h"
#include "drawingimport/drawingstats.h"
#include "job/jobrecord.h"

namespace velkar {

// Converts a PostScript, EPS, PDF or Illustrator drawing into a job: pstoedit
// (with Ghostscript) writes it as HP-GL, text as outlines and one pen per
// colour, into a file of its own in the private temporary directory, and the
// Standard PLT reader turns that into the job (same records, true size, pens 1
// to 8 as knives 1 to 8). The temporary file is removed afterwards.
//
// Results and errors as ConvertSvgDrawing; a missing pstoedit or Ghostscript
// gives ConversionNoTool with "cannot convert FILE: pstoedit is not installed
// (Debian package pstoedit)" (or Ghostscript, package ghostscript), a file
// that they cannot read ConversionNotDrawing with "not a PostScript or PDF
// drawing: FILE: " and the last line pstoedit wrote (or, for one that holds
// no lines, "pstoedit found no lines in it (raster images are not cut)").
// stats counts the paths and length per knife; labels and fills cannot occur.
ConversionResult ConvertPostScriptDrawing(const std::string& input, const std::string& output, std::int32_t& count,
                                          DrawingStats& stats, std::string& error);

}  // namespace velkar
