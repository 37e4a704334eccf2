// The multi-knife conversion: the split by knife, the ordering steps (against
// their literal walk), the ordering for the shortest travel and the whole pipeline.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "job/fileerror.h"
#include "job/tempdir.h"
#include "split/knifesplit.h"
#include "split/multiknifejob.h"
#include "split/pathordering.h"
#include "split/pipelinefiles.h"
#include "split/travelordering.h"
#include "split_oracle.h"
#include "testsupport.h"

using namespace velkar;
using velkar::test::L;
using velkar::test::M;
using velkar::test::Rec;
using Records = std::vector<JobRecord>;
using Step = ConversionResult (*)(std::string);

namespace {

// A converted job: the three headers (count = records, as the converter writes it) and body.
Records Job(Records body, std::int32_t count = -1) {
    Records all{Rec(RecHeaderCount, 0, 1), Rec(RecHeaderMin), Rec(RecHeaderMax)};
    all.insert(all.end(), body.begin(), body.end());
    all[0].x = count >= 0 ? count : static_cast<std::int32_t>(all.size());
    return all;
}

// Stage 1 for the pipeline: writes a hand-made converted job.
ConvertStage HandMade(Records body) {
    return [body](const std::string& out, std::int32_t& count) {
        Records all = Job(body);
        test::WriteRecords(out, all);
        count = static_cast<std::int32_t>(all.size());
        return ConversionDone;
    };
}

std::set<std::string> FilesIn(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

// Runs one ordering step on a knife file holding `in`; returns the file afterwards.
Records RunStep(Step step, const Records& in, ConversionResult expected = ConversionDone) {
    const std::string knife = PipelineFiles::KnifeFile(1);
    test::WriteRecords(knife, in);
    EXPECT_EQ(step(knife), expected);
    return test::ReadRecords(knife);
}

// What the literal walk makes of `in` for a step (`in` itself where the step
// refuses it), and the step's result.
ConversionResult Literal(Step step, const Records& in, Records& out) {
    out = in;
    if (step == OrderKnifePaths) return out = test::LiteralOrder(in), ConversionDone;
    const bool read = step == ChainKnifePaths ? test::LiteralChain(in, out) : test::LiteralBands(in, out);
    return read ? ConversionDone : ConversionLineBeforeMove;
}

}  // namespace

TEST(SplitByKnife, SendsBlocksToKnifeFilesInKnifeThenFileOrder) {
    test::TempDirOverride temp;
    const std::string job = temp.Path() + "/job.pt1";
    // Knives 1, 3, 2, 2, 9 (-> 1), 0 and -2 (dropped); lines before the first knife and
    // after a path end go nowhere.
    test::WriteRecords(job, Job({Rec(RecJobStart), M(-1, -1), Rec(RecKnife, 1), M(1, 1), L(1, 2), Rec(RecKnife, 3), M(3, 3),
                                 Rec(RecPathEnd), M(99, 99), Rec(RecKnife, 2), M(21, 21), Rec(RecKnife, 2), L(22, 22),
                                 Rec(RecKnife, 9), M(9, 9), Rec(RecKnife, 0), M(0, 0), Rec(RecKnife, -2), M(-2, -2),
                                 Rec(RecKnife, 5), Rec(RecKnife, 6), Rec(RecPathEnd), Rec(RecKnife, 7)}));
    test::WriteRecords(PipelineFiles::KnifeFile(4), {M(4, 4)});  // left by an earlier run
    std::uint8_t mask = 0;
    EXPECT_EQ(SplitByKnife(job, mask), ConversionDone);
    EXPECT_EQ(mask, 0b01110111);
    EXPECT_EQ(test::ReadRecords(PipelineFiles::KnifeFile(1)), (Records{M(1, 1), L(1, 2), M(9, 9)}));
    EXPECT_EQ(test::ReadRecords(PipelineFiles::KnifeFile(2)), (Records{M(21, 21), L(22, 22)}));
    EXPECT_EQ(test::ReadRecords(PipelineFiles::KnifeFile(3)), (Records{M(3, 3)}));
    for (int knife : {5, 6, 7}) {
        EXPECT_TRUE(std::filesystem::exists(PipelineFiles::KnifeFile(knife))) << knife;
        EXPECT_TRUE(test::ReadRecords(PipelineFiles::KnifeFile(knife)).empty()) << knife;
    }
    EXPECT_FALSE(std::filesystem::exists(PipelineFiles::KnifeFile(4)));
    EXPECT_FALSE(std::filesystem::exists(PipelineFiles::KnifeFile(8)));
}

TEST(SplitByKnife, ScansAsFarAsTheCountAndTheFileAllow) {
    test::TempDirOverride temp;
    const std::string job = temp.Path() + "/job.pt1";
    std::uint8_t mask = 0;
    // A job without knife selects writes nothing.
    test::WriteRecords(job, Job({Rec(RecJobStart), M(1, 1), L(2, 2)}));
    EXPECT_EQ(SplitByKnife(job, mask), ConversionDone);
    EXPECT_EQ(mask, 0);
    EXPECT_EQ(FilesIn(temp.Path()), std::set<std::string>{"job.pt1"});

    // The scan stops at the count, although the block itself runs on past it.
    test::WriteRecords(job, Job({Rec(RecJobStart), Rec(RecKnife, 2), M(1, 1), L(2, 2), Rec(RecKnife, 3)}, 6));
    EXPECT_EQ(SplitByKnife(job, mask), ConversionDone);
    EXPECT_EQ(mask, 0b10);
    EXPECT_EQ(test::ReadRecords(PipelineFiles::KnifeFile(2)), (Records{M(1, 1), L(2, 2)}));

    // A count far beyond the file ends at the end of the file.
    mask = 0;
    test::WriteRecords(job, Job({Rec(RecJobStart), Rec(RecKnife, 4), M(5, 5)}, std::numeric_limits<std::int32_t>::max()));
    EXPECT_EQ(SplitByKnife(job, mask), ConversionDone);
    EXPECT_EQ(mask, 0b1000);
    EXPECT_EQ(test::ReadRecords(PipelineFiles::KnifeFile(4)), (Records{M(5, 5)}));
    EXPECT_FALSE(std::filesystem::exists(PipelineFiles::KnifeFile(2)));
}

namespace {

struct StepCase {
    const char* what;
    Step step;
    Records in, out;
    ConversionResult result = ConversionDone;
};

const std::int32_t Top = std::numeric_limits<std::int32_t>::max(), Bottom = std::numeric_limits<std::int32_t>::min();
const Records LineFirst{L(1, 1), M(2, 2), L(3, 3)};
const JobRecord P = M(0, 0), Q = L(10, 0), R = L(20, 5);

const StepCase StepCases[] = {
    {"nothing", ChainKnifePaths, {}, {}},
    {"move to P and line to P; a lone move; codes other than move and line are passed over", ChainKnifePaths,
     {M(1, 1), L(1, 1), M(5, 5), Rec(RecPathEnd), M(2, 2), L(3, 3, 7), L(3, 3), L(4, 4)}, {M(2, 2), L(3, 3, 7), L(4, 4)}},
    {"all on one point: the first run leaves the lone move", ChainKnifePaths, {M(6, 6), L(6, 6), L(6, 6)}, {M(6, 6)}},
    {"all on one point: the second run drops it", ChainKnifePaths, {M(6, 6)}, {}},
    {"a path ends at its turning point", ChainKnifePaths, {M(0, 0), L(1, 0), L(2, 0), L(1, 0), L(0, 0)},
     {M(0, 0), L(1, 0), L(2, 0)}},
    {"the part after the retrace becomes a new path, a move to P1 and a line to P3", ChainKnifePaths,
     {M(0, 0), L(1, 0), L(2, 0, 2), L(1, 0, 3), L(3, 9, 4)}, {M(0, 0), L(1, 0), L(2, 0, 2), M(1, 0, 3), L(3, 9, 4)}},
    {"a rest appended while an earlier path is handled is visited in turn and folded too", ChainKnifePaths,
     {M(0, 0), L(1, 0), L(2, 0), L(1, 0), L(3, 3), L(4, 4), L(3, 3), M(100, 100), L(200, 200)},
     {M(0, 0), L(1, 0), L(2, 0), M(100, 100), L(200, 200), M(1, 0), L(3, 3), L(4, 4)}},
    {"back and forth: the rest, appended while the last path was handled, is not folded in this run; it is "
     "closed and so written first",
     ChainKnifePaths, {M(0, 0), L(1, 0), L(0, 0), L(1, 0), L(0, 0)}, {M(0, 0), L(1, 0), L(0, 0), M(0, 0), L(1, 0)}},
    {"P->Q then Q->R", ChainKnifePaths, {P, Q, M(10, 0), R}, {P, Q, R}},
    {"P->Q first, then P->R: reversed P->Q, then R", ChainKnifePaths, {M(0, 0), L(10, 0, 1), M(0, 0, 2), L(20, 5, 3)},
     {M(10, 0, 1), L(0, 0), L(20, 5, 3)}},
    {"P->R first, then P->Q: R->P->Q", ChainKnifePaths, {P, R, P, Q}, {M(20, 5), L(0, 0), L(10, 0)}},
    {"ends meeting ends: Q's reversal is appended", ChainKnifePaths, {M(0, 0), L(10, 0), M(30, 0), L(20, 0), L(10, 0, 4)},
     {M(0, 0), L(10, 0), L(20, 0), L(30, 0)}},
    {"a closed path is written before an open one that comes first in the file", ChainKnifePaths,
     {M(100, 100), L(200, 100), M(0, 0), L(5, 0), L(5, 5), L(0, 0)},
     {M(0, 0), L(5, 0), L(5, 5), L(0, 0), M(100, 100), L(200, 100)}},
    {"chaining a line first", ChainKnifePaths, LineFirst, LineFirst, ConversionLineBeforeMove},
    {"sorting a line first", SortPathsInBands, LineFirst, LineFirst, ConversionLineBeforeMove},
    {"ordering a line first", OrderKnifePaths, LineFirst, LineFirst},
    {"bands of five hundred by start x", SortPathsInBands, {M(50, 0), M(0, 600), M(10, 100)},
     {M(10, 100), M(50, 0), M(0, 600)}},
    {"500 above the band's first path is inside the band, 501 is not; equal starts keep their order", SortPathsInBands,
     {M(9, 0, 1), M(5, 501), M(7, 500), M(3, 0, 2), L(1, 1), M(3, 0, 3)},
     {M(3, 0, 2), L(1, 1), M(3, 0, 3), M(7, 500), M(9, 0, 1), M(5, 501)}},
    {"at the top of the range the limit does not wrap", SortPathsInBands, {M(2, Top), M(1, Top - 400), M(0, Bottom)},
     {M(0, Bottom), M(1, Top - 400), M(2, Top)}},
};

}  // namespace

TEST(OrderingSteps, WorkedExamplesAsTheLiteralWalkMakesThem) {
    test::TempDirOverride temp;
    for (const StepCase& c : StepCases) {
        SCOPED_TRACE(c.what);
        Records literal;
        EXPECT_EQ(Literal(c.step, c.in, literal), c.result);
        EXPECT_EQ(literal, c.out);
        EXPECT_EQ(RunStep(c.step, c.in, c.result), c.out);
    }
}

TEST(OrderingSteps, AFileThatCannotBeReadOrMadeLeavesTheKnifeFileAlone) {
    test::TempDirOverride temp;
    std::uint8_t mask = 0;
    EXPECT_EQ(SplitByKnife(temp.Path() + "/missing.pt1", mask), ConversionFileFailed);
    EXPECT_EQ(ChainKnifePaths(temp.Path() + "/missing.pt1"), ConversionFileFailed);
    // The scratch file cannot be made: the knife file keeps its content.
    std::filesystem::create_directory(PipelineFiles::ChainScratch());
    const Records two{M(5, 5), L(6, 6), M(0, 0), L(1, 1)};
    EXPECT_EQ(RunStep(ChainKnifePaths, two, ConversionFileFailed), two);
    std::filesystem::create_directory(PipelineFiles::BandScratch());
    EXPECT_EQ(RunStep(OrderKnifePaths, two, ConversionFileFailed), two);
}

namespace {

// A knife file made to stress ties: few distinct points (some exactly 500 apart),
// many paths meeting at one point, duplicates, retracing, closed and one-record paths.
Records RandomKnifeFile(std::mt19937& rng, unsigned maxPaths) {
    std::uniform_int_distribution<int> pct(0, 99);
    const int spread = 2 + static_cast<int>(rng() % 6);
    auto coord = [&] {
        static const std::int32_t values[] = {0, 500, 1000, 1, 501, -500, 499, 250};
        return values[rng() % static_cast<unsigned>(spread)];
    };
    auto point = [&] { return std::pair{coord(), coord()}; };
    auto z = [&] { return static_cast<std::int32_t>(rng() % 4); };
    Records out;
    if (pct(rng) < 2) out.push_back(L(1, 1));
    const int paths = static_cast<int>(rng() % maxPaths);
    std::vector<Records> made;
    for (int i = 0; i < paths; ++i) {
        Records path;
        const int kind = pct(rng);
        if (kind < 10 && !made.empty()) {
            path = made[rng() % made.size()];  // duplicate
        } else {
            auto [x, y] = point();
            path.push_back(M(x, y, z()));
            const int len = static_cast<int>(rng() % 6);
            for (int k = 0; k < len; ++k) {
                if (pct(rng) < 15) {
                    path.push_back(L(path.back().x, path.back().y, z()));  // repeated point
                } else {
                    auto [px, py] = point();
                    path.push_back(L(px, py, z()));
                }
            }
            if (kind < 25 && path.size() >= 2) {  // retrace part of the way back
                for (std::size_t k = path.size() - 1; k-- > 0 && pct(rng) < 80;) path.push_back(L(path[k].x, path[k].y, z()));
            } else if (kind < 40) {
                path.push_back(L(path.front().x, path.front().y, z()));  // closed
            }
        }
        made.push_back(path);
        out.insert(out.end(), path.begin(), path.end());
        if (pct(rng) < 5) out.push_back(Rec(RecPathEnd, 0, 0, 0));
    }
    return out;
}

}  // namespace

TEST(OrderingSteps, IndexedOrderingMatchesTheLiteralWalkOnSeededFiles) {
    test::TempDirOverride temp;
    const std::string knife = PipelineFiles::KnifeFile(1);
    const Step steps[] = {ChainKnifePaths, SortPathsInBands, OrderKnifePaths};
    std::mt19937 rng(20261206);
    for (int round = 0; round < 3000; ++round) {
        // Now and then a large file, so that many paths pile up at each point.
        const Records in = RandomKnifeFile(rng, round % 100 == 99 ? 1500 : 40);
        Records expected;
        const ConversionResult result = Literal(steps[round % 3], in, expected);
        test::WriteRecords(knife, in);
        ASSERT_EQ(steps[round % 3](knife), result) << "round " << round;
        ASSERT_EQ(test::ReadRecords(knife), expected) << "round " << round;
        // The padding and tag are always written as the program writes them.
        ASSERT_EQ(test::ReadBytes(knife).size() % RecordSize, 0u);
    }
    EXPECT_EQ(FilesIn(temp.Path()), std::set<std::string>{"tessera1.pt1"});

    // Enough paths for the sort in bulk, with start values repeated across them.
    Records many;
    for (int i = 0; i < 4200; ++i) {
        const auto x = static_cast<std::int32_t>(rng() % 3000) - 1500, y = static_cast<std::int32_t>(rng() % 40000) - 20000;
        many.push_back(M(x, y));
        many.push_back(L(x + 1, y + static_cast<std::int32_t>(rng() % 3)));
    }
    EXPECT_EQ(RunStep(OrderKnifePaths, many), test::LiteralOrder(many));
}

// ---- The ordering for the shortest knife-up travel ----

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

struct TravelCase {
    const char* what;
    Records in;
    TravelPoint start;
    Records out;
    TravelPoint end;
};

const TravelCase TravelCases[] = {
    {"nearest first from the start point", {M(100, 0), L(110, 0), M(10, 0), L(20, 0)}, {0, 0},
     {M(10, 0), L(20, 0), M(100, 0), L(110, 0)}, {110, 0}},
    {"the other start point reverses the choice", {M(100, 0), L(110, 0), M(10, 0), L(20, 0)}, {200, 0},
     {M(110, 0), L(100, 0), M(20, 0), L(10, 0)}, {10, 0}},
    {"an open path is cut backwards from its nearer end; z stays with its point", {M(0, 0, 1), L(50, 0, 2), L(100, 0, 3)},
     {120, 0}, {M(100, 0, 3), L(50, 0, 2), L(0, 0, 1)}, {0, 0}},
    {"a closed path starts at its nearest point", {M(0, 0, 1), L(100, 0, 2), L(100, 100, 3), L(0, 100, 4), L(0, 0, 5)},
     {120, 110}, {M(100, 100, 3), L(0, 100, 4), L(0, 0, 5), L(100, 0, 2), L(100, 100, 3)}, {100, 100}},
    {"ties go to the earlier path, then its first point", {M(10, 0), L(10, 50), M(-10, 0), L(-10, 50)}, {0, 0},
     {M(10, 0), L(10, 50), M(-10, 50), L(-10, 0)}, {-10, 0}},
    {"open paths meeting end to start are joined", {M(50, 0), L(90, 0), M(0, 0), L(50, 0)}, {0, 0},
     {M(0, 0), L(50, 0), L(90, 0)}, {90, 0}},
    {"but not into a closed path, which would gain a closing overlap", {M(0, 0), L(50, 0), L(50, 50), M(50, 50), L(0, 0)},
     {0, 0}, {M(0, 0), L(50, 0), L(50, 50), M(50, 50), L(0, 0)}, {0, 0}},
    {"paths that cut nothing go", {M(5, 5), M(7, 7), L(7, 7), M(1, 0), L(2, 0)}, {0, 0}, {M(1, 0), L(2, 0)}, {2, 0}},
    {"a line before any move leaves the records as they are", {L(3, 3), M(9, 0), L(8, 0)}, {0, 0},
     {L(3, 3), M(9, 0), L(8, 0)}, {8, 0}},
    {"nothing at all", {}, {4, 5}, {}, {4, 5}},
};

}  // namespace

