#include <gtest/gtest.h>

#include <string>

#include "cutter/knifepath.h"

using namespace velkar;

namespace {

// Records the processor's output as "T x,y" (travel) and "C x,y" (cut) words.
class TrackSink : public KnifePathSink {
public:
    void CutTo(std::int32_t x, std::int32_t y) override { Add('C', x, y); }
    void TravelTo(std::int32_t x, std::int32_t y) override { Add('T', x, y); }
    std::string Take() {
        std::string s;
        s.swap(m_track);
        return s;
    }
    int cuts = 0;
    std::string lastCut;

private:
    void Add(char kind, std::int32_t x, std::int32_t y) {
        std::string word = std::string(1, kind) + std::to_string(x) + "," + std::to_string(y);
        if (kind == 'C') ++cuts, lastCut = word;
        if (!m_track.empty()) m_track += ' ';
        m_track += word;
    }
    std::string m_track;
};

}  // namespace

TEST(KnifePath, SquareWithSharpAndCloseLengthsOvercutsCornersAndRecutsTheStart) {
    TrackSink sink;
    CKnifePath path(20.0f, 40.0f, sink);
    path.Move(0, 0);
    EXPECT_EQ(sink.Take(), "T0,0");
    path.Line(400, 0);
    EXPECT_EQ(sink.Take(), "C0,0");
    path.Line(400, 400);
    EXPECT_EQ(sink.Take(), "C420,0 C400,20");
    path.Line(0, 400);
    EXPECT_EQ(sink.Take(), "C400,420 C380,400");
    path.Line(0, 0);
    EXPECT_EQ(sink.Take(), "C-20,400 C0,380");
    path.Move(0, 0);
    EXPECT_EQ(sink.Take(), "C0,-20 C20,0 C40,0 T0,0");
    // The path was closed off by the move; a path end now has nothing pending.
    path.PathEnd();
    EXPECT_EQ(sink.Take(), "");
}

TEST(KnifePath, TurnsOfExactlyFortyFiveDegreesEitherWayAreSharp) {
    EXPECT_TRUE(CKnifePath::IsSharpTurn(45.0));
    EXPECT_TRUE(CKnifePath::IsSharpTurn(-45.0));
    EXPECT_FALSE(CKnifePath::IsSharpTurn(44.999999));
    EXPECT_FALSE(CKnifePath::IsSharpTurn(-44.999999));
    EXPECT_FALSE(CKnifePath::IsSharpTurn(0.0));

    // Directions just either side of 45 in the processor's degrees (factor 57.325):
    // (2499, 2497) gives 45.0000014, (1249, 1248) gives 44.9999922.
    TrackSink sink;
    CKnifePath above(10.0f, 0.0f, sink);
    above.Move(0, 0);
    above.Line(2499, 2497);  // start vertex: turn 0 - 45.0000014
    above.Line(5000, 2497);  // back to 0: turn +45.0000014
    EXPECT_EQ(sink.Take(), "T0,0 C0,0 C7,7 C2506,2504 C2509,2497");

    CKnifePath below(10.0f, 0.0f, sink);
    below.Move(0, 0);
    below.Line(1249, 1248);
    below.Line(3000, 1248);
    EXPECT_EQ(sink.Take(), "T0,0 C0,0 C1249,1248");
}

TEST(KnifePath, SameAngleOnBothSidesOfTheXAxisIsNoCorner) {
    TrackSink sink;
    CKnifePath path(20.0f, 0.0f, sink);
    path.Move(0, 0);
    path.Line(100, 100);  // 45.02 up: start vertex is sharp
    path.Line(200, 0);    // 45.02 down: turn 0
    path.Line(200, 300);  // straight up, 90.04
    path.Line(200, 0);    // straight down, 90.04: turn 0
    path.PathEnd();
    EXPECT_EQ(sink.Take(), "T0,0 C0,0 C14,14 C100,100 C214,-14 C200,20 C200,300 C200,0");
}

TEST(KnifePath, SharpLengthZeroEmitsEachSharpVertexTwice) {
    TrackSink sink;
    CKnifePath path(0.0f, 0.0f, sink);
    path.Move(0, 0);
    path.Line(0, 400);  // start vertex sharp: twice
    path.Line(400, 400);
    path.PathEnd();
    EXPECT_EQ(sink.Take(), "T0,0 C0,0 C0,0 C0,400 C0,400 C400,400");
}

TEST(KnifePath, CloseLengthZeroRecutsOnlyTheClosingVertex) {
    TrackSink sink;
    CKnifePath path(10.0f, 0.0f, sink);
    path.Move(0, 0);
    path.Line(100, 0);
    path.Line(100, 100);
    path.Line(0, 0);
    sink.Take();
    path.Move(500, 500);
    // Closing vertex with the last side (down-left, 135.07) as previous direction,
    // then the close point itself, then the travel.
    EXPECT_EQ(sink.Take(), "C-7,-7 C10,0 C0,0 T500,500");

    // Ended by PathEnd instead, the same path gets no overlap.
    CKnifePath ended(10.0f, 0.0f, sink);
    ended.Move(0, 0);
    ended.Line(100, 0);
    ended.Line(100, 100);
    ended.Line(0, 0);
    sink.Take();
    ended.PathEnd();
    EXPECT_EQ(sink.Take(), "C0,0");
}

