#pragma once

#include "import/hpgllabelpen.h"
#include "import/hpgllinetype.h"
#include "import/plotinput.h"
#include "import/hpglscaling.h"
#include "import/plotjobsink.h"
#include "import/standardplotstats.h"

namespace velkar {

// Reads HP-GL and HP-GL/2 instructions from a buffer and draws them into a
// PlotJobSink. Understands IN, DF, SP, PU, PD, PA, PR (any number of pairs,
// separated by commas, blanks or signs, terminators optional, decimals), IP,
// IR, SC (types 0, 1 and 2), PS, IW (cuts are clipped to the window; IW alone
// opens it to the plot size when a PS before the drawing gave one), RO, CI,
// AA, AR, AT, RT, EA, ER, RA, RR, EW, PE and polygon mode (edges are cut as
// they are given). Line types (LT, UL) cut a dashed line as its dashes. LB,
// BL and SM texts and FP and WG fills are skipped and counted in the stats,
// but labels and CP move the pen as the plotter would move it drawing the text
// (HpglLabelPen); other instructions are skipped with their parameters
// (settings silently, the rest counted as unknown). Escape sequences, PCL passages and '#' comment lines are
// skipped. User units become plotter units through HpglScaling. Arcs and
// circles become chords whose sagitta is a quarter unit, so that with the
// rounding they stay within one unit of the curve (at most 4096 chords per
// arc), unless the file gives its own chord angle (or with CT1 chord
// distance), which is then followed as a plotter follows it: equal chords and
// a shorter last one. Raises PlotRangeError (from the sink) for a coordinate
// out of range and FileError when the job cannot be written.
class HpglReader {
public:
    HpglReader(PlotJobSink& sink, StandardPlotStats& stats);
    // Reads from [p, end), a window of in, to the end of the file.
    void Read(PlotInput& in, const char* p, const char* end);

private:
    // True when a byte is at m_p, reading on when the window is used up.
    bool Has() { return m_p < m_end || !m_in->Exhausted(m_p, m_end); }
    // Reads on when fewer bytes are left than a step may look ahead.
    void Ensure() { m_in->Ensure(m_p, m_end); }
    bool Number(double& value);
    void SkipParameters();
    void SkipTerminator();
    void SkipText(bool count);
    void Label();
    void MoveLabelPen(const double* v, int n);
    void PenPairs();
    void Plot(double x, double y, bool relative, bool down);
    void CutTo(double px, double py);
    void ClipCut(double px, double py);
    void TravelTo(double px, double py);
    void InputWindow();
    int Numbers(double* values, int most);
    void Initialize(bool reset);
    void Rotate();
    void DefineTerminator();
    void SymbolMode();
    void Comment();
    void Circle();
    void Arc(bool relative);
    void ThreePointArc(bool relative);
    void Rectangle(bool relative);
    void EdgeWedge();
    void Encoded();
    bool EncodedNumber(bool sevenBit, double& value);
    double ChordStep(double value, double radius) const;
    // chordStep: the file's chord angle in radians, or 0 for chords within one unit of the curve.
    void ArcPoints(double cx, double cy, double radius, double start, double sweep, bool down, double chordStep);

    PlotJobSink& m_sink;
    StandardPlotStats& m_stats;
    PlotInput* m_in = nullptr;
    const char* m_p = nullptr;
    const char* m_end = nullptr;
    bool m_bPcl = false;
    bool m_bPenDown = false;
    bool m_bRelative = false;
    char m_cTerminator = '\x03';
    bool m_bPrintTerminator = false;  // DT t,0: the terminator is drawn with the label
    HpglScaling m_scaling;
    HpglLineType m_lineType;
    HpglLabelPen m_labelPen;
    bool m_bChordDistance = false;  // CT1: chord parameters are distances, not angles
    int m_nRotation = 0;  // RO: 0, 90, 180 or 270
    bool m_bDrawn = false;            // something was cut
    bool m_bPlotSizeWindow = false;   // a PS before the first cut gave the plot size
    bool m_bWindow = false;
    double m_dWindow[4] = {0, 0, 0, 0};  // clip window in plotter units: left, bottom, right, top
};

}  // namespace velkar
