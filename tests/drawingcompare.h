#pragma once

#include <string>
#include <vector>

#include "job/jobrecord.h"

namespace velkar::test {

// One drawn stroke, in plotter units.
struct Stroke {
    double x0, y0, x1, y1;
};

// The strokes of a job: every RecLine from the point before it.
std::vector<Stroke> JobStrokes(const std::vector<JobRecord>& records);

// The strokes of the job that the Standard PLT reader writes to `job` from
// `input`; false, with the reason in `error` when given, when it refuses the file.
bool StandardPlotStrokes(const std::string& input, const std::string& job, std::vector<Stroke>& strokes,
                         std::string* error = nullptr);

// The strokes of the plain HP-GL (SP, PA, PU x,y, PD x,y) that hp2xx writes in its hpgl mode.
std::vector<Stroke> ReferenceStrokes(const std::string& text);

// How two drawings agree when each is moved to its own lower-left corner and
// both are rasterised on one grid whose larger side has about 1000 cells.
struct DrawingMatch {
    double coveredOfOurs = 0;       // share of our stroke cells within one cell of the reference's
    double coveredOfReference = 0;  // and the other way round
    double widthError = 0;          // |difference of box widths| / larger side of the reference
    double heightError = 0;
    bool Meets() const {
        return coveredOfOurs >= 0.98 && coveredOfReference >= 0.98 && widthError <= 0.01 && heightError <= 0.01;
    }
    std::string Describe() const;
};

DrawingMatch CompareDrawings(const std::vector<Stroke>& ours, const std::vector<Stroke>& reference);

// `s` in single quotes for the shell.
std::string ShellQuote(const std::string& s);

}  // namespace velkar::test