TEST(TravelOrdering, WorkedExamples) {
    for (const TravelCase& c : TravelCases) {
        SCOPED_TRACE(c.what);
        TravelPoint end{-1, -1};
        EXPECT_EQ(CTravelOrdering().Order(c.in, c.start, end), c.out);
        EXPECT_EQ(end, c.end);
    }
}

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
    const ConvertStage convert =
        HandMade({Rec(RecJobStart), Rec(RecKnife, 2), M(900, 0), L(990, 0), Rec(RecKnife, 1), M(0, 0), L(0, 1000), Rec(RecPathEnd)});
    ASSERT_EQ(RunMultiKnifePipeline(convert, job, count, PipelineFiles::DefaultWait, PathOrder::Travel), ConversionDone);
    // Knife 1 starts at the origin (x 0 at the largest y, the job being mirrored)
    // and is cut downwards; knife 2 then starts from (0, 0) at its nearer end.
    const Records got = test::ReadRecords(job);
    EXPECT_EQ(Records(got.begin() + 3, got.end()),
              (Records{Rec(RecJobStart), Rec(RecKnife, 1), M(0, 1000), L(0, 0), Rec(RecKnife, 2, 0), M(900, 0), L(990, 0),
                       Rec(RecPathEnd, 990, 0)}));
}

