#include "cutter/knifepath.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velkar {

namespace {

// Not quite degrees per radian (57.2958): the corner decisions, and so the cut
// track, rest on this exact value.
constexpr double AngleFactor = 57.325;
// The buffer test lets at most 96 points in; the overlap visits at most 95.
constexpr int OverlapFullAbove = 188;
constexpr int OverlapVisitLimit = 189;
// Further from the 45-degree bound than this, in the cosine of the turn, the
// rounding of the arc cosines (a few units of 1e-15) cannot change the decision.
constexpr double TurnCosMargin = 1e-9;

double AngleOf(double cosine) { return std::acos(cosine) * AngleFactor; }
// Cosine of a turn of 45 of the processor's degrees.
const double SharpTurnCos = std::cos(45.0 / AngleFactor);

}  // namespace

CKnifePath::CKnifePath(float sharp, float close, KnifePathSink& sink)
    : m_fSharp(sharp), m_fClose(close), m_bTurns(sharp != 0.0f || sink.KeepsRepeatedCuts()), m_sink(sink) {}

CKnifePath::Segment CKnifePath::Measure(Point from, Point to) const {
    const double dx = static_cast<double>(std::int64_t{to.x} - from.x);
    const double dy = static_cast<double>(std::int64_t{to.y} - from.y);
    Segment s;
    s.length = std::sqrt(dx * dx + dy * dy);
    s.ux = dx / s.length;
    s.uy = dy / s.length;
    if (m_bTurns) {
        // Rounding of very long segments can push the quotient a hair past 1.
        // 1 - c is exact near 1, so the sine keeps its precision for flat segments.
        const double c = std::clamp(s.ux, -1.0, 1.0);
        s.angleCos = c;
        s.angleSin = std::sqrt((1.0 - c) * (1.0 + c));
    }
    return s;
}

bool CKnifePath::IsSharpTurn(double prevCos, double prevSin, double nextCos, double nextSin) {
    // Both angles lie in [0, 180], so the turn's size does too, where a larger
    // turn has a smaller cosine: |turn| >= 45 exactly when cos(turn) <= cos 45.
    const double turnCos = prevCos * nextCos + prevSin * nextSin;
    if (turnCos < SharpTurnCos - TurnCosMargin) return true;
    if (turnCos > SharpTurnCos + TurnCosMargin) return false;
    return IsSharpTurn(AngleOf(prevCos) - AngleOf(nextCos));
}

std::int32_t CKnifePath::Offset(std::int32_t base, double amount) {
    const double target = static_cast<double>(base) + std::trunc(amount);
    if (std::isnan(target)) return base;
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(target, lo, hi));
}

void CKnifePath::EmitVertex(Point p, const Segment& next) {
    if (m_bTurns && IsSharpTurn(m_dPrevAngleCos, m_dPrevAngleSin, next.angleCos, next.angleSin)) {
        const double s = m_fSharp;
        m_sink.CutTo(Offset(p.x, s * m_dPrevUx), Offset(p.y, s * m_dPrevUy));
        m_sink.CutTo(Offset(p.x, s * next.ux), Offset(p.y, s * next.uy));
    } else {
        m_sink.CutTo(p.x, p.y);
    }
}

void CKnifePath::TakeDirection(const Segment& s) {
    m_dPrevUx = s.ux;
    m_dPrevUy = s.uy;
    m_dPrevAngleCos = s.angleCos;
    m_dPrevAngleSin = s.angleSin;
}

void CKnifePath::Line(std::int32_t x, std::int32_t y) {
    const Point q{x, y};
    if (q.x == m_ptCur.x && q.y == m_ptCur.y) return;
    const Segment seg = Measure(m_ptCur, q);
    if (m_bPending) m_dRunLength += seg.length;
    if (!m_bPending || !m_bOverlapFull) {
        if (!m_bPending) m_ptStart = m_ptCur;
        if (m_fClose < m_dRunLength || m_nOverlap > OverlapFullAbove) m_bOverlapFull = true;
        m_bPending = true;
        // Path ends that do not reset the count let it creep up; a point that
        // finds no room is dropped rather than written past the buffer.
        if (m_nOverlap >= 0 && m_nOverlap + 1 < OverlapInts) {
            m_anOverlap[m_nOverlap] = q.x;
            m_anOverlap[m_nOverlap + 1] = q.y;
            m_nOverlap += 2;
        }
    }
    EmitVertex(m_ptCur, seg);
    m_ptCur = q;
    TakeDirection(seg);
}

void CKnifePath::Move(std::int32_t x, std::int32_t y) {
    EndPath(false);
    m_sink.TravelTo(x, y);
    m_ptCur = {x, y};
    m_bPending = false;
    m_nOverlap = 0;
    m_dRunLength = 0;
    m_bOverlapFull = false;
    m_dPrevUx = 0;
    m_dPrevUy = 0;
    m_dPrevAngleCos = 1;
    m_dPrevAngleSin = 0;
}

void CKnifePath::Knife() {
    EndPath(true);
    // A closing overlap can leave the count at -1; the next line must store at 0.
    if (m_nOverlap < 0) m_nOverlap = 0;
}

void CKnifePath::PathEnd() {
    if (!m_bPending) return;
    m_sink.CutTo(m_ptCur.x, m_ptCur.y);
    m_bPending = false;
}

void CKnifePath::EndPath(bool forKnife) {
    if (!m_bPending) return;
    const bool closed = m_ptCur.x == m_ptStart.x && m_ptCur.y == m_ptStart.y;
    if (closed) {
        CloseOverlap();
        return;
    }
    m_sink.CutTo(m_ptCur.x, m_ptCur.y);
    if (forKnife) m_bPending = false;
}

void CKnifePath::CloseOverlap() {
    const Point start = m_ptCur;
    m_nOverlap -= 1;
    m_dRunLength = 0;
    Point p = m_ptCur;
    int i = 0;
    while (m_nOverlap > 0 && i < OverlapVisitLimit) {
        const Point b{m_anOverlap[i], m_anOverlap[i + 1]};
        i += 2;
        m_nOverlap -= 2;
        if (b.x == p.x && b.y == p.y) continue;
        const Segment seg = Measure(p, b);
        const double before = m_dRunLength;
        m_dRunLength += seg.length;
        EmitVertex(p, seg);
        const double rest = static_cast<double>(m_fClose) - before;
        if (rest < seg.length) {
            m_sink.CutTo(Offset(p.x, rest * seg.ux), Offset(p.y, rest * seg.uy));
            m_nOverlap = 0;
        }
        // The direction of the segment just cut becomes the previous one even
        // when the overlap stops here, so a following line turns against it.
        TakeDirection(seg);
        p = b;
    }
    m_ptCur = start;
}

}  // namespace velkar
