#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <tuple>
#include <utility>
#include <limits>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli.h"
#include "cutter/commandreplay.h"
#include "cutter/cuttersend.h"
#include "cutter/sendestimate.h"
#include "cutter/knifepath.h"
#include "cutter/velkardialect.h"
#include "clirun.h"
#include "testsupport.h"

using namespace velkar;
using velkar::test::L;
using velkar::test::M;
using velkar::test::Rec;
using velkar::test::SquareJob;
using velkar::test::SquareStream;

namespace {

// Records the processor's output as "T x,y" (travel) and "C x,y" (cut) words.
class TrackSink : public KnifePathSink {
public:
    void CutTo(std::int32_t x, std::int32_t y) override { Add('C', x, y); }
    void TravelTo(std::int32_t x, std::int32_t y) override { Add('T', x, y); }
    void Add(const std::string& word) { track += (track.empty() ? "" : " ") + word; }
    std::string track;
    int cuts = 0;
    std::string lastCut;

private:
    void Add(char kind, std::int32_t x, std::int32_t y) {
        std::string word = std::string(1, kind) + std::to_string(x) + "," + std::to_string(y);
        if (kind == 'C') ++cuts, lastCut = word;
        Add(word);
    }
};

// Runs a script of "Mx,y" (move), "Lx,y" (line), "E" (path end), "K" (knife end),
// "|" (marks the output so far) and "/" (forgets the output since the last mark); returns the track.
std::string RunPath(float sharp, float close, const std::string& script) {
    TrackSink sink;
    CKnifePath path(sharp, close, sink);
    std::istringstream words(script);
    for (std::string w; words >> w;) {
        const std::size_t comma = w.find(',');
        const auto x = comma == std::string::npos ? 0 : static_cast<std::int32_t>(std::stoll(w.substr(1, comma - 1)));
        const auto y = comma == std::string::npos ? 0 : static_cast<std::int32_t>(std::stoll(w.substr(comma + 1)));
        switch (w[0]) {
            case 'M': path.Move(x, y); break;
            case 'L': path.Line(x, y); break;
            case 'E': path.PathEnd(); break;
            case 'K': path.Knife(); break;
            case '|': sink.Add("|"); break;
            default: sink.track.resize(std::min(sink.track.size(), sink.track.rfind('|') + 1)); break;
        }
    }
    return sink.track;
}

struct PathCase {
    const char* name;
    float sharp, close;
    const char* script;
    const char* track;
};

class KnifePathScript : public testing::TestWithParam<PathCase> {};

}  // namespace

INSTANTIATE_TEST_SUITE_P(
    Cases, KnifePathScript,
    testing::Values(
        PathCase{"SquareOvercutsCornersAndRecutsTheStart", 20, 40,
                 "M0,0 | L400,0 | L400,400 | L0,400 | L0,0 | M0,0 | E",
                 "T0,0 | C0,0 | C420,0 C400,20 | C400,420 C380,400 | C-20,400 C0,380 | C0,-20 C20,0 C40,0 T0,0 |"},
        // In the processor's degrees (factor 57.325) (2499, 2497) is 45.0000014, (1249, 1248) 44.9999922:
        // a turn of 45 either way is sharp, one just below is not.
        PathCase{"TurnsOfFortyFiveDegreesAreSharp", 10, 0, "M0,0 L2499,2497 L5000,2497",
                 "T0,0 C0,0 C7,7 C2506,2504 C2509,2497"},
        PathCase{"TurnsJustBelowFortyFiveAreNot", 10, 0, "M0,0 L1249,1248 L3000,1248", "T0,0 C0,0 C1249,1248"},
        PathCase{"SameAngleOnBothSidesOfTheXAxisIsNoCorner", 20, 0, "M0,0 L100,100 L200,0 L200,300 L200,0 E",
                 "T0,0 C0,0 C14,14 C100,100 C214,-14 C200,20 C200,300 C200,0"},
        PathCase{"SharpLengthZeroCutsEachSharpVertexTwice", 0, 0, "M0,0 L0,400 L400,400 E",
                 "T0,0 C0,0 C0,0 C0,400 C0,400 C400,400"},
        // The closing vertex takes the last side (down-left) as its previous direction.
        PathCase{"CloseLengthZeroRecutsOnlyTheClosingVertex", 10, 0, "M0,0 L100,0 L100,100 L0,0 / M500,500",
                 "C-7,-7 C10,0 C0,0 T500,500"},
        PathCase{"PathEndClosesWithoutOverlap", 10, 0, "M0,0 L100,0 L100,100 L0,0 / E", "C0,0"},
        PathCase{"LineToTheCurrentPointChangesNothing", 20, 0, "M0,0 L0,100 L0,100 L0,200 E",
                 "T0,0 C0,0 C0,20 C0,100 C0,200"},
        // After a knife end the next line starts a path that turns against the last side.
        PathCase{"KnifeEndsAnOpenPath", 20, 0, "M0,0 L100,0 K | K | L100,100 E",
                 "T0,0 C0,0 C100,0 | | C120,0 C100,20 C100,100"},
        // Closing vertex (sharp, twice), the buffered points, then nothing on a second end; the
        // path stays pending and is buffered from the start again for the next overlap.
        PathCase{"KnifeOnAClosedPathRunsTheOverlapOnce", 0, 1000, "M0,0 L100,0 L0,0 / K | K | L0,50 L0,0 / M7,7",
                 "C0,0 C0,0 C100,0 C100,0 | | C0,0 C0,50 T7,7"},
        // 70000 along the path: the whole first side, then 20000 up the second.
        PathCase{"LongSidesHaveExactLengthsAndAxisDirections", 20, 70000,
                 "M0,0 L50000,0 L50000,50000 L0,50000 L0,0 | M0,0",
                 "T0,0 C0,0 C50020,0 C50000,20 C50000,50020 C49980,50000 C-20,50000 C0,49980 | "
                 "C0,-20 C20,0 C50020,0 C50000,20 C50000,20000 T0,0"},
        PathCase{"ExtremeCoordinatesClampTheOvercut", 20, 0,
                 "M-2147483648,0 L2147483647,0 L2147483647,2147483647 E",
                 "T-2147483648,0 C-2147483648,0 C2147483647,0 C2147483647,20 C2147483647,2147483647"}),
    [](const testing::TestParamInfo<PathCase>& p) { return std::string(p.param.name); });

