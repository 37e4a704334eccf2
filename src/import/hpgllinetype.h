#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

namespace velkar {

// The HP-GL line type (LT) and user patterns (UL): which parts of a drawn
// segment are inked. A fixed pattern runs on from segment to segment and from
// one PD to the next, and starts again after every pen-up move. An adaptive
// pattern (negative type) is stretched so that a whole number of patterns fits
// each segment. Type 0 inks a dot at the end of each segment. Lengths are
// plotter units; a dot is an inked part of length zero.
class HpglLineType {
public:
    HpglLineType();

    // LT [type[,length[,mode]]]: the n parameters, and the diagonal from P1 to
    // P2 in plotter units (a relative length is a percentage of it). Without a
    // parameter, or with a type beyond 8, lines are solid again.
    void Select(const double* v, int n, double diagonal);
    // UL [index[,gap1,...]]: defines pattern index (1 to 8) from up to 20 percentages;
    // UL alone restores every default pattern, UL index alone that one.
    void Define(const double* v, int n);
    void Restart() { m_nElement = 0, m_dInPattern = 0; }  // a pen-up move
    void Reset();                                         // IN: solid, default patterns and length

    bool Solid() const { return m_bSolid; }

    // Calls ink(from, to) for each inked part of a segment of the given length,
    // from and to measured along it (to == from for a dot), in order.
    template <typename Ink>
    void Walk(double length, Ink&& ink);

private:
    // Parts of a pattern: dash, gap, dash, ... as fractions summing to 1.
    using Pattern = std::vector<double>;
    static constexpr int MostElements = 20;
    // Beyond this many patterns in one segment the segment is cut solid: the
    // dashes could not be told apart, and the work per instruction stays bounded.
    static constexpr double MostPatterns = 4096;

    static Pattern Adaptive(const Pattern& fixed);
    void Load();

    std::array<Pattern, 8> m_patterns;
    std::array<Pattern, 8> m_adaptive;
    bool m_bSolid = true;
    int m_nType = 0;             // -8 to 8 while not solid
    double m_dPercent = 4;       // pattern length as a percentage of the diagonal (mode 0)
    double m_dMillimetres = -1;  // or in millimetres (mode 1) when not negative
    double m_dLength = 1;        // pattern length in plotter units, set by Select
    const Pattern* m_pPattern = nullptr;
    std::size_t m_nElement = 0;  // the part of the pattern the pen is in
    double m_dInPattern = 0;     // where in the pattern the pen is, as a fraction
};

template <typename Ink>
void HpglLineType::Walk(double length, Ink&& ink) {
    if (m_bSolid || !(length > 0)) return;
    if (m_nType == 0) {
        ink(length, length);
        return;
    }
    double patternLength = m_dLength;
    const Pattern* pattern = m_pPattern;
    if (m_nType < 0) {
        double n = std::floor(length / patternLength + 0.5);
        if (n < 1) n = 1;
        patternLength = length / n;
        m_nElement = 0, m_dInPattern = 0;
    }
    if (length / patternLength > MostPatterns) {
        ink(0.0, length);
        return;
    }
    const Pattern& p = *pattern;
    // Start of the current part in the pattern, as a fraction.
    double partStart = 0;
    for (std::size_t i = 0; i < m_nElement; ++i) partStart += p[i];
    double at = 0;
    for (;;) {
        const double partEnd = partStart + p[m_nElement];
        const double left = (partEnd - m_dInPattern) * patternLength;
        const bool inked = m_nElement % 2 == 0;
        if (inked && p[m_nElement] == 0 && m_dInPattern == partStart) ink(at, at);
        if (at + left > length) {
            if (inked && p[m_nElement] > 0) ink(at, length);
            m_dInPattern += (length - at) / patternLength;
            return;
        }
        if (inked && p[m_nElement] > 0) ink(at, at + left);
        at += left;
        if (++m_nElement == p.size()) {
            m_nElement = 0, partStart = 0, m_dInPattern = 0;
        } else {
            partStart = partEnd, m_dInPattern = partEnd;
        }
        if (at >= length) return;
    }
}

}  // namespace velkar
