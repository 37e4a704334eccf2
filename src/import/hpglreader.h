#pragma once

#include "import/plotjobsink.h"
#include "import/standardplotstats.h"

namespace velkar {

// Reads HP-GL and HP-GL/2 instructions from a buffer and draws them into a
// PlotJobSink. Understands IN, DF, SP, PU, PD, PA, PR (any number of pairs,
// separated by commas, blanks or signs, terminators optional, decimals), IP, IR,
// SC (types 0, 1 and 2), PS, RO, CI, AA, AR, AT, RT, EA, ER, RA, RR, EW, PE and
// polygon mode (edges are cut as they are given); LB, BL and SM texts and FP and
// WG fills are skipped and counted in the stats, other instructions skipped with
// their parameters (settings silently, the rest counted as unknown). Escape
// sequences, PCL passages and '#' comment lines are skipped.
//
// Without IP, P1 is (0, 0) and P2 (33600, 47520); PS sets P2 to the plot size.
// IP and IR end a scaling: the user units of a later SC span the new P1 and P2.
// Arcs and circles become chords within a quarter unit of the curve.
// Raises PlotRangeError (from the sink) for a coordinate out of range and
// FileError when the job cannot be written.
class HpglReader {
public:
    HpglReader(PlotJobSink& sink, StandardPlotStats& stats);
    void Read(const char* begin, const char* end);

private:
    bool Number(double& value);
    void SkipParameters();
    void SkipTerminator();
    void SkipText(bool count);
    void PenPairs();
    void Plot(double x, double y, bool relative, bool down);
    void ToPlotter(double ux, double uy, double& px, double& py) const;
    void ToUser(double px, double py, double& ux, double& uy) const;
    void Initialize(bool reset);
    void InputP1P2();
    void InputRelative();
    void PlotSize();
    void Scale();
    void UpdateScaling();
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
    void ArcPoints(double cx, double cy, double radius, double start, double sweep, bool down);

    PlotJobSink& m_sink;
    StandardPlotStats& m_stats;
    const char* m_p = nullptr;
    const char* m_end = nullptr;
    bool m_bPcl = false;
    bool m_bPenDown = false;
    bool m_bRelative = false;
    char m_cTerminator = '\x03';
    double m_dSizeX = 33600, m_dSizeY = 47520;  // plot size
    double m_dP1X = 0, m_dP1Y = 0, m_dP2X = 33600, m_dP2Y = 47520;
    int m_nScaleType = -1;                      // -1: scaling off
    double m_dScale[4] = {0, 1, 0, 1};          // xmin, xmax, ymin, ymax (or factors for type 2)
    double m_dLeft = 50, m_dBottom = 50;        // isotropic placement, percent
    double m_dSX = 1, m_dSY = 1, m_dOX = 0, m_dOY = 0;  // user to plotter: p = o + s * u
};

}  // namespace velkar