TEST_P(KnifePathScript, GivesTheExactTrack) {
    EXPECT_EQ(RunPath(GetParam().sharp, GetParam().close, GetParam().script), GetParam().track);
}

// The corner test on cosines decides as the degrees do, at random turns and at
// turns a few units of the last place from 45 either way.
TEST(KnifePath, SharpTurnOnCosinesDecidesAsTheDegrees) {
    std::mt19937_64 rng(7);
    const double t = 45.0 / 57.325;
    std::uniform_real_distribution<double> angle(0.0, 3.14159);
    for (int i = 0; i < 20000; ++i) {
        const double a = angle(rng) * (1.0 - t / 3.14159);
        double q = std::cos(a + t);
        for (int k = 0; k < 9; ++k, q = std::nextafter(q, 2.0)) {
            for (auto [pc, nc] : {std::pair{std::cos(a), q}, std::pair{q, std::cos(a)},
                                  std::pair{std::cos(a), std::cos(angle(rng))}}) {
                const bool degrees = CKnifePath::IsSharpTurn(std::acos(pc) * 57.325 - std::acos(nc) * 57.325);
                ASSERT_EQ(CKnifePath::IsSharpTurn(pc, std::sin(std::acos(pc)), nc, std::sin(std::acos(nc))), degrees)
                    << pc << " " << nc;
            }
        }
    }
}

// The overlap buffer holds 96 points and visits 95, also when path ends and lines alternate
// past its room without resetting the count.
TEST(KnifePath, OverlapNeverRunsPastItsBuffer) {
    for (bool pairs : {false, true}) {
        TrackSink sink;
        CKnifePath path(0.0f, 1.0e6f, sink);
        path.Move(0, 0);
        for (int k = 1; k <= (pairs ? 120 : 150); ++k) path.Line(k, 0);
        for (int k = 0; pairs && k < 40; ++k) {
            path.PathEnd();
            path.Line(121 + k, k % 2);
        }
        path.Line(pairs ? 159 : 0, 0);  // back to where the last path began: closed
        sink.cuts = 0;
        path.Move(0, 0);
        // Closing vertex (sharp, twice), [the reversal at (1,0), twice,] then plain vertices up to (94,0).
        EXPECT_EQ(sink.cuts, pairs ? 2 + 2 + 93 : 2 + 94) << pairs;
        EXPECT_EQ(sink.lastCut, "C94,0");
    }
}

