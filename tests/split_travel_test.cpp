// The ordering for the shortest knife-up travel.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "split/multiknifejob.h"
#include "split/travelordering.h"
#include "testsupport.h"

using namespace velkar;
using velkar::test::L;
using velkar::test::M;
using velkar::test::Rec;
using Records = std::vector<JobRecord>;

namespace {

// The segments cut, each with its ends in one fixed order and the z of its
// far record, counted with repetition; zero-length lines cut nothing.
std::vector<std::tuple<std::int32_t, std::int32_t, std::int32_t, std::int32_t>> Segments(const Records& records) {
    std::vector<std::tuple<std::int32_t, std::int32_t, std::int32_t, std::int32_t>> segments;
    for (std::size_t i = 1; i < records.size(); ++i) {
        if (records[i].code != RecLine) continue;
        auto a = std::pair{records[i - 1].x, records[i - 1].y}, b = std::pair{records[i].x, records[i].y};
        if (a == b) continue;
        if (b < a) std::swap(a, b);
        segments.emplace_back(a.first, a.second, b.first, b.second);
    }
    std::sort(segments.begin(), segments.end());
    return segments;
}

struct Case {
    const char* what;
    Records in;
    TravelPoint start;
    Records out;
    TravelPoint end;
};

class TravelOrdering : public testing::TestWithParam<Case> {};

TEST_P(TravelOrdering, OrdersAsExpected) {
    const Case& c = GetParam();
    TravelPoint end{-1, -1};
    EXPECT_EQ(CTravelOrdering().Order(c.in, c.start, end), c.out);
    EXPECT_EQ(end, c.end);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TravelOrdering,
    testing::Values(
        Case{"nearest first from the start point", {M(100, 0), L(110, 0), M(10, 0), L(20, 0)}, {0, 0},
             {M(10, 0), L(20, 0), M(100, 0), L(110, 0)}, {110, 0}},
        Case{"the other start point reverses the choice", {M(100, 0), L(110, 0), M(10, 0), L(20, 0)}, {200, 0},
             {M(110, 0), L(100, 0), M(20, 0), L(10, 0)}, {10, 0}},
        Case{"an open path is cut backwards from its nearer end; z stays with its point",
             {M(0, 0, 1), L(50, 0, 2), L(100, 0, 3)}, {120, 0}, {M(100, 0, 3), L(50, 0, 2), L(0, 0, 1)}, {0, 0}},
        Case{"a closed path starts at its nearest point",
             {M(0, 0, 1), L(100, 0, 2), L(100, 100, 3), L(0, 100, 4), L(0, 0, 5)}, {120, 110},
             {M(100, 100, 3), L(0, 100, 4), L(0, 0, 5), L(100, 0, 2), L(100, 100, 3)}, {100, 100}},
        Case{"ties go to the earlier path, then its first point", {M(10, 0), L(10, 50), M(-10, 0), L(-10, 50)}, {0, 0},
             {M(10, 0), L(10, 50), M(-10, 50), L(-10, 0)}, {-10, 0}},
        Case{"open paths meeting end to start are joined", {M(50, 0), L(90, 0), M(0, 0), L(50, 0)}, {0, 0},
             {M(0, 0), L(50, 0), L(90, 0)}, {90, 0}},
        Case{"but not into a closed path, which would gain a closing overlap",
             {M(0, 0), L(50, 0), L(50, 50), M(50, 50), L(0, 0)}, {0, 0},
             {M(0, 0), L(50, 0), L(50, 50), M(50, 50), L(0, 0)}, {0, 0}},
        Case{"paths that cut nothing go", {M(5, 5), M(7, 7), L(7, 7), M(1, 0), L(2, 0)}, {0, 0}, {M(1, 0), L(2, 0)}, {2, 0}},
        Case{"a line before any move leaves the records as they are", {L(3, 3), M(9, 0), L(8, 0)}, {0, 0},
             {L(3, 3), M(9, 0), L(8, 0)}, {8, 0}},
        Case{"nothing at all", {}, {4, 5}, {}, {4, 5}}));

TEST(TravelOrdering, KeepsEverySegmentAndBeatsGreedyOnRandomDrawings) {
    std::mt19937 rng(14);
    double total = 0, totalPlain = 0;
    for (int round = 0; round < 60; ++round) {
        Records in;
        const int paths = 1 + int(rng() % (round < 50 ? 40 : 3000));
        for (int p = 0; p < paths; ++p) {
            const std::int32_t x = std::int32_t(rng() % 4000), y = std::int32_t(rng() % 4000);
            in.push_back(M(x, y, p));
            const int lines = 1 + int(rng() % 5);
            for (int k = 0; k < lines; ++k)
                in.push_back(L(x + std::int32_t(rng() % 200), y + std::int32_t(rng() % 200), k));
            if (rng() % 3 == 0) in.push_back(L(x, y, 9));  // closed
        }
        TravelPoint end;
        const Records out = CTravelOrdering().Order(in, {0, 0}, end);
        ASSERT_EQ(Segments(out), Segments(in)) << "round " << round;
        ASSERT_EQ(CTravelOrdering().Order(in, {0, 0}, end), out) << "round " << round;  // deterministic
        const Records greedy = CTravelOrdering({true, true, false, false}).Order(in, {0, 0}, end);
        const Records plain = CTravelOrdering({false, false, false, false}).Order(in, {0, 0}, end);
        ASSERT_EQ(Segments(plain), Segments(in));
        const double travel = CTravelOrdering::TravelOf(out, {0, 0});
        // The improvements start from the greedy order by nearest end and never
        // lengthen it; against the plain greedy order by nearest start there is
        // no such bound for one drawing, only for the lot.
        EXPECT_LE(travel, CTravelOrdering::TravelOf(greedy, {0, 0}) + 1e-6) << "round " << round;
        EXPECT_LE(travel, 1.1 * CTravelOrdering::TravelOf(plain, {0, 0})) << "round " << round;
        total += travel;
        totalPlain += CTravelOrdering::TravelOf(plain, {0, 0});
    }
    EXPECT_LT(total, 0.9 * totalPlain);
}

TEST(TravelOrdering, EachKnifeOfAJobStartsWhereThePreviousEnded) {
    test::TempDirOverride temp;
    const std::string job = temp.Path() + "/out.PT1";
    std::int32_t count = 0;
    auto convert = [](const std::string& out, std::int32_t& n) {
        const Records all{Rec(RecHeaderCount, 11, 1), Rec(RecHeaderMin), Rec(RecHeaderMax), Rec(RecJobStart),
                          Rec(RecKnife, 2),           M(900, 0),          L(990, 0),          Rec(RecKnife, 1),
                          M(0, 0),                    L(0, 1000),         Rec(RecPathEnd)};
        test::WriteRecords(out, all);
        n = 11;
        return ConversionDone;
    };
    ASSERT_EQ(RunMultiKnifePipeline(convert, job, count, PipelineFiles::DefaultWait, PathOrder::Travel), ConversionDone);
    // Knife 1 starts at the origin (x 0 at the largest y, the job being mirrored)
    // and is cut downwards; knife 2 then starts from (0, 0) at its nearer end.
    const Records got = test::ReadRecords(job);
    EXPECT_EQ(Records(got.begin() + 3, got.end()),
              (Records{Rec(RecJobStart), Rec(RecKnife, 1), M(0, 1000), L(0, 0), Rec(RecKnife, 2, 0), M(900, 0), L(990, 0),
                       Rec(RecPathEnd, 990, 0)}));
}

}  // namespace
