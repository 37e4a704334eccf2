#pragma once

#include "import/plotinput.h"
#include "import/plotjobsink.h"
#include "import/standardplotstats.h"

namespace velkar {

// Reads DM/PL from a buffer (from its ";:" header on) and draws it into a
// PlotJobSink: the unit commands ECN (0.025 mm), EC1 (0.001 inch), EC5
// (0.005 inch), ECM (0.1 mm), EC2 and EC3 (0.002 and 0.003 inch); A absolute
// and R relative; U and D followed by coordinate pairs separated by commas or
// blanks (a pair without a letter keeps the pen as it is); P n selects knife n;
// "@", "Z" and "e" end the drawing. H, L, V and O settings are skipped silently,
// other commands skipped with their parameters and counted as unknown. Without
// an EC command one unit is 0.025 mm. Raises as the sink does.
class DmplReader {
public:
    DmplReader(PlotJobSink& sink, StandardPlotStats& stats);
    // Reads from [p, end), a window of in, to the end of the drawing or of the file.
    void Read(PlotInput& in, const char* p, const char* end);

private:
    bool Has() { return m_p < m_end || !m_in->Exhausted(m_p, m_end); }
    void Ensure() { m_in->Ensure(m_p, m_end); }
    double Number();
    void Pairs();
    void Units();
    void SkipNumbers();

    PlotJobSink& m_sink;
    StandardPlotStats& m_stats;
    PlotInput* m_in = nullptr;
    const char* m_p = nullptr;
    const char* m_end = nullptr;
    double m_dUnit = 1;  // job units per file unit
    bool m_bRelative = false;
    bool m_bPenDown = false;
};

}  // namespace velkar