// ---- The whole pipeline ----

TEST(MultiKnifeJob, JoinsKnivesInAscendingOrder) {
    test::TempDirOverride temp;
    const std::string job = temp.Path() + "/out.PT1";
    std::int32_t count = -1;

    // No knife select at all: five records.
    EXPECT_EQ(RunMultiKnifePipeline(HandMade({Rec(RecJobStart), M(1, 1), L(2, 2)}), job, count), ConversionDone);
    EXPECT_EQ(count, 5);
    EXPECT_EQ(test::ReadRecords(job), (Records{Rec(RecHeaderCount, 5, 1), Rec(RecHeaderMin, BoxStartMin, BoxStartMin),
                                               Rec(RecHeaderMax, BoxStartMax, BoxStartMax), Rec(RecJobStart), Rec(RecPathEnd)}));

    // Knives 3 and 1 (with an empty section for knife 2); the knife numbers stay out of the box.
    EXPECT_EQ(RunMultiKnifePipeline(HandMade({Rec(RecJobStart), Rec(RecKnife, 3), M(30, 40, 5), L(31, 41, 6), Rec(RecKnife, 2),
                                              Rec(RecPathEnd), Rec(RecKnife, 1), M(100, 200), L(-3, 210)}),
                                    job, count),
              ConversionDone);
    const Records expected{Rec(RecHeaderCount, 12, 1, 6), Rec(RecHeaderMin, -3, 40, 6), Rec(RecHeaderMax, 100, 210, 6),
                           Rec(RecJobStart), Rec(RecKnife, 1), M(100, 200), L(-3, 210), Rec(RecKnife, 2, 210),
                           Rec(RecKnife, 3, 210), M(30, 40, 5), L(31, 41, 6), Rec(RecPathEnd, 31, 41, 6)};
    EXPECT_EQ(count, 12);
    EXPECT_EQ(test::ReadRecords(job), expected);

    // A knife whose section starts with a line is joined unordered, as split.
    EXPECT_EQ(RunMultiKnifePipeline(HandMade({Rec(RecJobStart), Rec(RecKnife, 4), L(9, 9), M(5, 5), L(5, 5), M(1, 1), L(2, 2)}),
                                    job, count),
              ConversionDone);
    const Records unordered{L(9, 9), M(5, 5), L(5, 5), M(1, 1), L(2, 2)};
    const Records got = test::ReadRecords(job);
    ASSERT_EQ(got.size(), 11u);
    EXPECT_EQ(Records(got.begin() + 5, got.end() - 1), unordered);
    EXPECT_EQ(FilesIn(temp.Path()), (std::set<std::string>{"out.PT1", "velkar.lock"}));
}

