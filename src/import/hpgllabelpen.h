#pragma once

#include <cstddef>

namespace velkar {

// Where the pen stands after HP-GL text. Labels are not cut, but a plotter
// moves its pen as it draws them, and later relative moves start from there.
// Follows character size (SI in centimetres, SR in percent of P2 - P1), text
// direction (DI, DR), label origin (LO, horizontal part), extra space (ES),
// the carriage-return point (set by every PU, PD, PA or PR), and CP. A
// character advances the pen by 1.5 character widths, a line feed moves it
// by 2 character heights, square to the text direction. Positions and spans
// are plotter units; the caller passes the P1-to-P2 span for relative sizes.
class HpglLabelPen {
public:
    HpglLabelPen() { Reset(); }

    void Reset();                                  // IN and DF
    void AbsoluteSize(const double* v, int n);     // SI width, height (cm)
    void RelativeSize(const double* v, int n);     // SR width, height (percent)
    void AbsoluteDirection(const double* v, int n);  // DI run, rise
    void RelativeDirection(const double* v, int n);  // DR run, rise (percent of the span)
    void Origin(const double* v, int n);           // LO position
    void ExtraSpace(const double* v, int n);       // ES characters, lines
    void SetReturnPoint(double x, double y) { m_dReturnX = x, m_dReturnY = y; }

    // Moves (x, y) as the label text [text, text + size) moves the pen.
    void Label(const char* text, std::size_t size, double spanX, double spanY, double& x, double& y);
    // A text too long to hold at once: LabelPart for each piece in order, then
    // LabelEnd, moves (x, y) as Label moves it for the whole text.
    struct Run {
        double firstLine = 0;     // characters of the first line so far
        bool firstLineDone = false;
        bool returned = false;    // a carriage return: the alignment no longer counts
    };
    void LabelPart(const char* text, std::size_t size, double spanX, double spanY, double& x, double& y, Run& run);
    void LabelEnd(double spanX, double spanY, double& x, double& y, const Run& run) const;
    // CP characters, lines (n = 2), or CP alone: carriage return and line feed.
    void CharacterPlot(const double* v, int n, double spanX, double spanY, double& x, double& y);

private:
    struct Steps {
        double charX, charY, lineX, lineY;  // one character forward, one line down
    };
    Steps StepsFor(double spanX, double spanY) const;

    bool m_bRelativeSize = true;
    double m_dWidth = 0.5, m_dHeight = 0.75;   // percent of the span, or centimetres
    bool m_bRelativeDirection = false;
    double m_dRun = 1, m_dRise = 0;
    int m_nOrigin = 1;
    double m_dExtraChars = 0, m_dExtraLines = 0;
    double m_dReturnX = 0, m_dReturnY = 0;
};

}  // namespace velkar