namespace {

// One send with the operator and the line it goes to. The operator's calls are logged one short line
// each; the operator answers, cancels after some records or once the line stalls, and abandons as told.
// The line collects the bytes; once `limit` bytes have arrived it fails (`fail`) or stops taking data,
// inside a command or at its end, until `releaseAfter` pumps of the stall have passed.
class SendRig : public CutterSendHooks, public CutterOutput {
public:
    CCutterSend::Result Run(const std::vector<JobRecord>& records, const CutterSendOptions& options = {},
                            const SendPatience& patience = {}) {
        test::ScratchDir dir;
        test::WriteRecords(dir.File("job.PT1"), records);
        CCutterSend send(options);
        send.SetPatience(patience);
        EXPECT_TRUE(send.OpenJob(dir.File("job.PT1")));
        const CCutterSend::Result result = send.Send(*this, *this);
        error = send.ErrorText();
        unfinished = send.LeftUnfinished();
        return result;
    }

    bool AskReadySend() override { return Log("ask"), answer; }
    void PromptKnifeChange(std::string_view text) override { Log("prompt " + std::string(text)); }
    void SetBarRange(std::int32_t low, std::int32_t high, std::int32_t step) override {
        Log("range " + std::to_string(low) + " " + std::to_string(high) + " " + std::to_string(step));
    }
    void Advance() override { ++advances; }
    void SetMessage(std::string_view text) override {
        lastMessage = text;
        if (text == "please wait...") Log(lastMessage);
    }
    void PumpPending() override {
        ++pumps;
        if (stalled && ++stallPumps == releaseAfter) limit = SIZE_MAX;
    }
    bool IsCancelRequested() override {
        return cancelled = cancelled || ++cancelQueries > cancelAfter || (cancelOnStall && stalled);
    }
    void BeginFinishing() override { Log("finishing"); }
    bool IsAbandonRequested() override { return abandon; }
    void Notice(std::string_view text) override { Log("notice[" + std::string(text) + "]"); }
    void Tell(std::string_view text) override { Log("tell[" + std::string(text) + "]"); }