TEST(MultiKnifeJob, FailureKeepsThePreviousJobAndLeavesNoTemporaryFile) {
    test::TempDirOverride temp;
    test::ScratchDir out;
    const std::string job = out.File("keep.PT1");
    test::WriteText(job, "previous job");
    const std::set<std::string> onlyLock{"velkar.lock"};
    std::int32_t count = -1;

    EXPECT_EQ(RunMultiKnifePipeline([](const std::string&, std::int32_t& n) { n = 0; return ConversionFileFailed; }, job, count),
              ConversionFileFailed);
    EXPECT_EQ(count, 0);

    // Stale files of an earlier run are gone before the split and do not leak in.
    test::WriteRecords(PipelineFiles::KnifeFile(5), {M(5, 5), L(6, 6)});
    test::WriteRecords(PipelineFiles::ChainScratch(), {M(5, 5)});
    EXPECT_THROW(RunMultiKnifePipeline(
                     [](const std::string& converted, std::int32_t&) -> ConversionResult {
                         test::WriteRecords(converted, Job({Rec(RecKnife, 1), M(1, 1), L(2, 2)}));
                         throw FileError(converted, "cannot write: No space left on device");
                     },
                     job, count),
                 FileError);
    EXPECT_EQ(FilesIn(temp.Path()), onlyLock);

    // The ordering's scratch file cannot be made (a directory stands in its place).
    auto blocked = [](const std::string& converted, std::int32_t& n) {
        HandMade({Rec(RecKnife, 1), M(1, 1), L(2, 2)})(converted, n);
        std::filesystem::create_directory(PipelineFiles::BandScratch());
        return ConversionDone;
    };
    EXPECT_EQ(RunMultiKnifePipeline(blocked, job, count), ConversionFileFailed);
    std::filesystem::remove(PipelineFiles::BandScratch());
    EXPECT_EQ(count, 6);
    EXPECT_EQ(FilesIn(temp.Path()), onlyLock);

    // The job file cannot be written (its directory is gone).
    EXPECT_EQ(RunMultiKnifePipeline(HandMade({Rec(RecKnife, 1), M(1, 1), L(2, 2)}), out.File("no/such.PT1"), count),
              ConversionFileFailed);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(FilesIn(temp.Path()), onlyLock);
    EXPECT_EQ(test::ReadBytes(job), "previous job");
    EXPECT_EQ(FilesIn(out.Path()), std::set<std::string>{"keep.PT1"});
}

