#pragma once

#include <cstdint>
#include <string>

#include "drawingimport/drawingflavour.h"
#include "drawingimport/drawingstats.h"
#include "import/standardplotreader.h"
#include "job/jobrecord.h"

namespace velkar {

// Converts an SVG drawing (.svg, or gzip-compressed .svgz) into a job, as Qt's
// SVG module renders it: every visible shape, text as its glyph outlines, is
// cut once along its geometry in the drawing's own order, at the document's
// true size with y growing upwards from the bottom edge of the page
// (orientation flag 1), and with a knife per colour or per "Knife N" layer (see
// DrawingRecorder). Records as the Standard PLT reader writes them: RecJobStart,
// a RecKnife at each change of knife, RecMove and RecLines per path, one
// RecPathEnd.
//
// count receives the number of records (headers included) on success; stats
// the knives used and what was left out. On failure error holds one line
// naming the file and the reason, the result is ConversionFileFailed,
// ConversionNotDrawing ("not an SVG drawing: FILE: reason") or
// ConversionOutOfRange, and an existing job at output is left as it was.
// Needs a QGuiApplication, and makes one on the offscreen platform when the
// process has no Qt application yet. Never throws for a file's content.
ConversionResult ConvertSvgDrawing(const std::string& input, const std::string& output, std::int32_t& count,
                                   DrawingStats& stats, std::string& error);

}  // namespace velkar