    Status Write(const char* data, std::size_t n, OutputWait& wait) override {
        ++writes;
        bool begun = false;
        while (bytes.size() + n > limit) {
            if (fail) return Status::Failed;
            const std::size_t part = limit > bytes.size() ? limit - bytes.size() : 0;
            bytes.append(data, part), data += part, n -= part;
            begun = begun || part > 0;
            stalled = true;
            const OutputWait::Verdict verdict = wait.Idle(false, begun);
            if (verdict == OutputWait::Verdict::Stop) return begun ? Status::Failed : Status::Cancelled;
            if (verdict == OutputWait::Verdict::Drop) return Status::Dropped;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        stalled = false;
        bytes.append(data, n);
        return Status::Written;
    }
    std::string ErrorText() const override { return "/dev/ttyUSB0: Input/output error"; }

    // The operator
    std::string log, lastMessage;
    bool answer = true, cancelOnStall = false, abandon = false, cancelled = false;
    int advances = 0, pumps = 0, cancelQueries = 0, cancelAfter = INT32_MAX;
    // The line
    std::string bytes;
    std::size_t limit = SIZE_MAX;
    bool fail = false, stalled = false;
    int writes = 0, stallPumps = 0, releaseAfter = -1;
    // The send's outcome
    std::string error;
    bool unfinished = false;

private:
    void Log(const std::string& line) { log += line + ";"; }
};

// A complete job: the three headers, with the count filled in, before `body`.
std::vector<JobRecord> Job(std::vector<JobRecord> body, std::int32_t orientation = OrientationAsStored,
                           std::int32_t minY = 0, std::int32_t maxY = 0) {
    const auto count = static_cast<std::int32_t>(body.size() + 3);
    body.insert(body.begin(), {Rec(RecHeaderCount, count, orientation), Rec(RecHeaderMin, 0, minY),
                               Rec(RecHeaderMax, 0, maxY)});
    return body;
}

std::string Bytes(const std::vector<JobRecord>& records, const CutterSendOptions& options = {}) {
    SendRig rig;
    rig.Run(records, options);
    return rig.bytes;
}

const std::string Begun = "range 0 10 1;ask;please wait...;";  // the square's send up to its first record

}  // namespace

TEST(CutterSend, SquareWithoutOffsetsGivesTheExactStream) {
    SendRig rig;
    EXPECT_EQ(rig.Run(SquareJob()), CCutterSend::Result::Completed);
    EXPECT_EQ(rig.bytes, SquareStream);
    EXPECT_EQ(rig.log, Begun);
    // One step per body record, N - 3 in all; the counter text ends at N + 1.
    EXPECT_EQ(rig.advances, 7);
    EXPECT_EQ(rig.pumps, 7);
    EXPECT_EQ(rig.lastMessage, "send:11line");
}

TEST(CutterSend, KnifeWordsAndPromptsFollowDefineColorAndPenTip) {
    std::vector<JobRecord> knives;
    for (std::int32_t k : {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, -1}) knives.push_back(Rec(RecKnife, k));
    const std::string words = "P3 P4 P1 P2 P5 P6 P7 P8 P1 P1 P1 ", begun = "range 0 14 1;ask;please wait...;";
    const std::string prompts =
        "prompt select third knife;prompt select fourth knife;prompt select first knife;prompt select second knife;"
        "prompt select fifth knife;prompt select sixth knife;prompt select seventh knife;"
        "prompt select eighth knife;prompt select first knife;prompt select first knife;prompt select first knife;";
    // Without Define Color no knife word goes out, and Pen Tip prompts for nothing.
    for (const auto& [defineColor, penTip, sent, log] : {std::tuple{false, true, std::string(), begun},
                                                         std::tuple{true, false, words, begun},
                                                         std::tuple{true, true, words, begun + prompts}}) {
        CutterSendOptions options;
        options.defineColor = defineColor;
        options.penTip = penTip;
        SendRig rig;
        rig.Run(Job(knives), options);
        EXPECT_EQ(rig.bytes, sent);
        EXPECT_EQ(rig.log, log);
    }
}

TEST(HpglDialect, SquaresKnivesAndLongPathsGiveTheExactCommands) {
    // The mirrored square with offsets and a move, as the plain stream's track without repeated points.
    CutterSendOptions options;
    options.dialect = CutterDialectId::Hpgl;
    options.sharpMm = 0.5f;
    options.closeMm = 1.0f;
    options.moveXMm = 10.0f;
    options.moveYMm = 5.0f;
    EXPECT_EQ(Bytes(SquareJob(OrientationMirrorY, true), options),
              "IN;SP1;PU400,600;PD820,600,800,580,800,180,780,200,380,200,400,220,400,620,420,600,440,600;"
              "PU400,600;PU;SP0;PU0,400;");

    // Knife selects: the job's own numbers, speed and force where set, no repeated
    // select, the track before a Pen Tip prompt sent before the prompt.
    CutterSendOptions knives;
    knives.dialect = CutterDialectId::Hpgl;
    knives.defineColor = true;
    knives.penTip = true;
    knives.knives.speedCmS[2] = 30;
    knives.knives.force[2] = 120;
    knives.knives.force[0] = 80;
    SendRig rig;
    rig.Run(Job({Rec(RecJobStart), Rec(RecKnife, 3), M(0, 0), L(10, 0), Rec(RecKnife, 3), Rec(RecKnife, 9),
                 L(10, 10), Rec(RecPathEnd), L(0, 10)}),
            knives);
    EXPECT_EQ(rig.bytes, "IN;SP3;VS30;FS120;PU0,0;PD10,0;SP1;FS80;PD10,10;PU;SP0;PU0,0;SP1;FS80;PD10,10;");
    EXPECT_EQ(rig.log, "range 0 12 1;ask;please wait...;prompt select first knife;prompt select first knife;"
                       "prompt select first knife;");

    // A long path is sent in PD commands of 64 points; a cancel sends none of the points held back.
    std::vector<JobRecord> zigzag = {M(0, 0)};
    for (int i = 1; i <= 100; ++i) zigzag.push_back(L(i, i % 2));
    CutterSendOptions hpgl;
    hpgl.dialect = CutterDialectId::Hpgl;
    const std::string all = Bytes(Job(zigzag), hpgl);
    EXPECT_EQ(all.substr(0, 24), "IN;SP1;PU0,0;PD1,1,2,0,3");
    EXPECT_NE(all.find(",63,1,64,0;PD65,1,66,0,"), std::string::npos);
    EXPECT_EQ(all.substr(all.size() - 11), ",98,0,99,1;");  // the last vertex waits for the path's end
    SendRig cancelling;
    cancelling.cancelAfter = 50;
    EXPECT_EQ(cancelling.Run(Job(zigzag), hpgl), CCutterSend::Result::Cancelled);
    EXPECT_EQ(cancelling.bytes, "IN;SP1;PU0,0;");
}

TEST(CutterSend, AnEmptyBodyAndTwoPathEndsAreSent) {
    // N = 3: the question is asked and the range set, nothing is sent.
    SendRig empty;
    EXPECT_EQ(empty.Run(Job({})), CCutterSend::Result::Completed);
    EXPECT_EQ(empty.bytes, "");
    EXPECT_EQ(empty.log, "range 0 3 1;ask;please wait...;");

    // Two path ends send the feed move and the terminator twice; without a job
    // start there is no init string.
    // The line after the path end starts at (0, 0) and turns 0 - 53.15: a sharp start vertex.
    EXPECT_EQ(Bytes(Job({Rec(RecPathEnd), L(3, 4), Rec(RecPathEnd)}, OrientationMirrorY, -50, 100)),
              "U150,0   @ 0 U0,0  @  D100,0 D100,0 D96,3 U150,0   @ 0 U0,0  @  ");
}

// What is not a complete job never reaches the output: the send refuses it at OpenJob.
TEST(CutterSend, RefusesWhatIsNotACompleteJob) {
    const JobRecord h0 = Rec(RecHeaderMin), h1 = Rec(RecHeaderMax);
    const struct {
        std::vector<JobRecord> records;
        std::string tail;  // raw bytes after the records
        std::string reason;
    } cases[] = {
        {{Rec(RecHeaderCount, 9, 4)}, "", "the first three records are not the headers 200, 201, 202"},
        {{h0, Rec(RecHeaderCount, 3, 4), h1}, "", "the first three records are not the headers 200, 201, 202"},
        {{}, "\x89PNG\r\n\x1a\n random bytes of another kind of file, long enough", "the first three records are not the headers 200, 201, 202"},
        {{Rec(RecHeaderCount, 5, 4), h0, h1, Rec(RecMove, 1, 1)}, "0123456789", "the header counts 5 records, the file holds 4"},
        {{Rec(RecHeaderCount, 2, 4), h0, h1}, "", "the header counts 2 records, the file holds 3"},
        {{Rec(RecHeaderCount, -7, 4), h0, h1}, "", "the header counts -7 records, the file holds 3"},
        {{Rec(RecHeaderCount, 5, 4), h0, h1, Rec(RecPlaceholder), Rec(RecPathEnd)}, "", "record 4 has the unknown code 0"},
        {{Rec(RecHeaderCount, 4, 4), h0, h1, Rec(RecHeaderCount, 4, 4)}, "", "record 4 has the unknown code 200"},
    };
    test::ScratchDir dir;
    const std::string job = dir.File("job.PT1");
    for (const auto& c : cases) {
        test::WriteRecords(job, c.records);
        test::WriteText(job, test::ReadBytes(job) + c.tail);
        CCutterSend send({});
        EXPECT_FALSE(send.OpenJob(job)) << c.reason;
        EXPECT_EQ(send.JobRefusal(), c.reason);
        EXPECT_EQ(send.ErrorText(), job + ": file type error: " + c.reason);
    }
    // Trailing bytes after the counted records are not looked at.
    test::WriteRecords(job, {Rec(RecHeaderCount, 3, 4), h0, h1, Rec(77)});
    EXPECT_TRUE(CCutterSend({}).OpenJob(job));
    CCutterSend missing({});
    EXPECT_FALSE(missing.OpenJob("/nonexistent/job.PT1"));
    EXPECT_EQ(missing.ErrorText(), "/nonexistent/job.PT1: No such file or directory");
}

TEST(CutterSend, CancelAndDeclineLeaveOnlyCompleteCommands) {
    for (int k = 1; k <= 7; ++k) {
        SendRig rig;
        rig.cancelAfter = k - 1;  // the k-th record's query cancels
        EXPECT_EQ(rig.Run(SquareJob()), CCutterSend::Result::Cancelled);
        EXPECT_EQ(rig.advances, k);
        EXPECT_EQ(rig.log.substr(rig.log.size() - 20), "tell[ cancle send ];");
        // What went out is the start of the full stream and ends with a whole command.
        EXPECT_EQ(SquareStream.compare(0, rig.bytes.size(), rig.bytes), 0) << rig.bytes;
        EXPECT_EQ(rig.bytes.back(), ' ');
        if (k < 7) {
            EXPECT_EQ(rig.bytes.find('@'), std::string::npos);
        }
    }
    SendRig declining;
    declining.answer = false;
    EXPECT_EQ(declining.Run(SquareJob()), CCutterSend::Result::Declined);
    EXPECT_EQ(declining.bytes, "");
    EXPECT_EQ(declining.log, "range 0 10 1;ask;");
}

TEST(CutterSend, FailingOutputStopsTheSendWithItsReason) {
    SendRig rig;
    rig.limit = 22;
    rig.fail = true;
    EXPECT_EQ(rig.Run(SquareJob()), CCutterSend::Result::OutputFailed);
    EXPECT_EQ(rig.error, "/dev/ttyUSB0: Input/output error");
    EXPECT_EQ(rig.bytes, ";:H A L0 ECN U0,0 ");
    // The failed write was the last one tried: the rest of the track was dropped.
    EXPECT_EQ(rig.writes, 3);
    EXPECT_EQ(rig.log, Begun);
}

namespace {

struct StallCase {
    const char* name;
    std::size_t limit;  // the line stalls after this many bytes
    bool cancel;
    bool abandon;
    int releaseAfter;  // pumps during the stall before the line moves again; -1: never
    SendPatience patience;
    CCutterSend::Result result;
    std::string bytes;  // what the cutter holds in the end
    std::string log;    // after the send's start
    std::string error;
    bool unfinished;
};

class CutterSendStall : public testing::TestWithParam<StallCase> {};

constexpr std::chrono::hours Never{1};
const std::string Abandoned = std::string("tell[") + CCutterSend::AbandonedText + "];";

}  // namespace

// The square's stream: ";:H A L0 ECN U0,0 D0,0 D0,400 ..."; 20 bytes stop inside "D0,0 ".
INSTANTIATE_TEST_SUITE_P(
    Cases, CutterSendStall,
    testing::Values(
        StallCase{"CancelFinishesTheBegunCommandOnceTheLineMoves", 20, true, false, 3, {Never, Never, {}},
                  CCutterSend::Result::Cancelled, ";:H A L0 ECN U0,0 D0,0 ", "finishing;tell[ cancle send ];", "",
                  false},
        // Also an output reporting the cancel itself (the wait said Stop) ends the send as cancelled.
        StallCase{"CancelAtACommandsEndStopsAtOnce", 18, true, false, -1, {Never, Never, {}},
                  CCutterSend::Result::Cancelled, ";:H A L0 ECN U0,0 ", "tell[ cancle send ];", "", false},
        StallCase{"AbandonDropsTheRestAndSaysSo", 20, true, true, -1, {Never, Never, {}},
                  CCutterSend::Result::Abandoned, ";:H A L0 ECN U0,0 D0", "finishing;" + Abandoned, "", true},
        StallCase{"ALineStillForTheFinishTimeIsGivenUp", 20, true, false, -1, {Never, std::chrono::milliseconds(20), {}},
                  CCutterSend::Result::Abandoned, ";:H A L0 ECN U0,0 D0", "finishing;" + Abandoned, "", true},
        StallCase{"StallIsToldAndTheSendWaitsOn", 20, false, false, 3, {std::chrono::milliseconds(0), Never, {}},
                  CCutterSend::Result::Completed, SquareStream,
                  "notice[the cutter has taken nothing for 0 s];", "", false},
        StallCase{"StallLimitEndsTheSendAsFailed", 20, false, false, -1,
                  {Never, Never, std::chrono::milliseconds(100)}, CCutterSend::Result::OutputFailed,
                  ";:H A L0 ECN U0,0 D0", "", "the cutter has taken nothing for 0.1 s", true}),
    [](const testing::TestParamInfo<StallCase>& p) { return std::string(p.param.name); });

TEST_P(CutterSendStall, EndsAsTheOperatorAndThePatienceSay) {
    const StallCase& c = GetParam();
    SendRig rig;
    rig.limit = c.limit;
    rig.cancelOnStall = c.cancel;
    rig.abandon = c.abandon;
    rig.releaseAfter = c.releaseAfter;
    EXPECT_EQ(rig.Run(SquareJob(), {}, c.patience), c.result);
    EXPECT_EQ(rig.bytes, c.bytes);
    EXPECT_EQ(rig.log, Begun + c.log);
    EXPECT_EQ(rig.error, c.error);
    EXPECT_EQ(rig.unfinished, c.unfinished);
}

TEST(CutterSend, OptionsOutsideTheirRangesAreRefused) {
    CutterSendOptions o;
    EXPECT_EQ(CCutterSend::CheckOptions(o), "");
    o.moveXMm = 2.0e6f;
    EXPECT_EQ(CCutterSend::CheckOptions(o), "the x move must be a number from -1000000 to 1000000 mm");
    o.moveXMm = 0;
    o.moveYMm = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(CCutterSend::CheckOptions(o), "the y move must be a number from -1000000 to 1000000 mm");
    o.moveYMm = 0;
    o.sharpMm = -1;
    EXPECT_EQ(CCutterSend::CheckOptions(o), "the sharp offset must be a number from 0 up");
    o.sharpMm = 0;
    o.closeMm = std::numeric_limits<float>::infinity();
    EXPECT_EQ(CCutterSend::CheckOptions(o), "the close offset must be a number from 0 up");

    // Millimetres become units in single precision: 0.35 mm is 14 units, not 13.
    CutterSendOptions small;
    small.moveXMm = 0.35f;
    small.moveYMm = -0.35f;
    EXPECT_EQ(Bytes(Job({M(1, 2), Rec(RecPathEnd)}, OrientationAsStored, 0, 7), small),
              "U-12,15 U7,0   @ 0 U0,0  @  ");
    // Extreme coordinates with a mirror and a move are sent exactly, without wrapping.
    CutterSendOptions move;
    move.moveYMm = 1.0e6f;
    EXPECT_EQ(Bytes(Job({M(INT32_MIN, INT32_MIN), Rec(RecPathEnd)}, OrientationMirrorY, INT32_MIN, INT32_MAX), move),
              "U4334967295,-2147483648 U4294967295,0   @ 0 U0,0  @  ");
}

TEST(StreamCommand, WritesTheExactStreamsAndRefusesBadArguments) {
    test::ScratchDir dir;
    const std::string square = dir.File("square.PT1"), mirrored = dir.File("mirrored.PT1"), file = dir.File("s.txt");
    test::WriteRecords(square, SquareJob(OrientationAsStored, true));
    test::WriteRecords(mirrored, SquareJob(OrientationMirrorY, true));
    const std::string knifeValue =
        "velkar: --knife-force takes KNIFE=VALUE, a knife from 1 to 8 and a whole number from 1 to 1000\n";
    const struct {
        std::vector<std::string> args;
        int code;
        std::string out, err;
    } cases[] = {
        {{mirrored, "--sharp", "0.5", "--close", "1", "--move-x", "10", "--move-y", "5", "-o", file, "--define-color"},
         cli::ExitOk, "", ""},
        // The plain square in the other dialect: the same track, with the points it repeats left out.
        {{square, "--dialect", "hpgl", "--define-color", "--knife-speed", "1=25"}, cli::ExitOk,
         "IN;SP1;VS25;PU0,0;PD400,0,400,400,0,400,0,0;PU;SP0;PU0,400;", ""},
        {{square, "--dialect", "HP-GL"}, cli::ExitUsage, "", "velkar: --dialect takes one of velkar, hpgl\n"},
        {{square, "--knife-force", "9=10"}, cli::ExitUsage, "", knifeValue},
        {{square, "--knife-force", "1=1001"}, cli::ExitUsage, "", knifeValue},
        {{square, "--sharp", "2.01"}, cli::ExitUsage, "", "velkar: --sharp takes a number of millimetres from 0 to 2\n"},
        {{square, "--close", "5x"}, cli::ExitUsage, "", "velkar: --close takes a number of millimetres from 0 to 5\n"},
        {{square, "--move-x"}, cli::ExitUsage, "",
         "velkar: --move-x takes a number of millimetres from -1000000 to 1000000\n"},
        {{square, "--pen-tip"}, cli::ExitUsage, "", "velkar: unknown option '--pen-tip' (see 'velkar stream --help')\n"},
        {{dir.File("missing.PT1")}, cli::ExitFileError, "",
         "velkar: " + dir.File("missing.PT1") + ": No such file or directory\n"},
        {{square, "-o", dir.File("no/such/dir")}, cli::ExitFileError, "",
         "velkar: " + dir.File("no/such/dir") + ": No such file or directory\n"},
        {{}, cli::ExitUsage, "", "velkar: no job given (see 'velkar stream --help')\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), "stream");
        const test::CliRun run = test::RunVelkar(args);
        EXPECT_EQ(run.code, c.code) << c.err;
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, c.err);
    }
    EXPECT_EQ(test::ReadBytes(file),
              ";:H A L0 ECN U600,400 D600,400 D600,820 D580,800 D180,800 D200,780 D200,380 D220,400 D620,400 "
              "D600,420 D600,440 U600,400 U400,0   @ 0 U0,0  @  ");
}

namespace {

std::vector<CCommandReplay::Step> ReplayedPath(const std::string& bytes) {
    CCommandReplay replay(true);
    replay.Feed(bytes.data(), bytes.size());
    return replay.Path();
}

// Paths with sharp turns, closed ones ended by a move, knife selects and path ends.
std::vector<JobRecord> MixedJob(std::mt19937& rng) {
    std::vector<JobRecord> r = {Rec(RecJobStart)};
    for (int p = 0, paths = 1 + int(rng() % 12); p < paths; ++p) {
        if (rng() % 4 == 0) r.push_back(Rec(RecKnife, 1 + std::int32_t(rng() % 8)));
        const std::int32_t x = std::int32_t(rng() % 900), y = std::int32_t(rng() % 900);
        r.push_back(M(x, y));
        for (int k = 0, n = 1 + int(rng() % 5); k < n; ++k) r.push_back(L(std::int32_t(rng() % 900), std::int32_t(rng() % 900)));
        if (rng() % 2) r.push_back(L(x, y)), r.push_back(M(x, y));
        if (rng() % 5 == 0) r.push_back(Rec(RecPathEnd));
    }
    r.push_back(Rec(RecPathEnd));
    return Job(r, rng() % 2 ? OrientationMirrorY : OrientationAsStored, 0, 900);
}

}  // namespace

TEST(CutterSend, CompactStreamLeavesOutOnlyMovesThatChangeNothing) {
    CutterSendOptions compact;
    compact.compact = true;
    EXPECT_EQ(Bytes(SquareJob(), compact), ";:H A L0 ECN U0,0 D0,400 D400,400 D400,0 D0,0 U400,0   @ 0 U0,0  @  ");

    std::mt19937 rng(1402);
    for (int round = 0; round < 60; ++round) {
        const std::vector<JobRecord> job = MixedJob(rng);
        CutterSendOptions options;
        options.sharpMm = float(rng() % 3) * 0.25f;
        options.closeMm = float(rng() % 3) * 0.5f;
        options.defineColor = rng() % 2;
        const std::string full = Bytes(job, options);
        options.compact = true;
        const std::string small = Bytes(job, options);
        ASSERT_EQ(ReplayedPath(small), ReplayedPath(full)) << "round " << round;
        ASSERT_LE(small.size(), full.size());
    }
}

TEST(CutterSend, FromPathSendsTheStartSequenceTheKnifeAndTheRestOfAFullSend) {
    const std::vector<JobRecord> job = Job({Rec(RecJobStart), Rec(RecKnife, 1), M(0, 0), L(400, 0), Rec(RecKnife, 2),
                                            M(10, 10), L(10, 300), M(50, 50), L(90, 50), L(50, 50), Rec(RecPathEnd)},
                                           OrientationAsStored, 0, 400);
    CutterSendOptions options;
    options.defineColor = true;
    options.sharpMm = 0.5f;
    const std::string full = Bytes(job, options);
    for (const auto& [from, start, knife] : {std::tuple{2, "U10,10 ", "P4 "}, std::tuple{3, "U50,50 ", "P4 "}}) {
        options.fromPath = from;
        const std::string part = Bytes(job, options);
        const std::string head = std::string(CVelkarDialect::InitString) + knife;
        ASSERT_EQ(part.substr(0, head.size()), head);
        const std::string rest = part.substr(head.size());
        EXPECT_EQ(rest.substr(0, std::strlen(start)), start);
        ASSERT_GE(full.size(), rest.size());
        EXPECT_EQ(full.substr(full.size() - rest.size()), rest) << "from path " << from;
    }
    EXPECT_EQ(CCutterSend::StoppedText(412, 1530), "stopped in path 412 of 1,530");
    EXPECT_EQ(CCutterSend::StoppedText(7, 1234567), "stopped in path 7 of 1,234,567");
}

TEST(SendEstimate, MeasuresTheSquareByHand) {
    test::ScratchDir dir;
    test::WriteRecords(dir.File("square.PT1"), SquareJob(OrientationAsStored, false));
    CSendEstimate estimate;
    ASSERT_TRUE(estimate.Run(dir.File("square.PT1"), {}));
    // Four 10 mm sides cut; the feed move out to 400,0 and the terminator's
    // move back to 0,0 travel 20 mm; the stream is the 96 bytes above.
    EXPECT_DOUBLE_EQ(estimate.CutMetres(), 0.04);
    EXPECT_DOUBLE_EQ(estimate.TravelMetres(), 0.02);
    EXPECT_EQ(estimate.Bytes(), 96u);
    EXPECT_DOUBLE_EQ(CSendEstimate::LineSeconds(960, 9600, 11), 1.1);
    EXPECT_EQ(CSendEstimate::LineSeconds(960, 0, 10), 0.0);
    const std::pair<double, const char*> durations[] = {{0, "0:00"}, {61.2, "1:02"}, {3600, "1:00:00"}, {7322, "2:02:02"}};
    for (const auto& [seconds, text] : durations) EXPECT_EQ(CSendEstimate::DurationText(seconds), text);
    EXPECT_EQ(CSendEstimate::Summary(102, 9600, 23.44), "about 1:42 at 9600 baud, 23.4 m of cut");
    EXPECT_FALSE(estimate.Run(dir.File("missing.PT1"), {}));
    EXPECT_EQ(estimate.ErrorText(), dir.File("missing.PT1") + ": No such file or directory");
}