TEST(MultiKnifeJob, ASecondConversionNeverSharesTheTemporaryFiles) {
    test::TempDirOverride temp;
    const std::string job = temp.Path() + "/out.PT1";
    std::int32_t count = -1;
    int converted = 0;
    {
        PipelineFiles first(std::chrono::milliseconds(0));
        test::WriteRecords(PipelineFiles::KnifeFile(1), {M(7, 7), L(8, 8)});  // the first conversion's file
        auto stage = [&](const std::string&, std::int32_t&) { ++converted; return ConversionDone; };
        try {
            RunMultiKnifePipeline(stage, job, count, std::chrono::milliseconds(0));
            ADD_FAILURE() << "second conversion ran";
        } catch (const TempDirError& e) {
            EXPECT_EQ(std::string(e.what()), "temporary directory " + temp.Path() + " is in use by another conversion");
        }
        EXPECT_EQ(converted, 0);
        EXPECT_EQ(test::ReadRecords(PipelineFiles::KnifeFile(1)), (Records{M(7, 7), L(8, 8)}));
    }
    // Released: the next one runs and finds nothing of the first.
    EXPECT_EQ(RunMultiKnifePipeline(HandMade({Rec(RecKnife, 2), M(1, 1), L(2, 2)}), job, count, std::chrono::milliseconds(0)),
              ConversionDone);
    EXPECT_EQ(test::ReadRecords(job)[4], Rec(RecKnife, 2));
    EXPECT_EQ(count, 8);
}

