#pragma once

namespace velkar {

// The mapping of HP-GL user units to plotter units (0.025 mm): the plot size,
// the scaling points P1 and P2, and the SC scaling between them.
// Without IP, P1 is (0, 0) and P2 the plot size, which starts at (33600, 47520).
// IP and IR end a scaling: the user units of a later SC span the new P1 and P2.
// A degenerate scaling (empty range, zero or non-finite factor) is ignored.
class HpglScaling {
public:
    // Each takes the n parameters that its instruction had (n may be 0).
    void Reset();                                  // IN: P1 and P2 from the plot size, scaling off
    void Off();                                    // SC without parameters, DF
    void InputPoints(const double* v, int n);      // IP: P1 and P2 in plotter units
    void InputRelative(const double* v, int n);    // IR: P1 and P2 in percent of the plot size
    void PlotSize(const double* v, int n);         // PS: length and width of the plot
    void Scale(const double* v, int n);            // SC xmin,xmax,ymin,ymax[,type[,left,bottom]]

    void ToPlotter(double ux, double uy, double& px, double& py) const {
        px = m_dOX + m_dSX * ux;
        py = m_dOY + m_dSY * uy;
    }
    void ToUser(double px, double py, double& ux, double& uy) const {
        ux = (px - m_dOX) / m_dSX;
        uy = (py - m_dOY) / m_dSY;
    }
    double SpanX() const { return m_dP2X - m_dP1X; }
    double SpanY() const { return m_dP2Y - m_dP1Y; }
    double Diagonal() const;                  // from P1 to P2, plotter units
    double FactorX() const { return m_dSX; }  // plotter units per user unit
    double FactorY() const { return m_dSY; }

private:
    void Update();

    double m_dSizeX = 33600, m_dSizeY = 47520;
    double m_dP1X = 0, m_dP1Y = 0, m_dP2X = 33600, m_dP2Y = 47520;
    int m_nType = -1;                    // -1: scaling off
    double m_dRange[4] = {0, 1, 0, 1};   // xmin, xmax, ymin, ymax (xmin, xfactor, ymin, yfactor for type 2)
    double m_dLeft = 50, m_dBottom = 50; // isotropic placement, percent
    double m_dSX = 1, m_dSY = 1, m_dOX = 0, m_dOY = 0;
};

}  // namespace velkar