TEST(KnifePath, LineToTheCurrentPointChangesNothing) {
    TrackSink sink;
    CKnifePath path(20.0f, 0.0f, sink);
    path.Move(0, 0);
    path.Line(0, 100);
    path.Line(0, 100);  // ignored: the previous direction stays straight up
    path.Line(0, 200);  // so this is a plain vertex
    path.PathEnd();
    EXPECT_EQ(sink.Take(), "T0,0 C0,0 C0,20 C0,100 C0,200");
}

TEST(KnifePath, KnifeEndsAnOpenPathAndTheNextLineTurnsAgainstTheLastSide) {
    TrackSink sink;
    CKnifePath path(20.0f, 0.0f, sink);
    path.Move(0, 0);
    path.Line(100, 0);
    path.Knife();
    EXPECT_EQ(sink.Take(), "T0,0 C0,0 C100,0");
    path.Knife();  // nothing pending any more
    EXPECT_EQ(sink.Take(), "");
    path.Line(100, 100);  // starts a path at (100, 0), turning 0 - 90.04 against the last side
    path.PathEnd();
    EXPECT_EQ(sink.Take(), "C120,0 C100,20 C100,100");
}

TEST(KnifePath, KnifeOnAClosedPathRunsTheOverlapOnceAndKeepsTheBufferSafe) {
    TrackSink sink;
    CKnifePath path(0.0f, 1000.0f, sink);
    path.Move(0, 0);
    path.Line(100, 0);
    path.Line(0, 0);
    sink.Take();
    path.Knife();
    // Closing vertex (turn 180.09 - 0: sharp, twice), then the vertex at the
    // start of the last buffered side; the buffered points run out first.
    EXPECT_EQ(sink.Take(), "C0,0 C0,0 C100,0 C100,0");
    path.Knife();  // the second end of the same path emits nothing
    EXPECT_EQ(sink.Take(), "");
    // The path stays pending; the next lines continue it and are buffered from
    // index 0 again, so the next closing overlap re-cuts them.
    path.Line(0, 50);
    path.Line(0, 0);
    sink.Take();
    path.Move(7, 7);
    EXPECT_EQ(sink.Take(), "C0,0 C0,50 T7,7");
}

TEST(KnifePath, LongPathBuffersNinetySixPointsAndTheOverlapVisitsNinetyFive) {
    TrackSink sink;
    CKnifePath path(0.0f, 1.0e6f, sink);
    path.Move(0, 0);
    for (int k = 1; k <= 150; ++k) path.Line(k, 0);
    path.Line(0, 0);
    sink.Take();
    sink.cuts = 0;
    path.Move(0, 0);
    // Closing vertex (sharp, twice), then the vertices (1,0) .. (94,0): the
    // overlap stops after the start of the last visited buffered segment.
    EXPECT_EQ(sink.cuts, 2 + 94);
    EXPECT_EQ(sink.lastCut, "C94,0");
}

TEST(KnifePath, PathEndAndLinePairsNeverWritePastTheBuffer) {
    TrackSink sink;
    CKnifePath path(0.0f, 1.0e6f, sink);
    path.Move(0, 0);
    for (int k = 1; k <= 120; ++k) path.Line(k, 0);
    // Each pair starts a new path without resetting the count; run well past the room.
    for (int k = 0; k < 40; ++k) {
        path.PathEnd();
        path.Line(121 + k, k % 2);
    }
    path.Line(159, 0);  // back to where the last path began: closed
    sink.Take();
    sink.cuts = 0;
    path.Move(0, 0);
    // The buffer still starts with the first points of the long path: closing
    // vertex (sharp, twice), the reversal at (1,0) (sharp, twice), then the
    // plain vertices (2,0) .. (94,0).
    EXPECT_EQ(sink.cuts, 2 + 2 + 93);
    EXPECT_EQ(sink.lastCut, "C94,0");
}

TEST(KnifePath, FiftyThousandUnitSegmentsHaveExactLengthsAndAxisDirections) {
    TrackSink sink;
    CKnifePath path(20.0f, 70000.0f, sink);
    path.Move(0, 0);
    path.Line(50000, 0);
    path.Line(50000, 50000);
    path.Line(0, 50000);
    path.Line(0, 0);
    EXPECT_EQ(sink.Take(), "T0,0 C0,0 C50020,0 C50000,20 C50000,50020 C49980,50000 C-20,50000 C0,49980");
    path.Move(0, 0);
    // 70000 along the path: the whole first side, then 20000 up the second.
    EXPECT_EQ(sink.Take(), "C0,-20 C20,0 C50020,0 C50000,20 C50000,20000 T0,0");

    // Extreme coordinates neither overflow nor wrap: the overcut is clamped.
    CKnifePath far(20.0f, 0.0f, sink);
    far.Move(INT32_MIN, 0);
    far.Line(INT32_MAX, 0);
    far.Line(INT32_MAX, INT32_MAX);
    far.PathEnd();
    EXPECT_EQ(sink.Take(), "T-2147483648,0 C-2147483648,0 C2147483647,0 C2147483647,20 C2147483647,2147483647");
}