TEST(MultiKnifeJob, ConvertsPlotterTextIntoAnOrderedJob) {
    test::TempDirOverride temp;
    const std::string plt = temp.Path() + "/sign.plt", job = temp.Path() + "/sign.PT1";
    test::WriteText(plt, " ;:AHOL UP2U0,600D10,600@UP1U50,0D60,0U10,100D20,100U60,0D70,0@");
    std::int32_t count = -1;
    EXPECT_EQ(ConvertMultiKnifeJob(plt, job, count, 3), ConversionDone);
    EXPECT_EQ(test::ReadRecords(job),
              (Records{Rec(RecHeaderCount, 14, 1), Rec(RecHeaderMin, 0, 0), Rec(RecHeaderMax, 70, 600), Rec(RecJobStart),
                       Rec(RecKnife, 1), M(10, 100), L(20, 100), M(50, 0), L(60, 0), L(70, 0), Rec(RecKnife, 2, 0), M(0, 600),
                       L(10, 600), Rec(RecPathEnd, 10, 600)}));
    EXPECT_EQ(count, 14);
    EXPECT_EQ(ConvertMultiKnifeJob(temp.Path() + "/missing.plt", job, count, 3), ConversionFileFailed);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(FilesIn(temp.Path()), (std::set<std::string>{"sign.plt", "sign.PT1", "velkar.lock"}));
}
