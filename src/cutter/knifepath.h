#pragma once

#include <cstdint>

namespace velkar {

// Receives the knife's track from CKnifePath, point by point, synchronously.
class KnifePathSink {
public:
    virtual ~KnifePathSink() = default;
    // Cut with the knife down from the current point to (x, y).
    virtual void CutTo(std::int32_t x, std::int32_t y) = 0;
    // Lift the knife and travel to (x, y).
    virtual void TravelTo(std::int32_t x, std::int32_t y) = 0;
    // False when a cut to the point just reached may be left out: a picture
    // loses nothing by it, a command stream would lose a command.
    virtual bool KeepsRepeatedCuts() const { return true; }
};

// Knife-offset compensation shared by the send and the drawing.
//
// Works in the caller's integer units (job units for the send, pixels for the
// drawing); the sharp and close lengths are in the same units. At a sharp
// corner (a turn of 45 degrees or more either way) the knife cuts on past the
// corner by the sharp length, then goes to the point the sharp length along the
// next side. A path that ends where it began (ended by Move or Knife) is cut
// over its beginning once more for the close length, with the same corner
// treatment.
//
// Feed one call per job record in file order. There are no errors: a line to
// the current point is ignored, and any int32 input is safe (differences are
// formed in 64 bits; an output point beyond the int32 range is clamped to it).
// Allocates nothing; one object serves one pass over one job.
class CKnifePath {
public:
    CKnifePath(float sharp, float close, KnifePathSink& sink);

    void Line(std::int32_t x, std::int32_t y);
    void Move(std::int32_t x, std::int32_t y);
    // Ends the current path; the caller then does its own knife action.
    void Knife();
    // Emits a pending last vertex, without closing overlap.
    void PathEnd();

    // Room of the overlap buffer, in ints (two per point).
    static constexpr int OverlapInts = 200;

    // A turn (previous angle minus next angle, in the processor's degrees) of
    // 45 or more either way is a sharp corner; both bounds are sharp.
    static bool IsSharpTurn(double turn) { return turn <= -45.0 || turn >= 45.0; }
    // The same decision for two direction angles given by their cosine and
    // sine (the sine never negative: the angles lie between 0 and 180), exact
    // to the last bit of the degrees, at the cost of an arc cosine only where
    // the turn is within a hair of 45.
    static bool IsSharpTurn(double prevCos, double prevSin, double nextCos, double nextSin);

private:
    struct Point {
        std::int32_t x = 0;
        std::int32_t y = 0;
    };
    // Direction, angle and length of a segment of non-zero length. The angle
    // is kept as its cosine and sine, which decide a corner without an arc cosine.
    struct Segment {
        double ux = 0;
        double uy = 0;
        double angleCos = 1;
        double angleSin = 0;
        double length = 0;
    };

    Segment Measure(Point from, Point to) const;
    static std::int32_t Offset(std::int32_t base, double amount);
    void EmitVertex(Point p, const Segment& next);
    void EndPath(bool forKnife);
    void CloseOverlap();
    void TakeDirection(const Segment& s);

    float m_fSharp;
    float m_fClose;
    // Corners matter only when they change the track: with a sharp length of
    // 0 a sharp corner adds a cut to the point just reached, and a sink that
    // does not keep such cuts spares the angle of every segment.
    bool m_bTurns;
    KnifePathSink& m_sink;
    Point m_ptCur;
    Point m_ptStart;
    double m_dPrevUx = 0;
    double m_dPrevUy = 0;
    // The previous angle (0 after a move) as its cosine and sine.
    double m_dPrevAngleCos = 1;
    double m_dPrevAngleSin = 0;
    bool m_bPending = false;
    std::int32_t m_anOverlap[OverlapInts] = {};
    int m_nOverlap = 0;
    bool m_bOverlapFull = false;
    double m_dRunLength = 0;
};

}  // namespace velkar
