#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "import/standardplotreader.h"
#include "job/jobcheck.h"
#include "testsupport.h"

using namespace velkar;
namespace fs = std::filesystem;

namespace {

struct Converted {
    ConversionResult result = -1;
    std::int32_t count = 0;
    StandardPlotStats stats;
    std::string error;
    std::vector<JobRecord> records;
};

Converted Convert(const test::ScratchDir& dir, const std::string& text) {
    Converted c;
    const std::string input = dir.File("in.plt"), job = dir.File("in.PT1");
    test::WriteText(input, text);
    fs::remove(job);
    c.result = ConvertStandardPlotFile(input, job, c.count, c.stats, c.error);
    if (c.result == ConversionDone) c.records = test::ReadRecords(job);
    return c;
}

// The body as short words: S job start, K knife, M move, L line, E path end; from the start,
// the headers N count,orientation, A box minimum and B box maximum.
std::string Body(const std::vector<JobRecord>& records, std::size_t from = 3) {
    std::string out;
    for (std::size_t i = from; i < records.size(); ++i) {
        const JobRecord& r = records[i];
        if (!out.empty()) out += ' ';
        switch (r.code) {
        case RecHeaderCount: out += "N" + std::to_string(r.x) + "," + std::to_string(r.y); break;
        case RecHeaderMin: out += "A" + std::to_string(r.x) + "," + std::to_string(r.y); break;
        case RecHeaderMax: out += "B" + std::to_string(r.x) + "," + std::to_string(r.y); break;
        case RecJobStart: out += "S"; break;
        case RecKnife: out += "K" + std::to_string(r.x); break;
        case RecMove: out += "M" + std::to_string(r.x) + "," + std::to_string(r.y); break;
        case RecLine: out += "L" + std::to_string(r.x) + "," + std::to_string(r.y); break;
        case RecPathEnd: out += "E"; break;
        default: out += "?" + std::to_string(r.code); break;
        }
    }
    return out;
}

std::string BodyOf(const test::ScratchDir& dir, const std::string& text) {
    Converted c = Convert(dir, text);
    EXPECT_EQ(c.result, ConversionDone) << c.error;
    return Body(c.records);
}

// A file and the body it gives, as short words.
struct BodyCase {
    std::string text;
    std::string body;
};

class Reads : public testing::TestWithParam<BodyCase> {};

TEST_P(Reads, TheBodyOfTheFile) {
    test::ScratchDir dir;
    EXPECT_EQ(BodyOf(dir, GetParam().text), GetParam().body) << GetParam().text;
}

// clang-format off
const BodyCase BodyCases[] = {
    // HP-GL behind NUL bytes, PJL and PCL wrappers, device control sequences, '#' comments, a cutter's own instructions.
    {std::string(600, '\0') + "\x1b%-12345X@PJL JOB\r\n@PJL ENTER LANGUAGE=HPGL2\r\n\x1b" "E\x1b*r1A\x1b*b3WABC\x1b%0BBPINPS2000,2000"
     "SP1PU0,0PD100,0\x1b%0A\x1b*b2WPD\x1b%1BPD100,100;\x1b%-12345X", "S K1 M0,0 L100,0 L100,100 E"},
    {"\x1b.(;\x1b.I81;;17:\x1b.N;19:IN;# a comment with PD9,9\nPU1,1;PD2,2;", "S K1 M1,1 L2,2 E"},
    {"ZG;\nFS3;ZX0,1;IN;PU1,1;PD2,2;", "S K1 M1,1 L2,2 E"},
    // Blanks, commas and signs separate; terminators may be missing; any number of pairs.
    {"PU100 200PD300-200 400,500\r\nPR10,10-20-20;PA;PD7,8", "S K1 M100,200 L300,-200 L400,500 L410,510 L390,490 L7,8 E"},
    // Decimals round to the nearest unit; PU and PD without pairs only set the pen.
    {"IN;PU;PA1.5,2.49;PD;PA-1.5,0.5,.4,-.6;PU;", "S K1 M2,2 L-1,1 L0,-1 E"},
    // An odd parameter is ignored; lower-case instructions are read.
    {"pu5,5;pd6,6,7;", "S K1 M5,5 L6,6 E"},
    // Scaling; isotropic scaling centres the smaller factor; type 2 gives the factors directly.
    {"IN;IP0,0,1000,2000;SC0,10,0,10;PU0,0;PD10,10;PR-5,0;", "S K1 M0,0 L1000,2000 L500,2000 E"},
    {"IN;IP0,0,1000,2000;SC0,10,0,10,1;PU0,0;PD10,10;", "S K1 M0,500 L1000,1500 E"},
    {"IN;IP0,0,1000,2000;SC0,10,0,10,1,0,0;PU0,0;PD10,10;", "S K1 M0,0 L1000,1000 E"},
    {"IN;IP100,100;SC0,3,0,4,2;PU1,1;", "S K1 M103,104 E"},
    // A degenerate scaling is ignored, not drawn to infinity.
    {"IN;SC5,5,0,1;PD5,5;", "S K1 M0,0 L5,5 E"},
    // IP ends the scaling; IN resets P1 and P2 to (0,0) and (33600,47520); PS sets the plot size a bare IP spans.
    {"IN;SC0,100,0,100;PU1,1;IP;PU1,1;IN;SC0,100,0,100;PU100,100;", "S K1 M336,475 M1,1 M33600,47520 E"},
    {"IN;PS2000,1000;IP;SC0,1,0,1;PU1,1;", "S K1 M2000,1000 E"},
    // RO sets the angle; it does not add to the last one, so RO0 after RO90 turns the drawing back.
    {"IN;RO90;PU10,20;RO180;PU10,20;RO270;PU10,20;RO45;PU10,20;", "S K1 M-20,10 M-10,-20 M20,-10 M10,20 E"},
    {"IN;RO90;PU10,20;PD20,20;RO0;PD20,30;RO90;RO90;PD30,30;", "S K1 M-20,10 L-20,20 L20,30 L-30,30 E"},
    // A plot size shorter than it is wide (PS4 leaves the width at 47520) neither turns nor moves the drawing.
    {"IN;PS4;PU500,300;PD600,300;PS1000,2000;PD600,350;PS2000,1000;PD500,350;", "S K1 M500,300 L600,300 L600,350 L500,350 E"},
    // Arcs: the file's chord angle (100 degrees in 30, 30, 30 and 10); collinear points of AT draw a line.
    {"IN;PU500,0;PD;AA0,0,100,30;", "S K1 M500,0 L433,250 L250,433 L0,500 L-87,492 E"},
    {"IN;PU0,0;PD;AT50,0,100,0;", "S K1 M0,0 L100,0 E"},
    // Outside the input window the knife travels only when a cut needs it; IW without parameters ends the window.
    {"IN;IW0,0,100,100;PU-50,50;PD150,50;PU200,200;PD50,150,50,-50;IW;PD60,-60;", "S K1 M0,50 L100,50 M50,100 L50,0 M50,-50 L60,-60 E"},
    // IW alone opens the window to the plot size that PS gave (turned by RO 90); without PS nothing is clipped;
    // a PS after the drawing has begun gives no size to clip to.
    {"IN;PS1000,500;IW;PU-100,100;PD1200,100;", "S K1 M0,100 L1000,100 E"},
    {"IN;PS1000,500;RO90;IW;PU100,-100;PD100,1200;", "S K1 M0,100 L-1000,100 E"},
    {"IN;IW;PU-100,100;PD1200,100;", "S K1 M-100,100 L1200,100 E"},
    {"IN;PU0,0;PD10,0;PS4;IW;PU-100,100;PD1200,100;", "S K1 M0,0 L10,0 M-100,100 L1200,100 E"},
    // LT2 in millimetres: 5 mm patterns of half dash, half gap, running on over vertices and PD instructions,
    // starting again after a pen-up move; LT alone is solid again.
    {"IN;LT2,5,1;PU0,0;PD150,0;PD300,0;PU0,10;PD250,10;LT;PD400,10;", "S K1 M0,0 L100,0 M200,0 L300,0 M0,10 L100,10 M200,10 L250,10 L400,10 E"},
    // The default length is 4% of the diagonal from P1 to P2 (58199 units); LT keeps the length.
    {"IN;LT3;PU0,0;PD4000,0;", "S K1 M0,0 L1630,0 M2328,0 L3958,0 E"},
    {"IN;LT2,10;LT2;PU0,0;PD3000,0;", "S K1 M0,0 L2910,0 E"},
    // A zero part is a dot: the shortest cut, along the line. Type 0 dots each segment's end.
    {"IN;LT1,5,1;PU0,0;PD450,0;", "S K1 M0,0 L1,0 M200,0 L201,0 M400,0 L401,0 E"},
    {"IN;LT0;PU0,0;PD0,100,50,100;", "S K1 M0,0 M0,100 L0,101 M50,100 L51,100 E"},
    // Adaptive: a whole number of patterns (here 2.5 rounded to 3) fits each segment, half dashes at its ends;
    // a pattern of one dash cuts the whole line.
    {"IN;LT-2,5,1;PU0,0;PD500,0;", "S K1 M0,0 L42,0 M125,0 L167,0 L208,0 M292,0 L333,0 L375,0 M458,0 L500,0 E"},
    {"IN;UL1,100;LT-1,5,1;PU0,0;PD500,0;", "S K1 M0,0 L167,0 L333,0 L500,0 E"},
    // UL defines a pattern in percent; a type beyond 8 is solid; dashes are clipped to the window.
    {"IN;UL2,20,30,40,10;LT2,5,1;PU0,0;PD200,0;LT9;PD300,0;", "S K1 M0,0 L40,0 M100,0 L180,0 M200,0 L300,0 E"},
    {"IN;IW0,0,250,250;LT2,5,1;PU0,0;PD450,0;", "S K1 M0,0 L100,0 M200,0 L250,0 E"},
    // Far more patterns than a knife could tell apart: the segment is cut solid.
    {"IN;LT2,0.001,1;PU0,0;PD1000000,0;", "S K1 M0,0 L1000000,0 E"},
    // Rectangles are outlines.
    {"IN;PU10,10;EA30,20;ER-5,5;RA0,0;RR1,1;", "S K1 M10,10 L30,10 L30,20 L10,20 L10,10 L5,10 L5,15 L10,15 L10,10 L0,10 L0,0 L10,0 L10,10 L11,10 L11,11 L10,11 L10,10 E"},
    // Encoded polylines: knife 3 (':'), pen up to (100,200), relative cuts (50,-20) and (-150,0).
    {"IN;PE:\xc5<=G\xc2O\xc5" "c\xc0\xe8l\xc3\xbf;", "S K3 M100,200 L150,180 L0,180 E"},
    // Seven-bit mode with 3 fractional bits: (80,-16)/8 then (4,12)/8.
    {"IN;PE7>e<=?d@`gw;PD1,1;", "S K1 M10,-2 L11,0 L1,1 E"},
    // DM/PL. ECN: one unit is one job unit; coordinate lists with commas or blanks.
    {";:HOA,ECN,U,10,20,D,30,20 30 40,P2,U,0,0,D5,5,e@ D9,9", "S K1 M10,20 L30,20 L30,40 K2 M0,0 L5,5 E"},
    // EC1 (0.001 inch), EC5 (0.005 inch) and ECM (0.1 mm); "@" and "Z" end the drawing.
    {";:HAL0EC1 U 1000,0 D 1000,1000 @ D 0,0", "S K1 M1016,0 L1016,1016 E"},
    {" ;:EC5 A U100 100 D 200 100 Z D 0,0", "S K1 M508,508 L1016,508 E"},
    {"\r\n;:ECM U10,10 R D10,0 0,10 A D 0,0;", "S K1 M40,40 L80,40 L80,80 L0,0 E"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(StandardPlot, Reads, testing::ValuesIn(BodyCases));

}  // namespace

TEST(StandardPlotReader, WritesTheBodyInDrawingOrderWithHeaders) {
    test::ScratchDir dir;
    Converted c = Convert(dir, "IN;SP2;PU10,20;PD30,20,30,40;SP0;PU0,0;SP3;PD5,5;SP9;PD6,6;");
    ASSERT_EQ(c.result, ConversionDone) << c.error;
    EXPECT_EQ(Body(c.records, 0), "N17,1 A0,0 B30,40 S K2 M10,20 L30,20 L30,40 K1 M0,0 K3 M0,0 L5,5 K1 M5,5 L6,6 E");
    EXPECT_EQ(c.count, static_cast<std::int32_t>(c.records.size()));
    // A file without drawing: job start and path end, the box left at its start values.
    EXPECT_EQ(Body(Convert(dir, "IN;SP1;").records, 0), "N5,1 A200000000,200000000 B-200000000,-200000000 S E");
}

TEST(StandardPlotReader, RefusesFilesThatAreNotPlotterFilesOrOutOfRangeAndKeepsTheJob) {
    test::ScratchDir dir;
    const std::string input = dir.File("in.plt"), job = dir.File("in.PT1");
    const std::string range = "cannot convert " + input + ": a coordinate lies beyond 1000000000 units (25 km)";
    const std::pair<std::string, std::string> cases[] = {
        {"", "not a plotter file: " + input + ": the file is empty"},
        {std::string(40, '\0') + "\r\n", "not a plotter file: " + input + ": the file holds no instructions"},
        {"\x1b%-12345X@PJL JOB\n", "not a plotter file: " + input + ": the printer wrapper holds no HP-GL"},
        {"<?xml version=\"1.0\"?><svg/>",
         "not a plotter file: " + input + ": it starts with \"<?xml version=\"1\", neither HP-GL nor DM/PL"},
        {"G21\nG1 X10 Y10\n", "not a plotter file: " + input + ": it starts with \"G21\", neither HP-GL nor DM/PL"},
        {"ZG;ZZ1;Hello", "not a plotter file: " + input + ": it starts with \"ZG;ZZ1;Hello\", neither HP-GL nor DM/PL"},
        {"\x89PNG\r\n\x1a\n", "not a plotter file: " + input + ": it starts with \"?PNG\", neither HP-GL nor DM/PL"},
        {"IN;PD1000000001,0;", range},
        {"IN;PU0,0;PR999999999,0,999999999,0;", range},
        {"IN;SC0,1000000,0,1,2;PD1001,0;", range},
        {"IN;PD1000000000000000000000000000000000000,0;", range},
    };
    for (const auto& [text, message] : cases) {
        test::WriteText(job, "previous job");
        test::WriteText(input, text);
        std::int32_t count = 7;
        StandardPlotStats stats;
        std::string error;
        EXPECT_EQ(ConvertStandardPlotFile(input, job, count, stats, error),
                  message == range ? ConversionOutOfRange : ConversionNotPlotterFile);
        EXPECT_EQ(error, message);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(test::ReadBytes(job), "previous job");
    }

    std::int32_t count = 0;
    StandardPlotStats stats;
    std::string error;
    EXPECT_EQ(ConvertStandardPlotFile(dir.File("missing.plt"), job, count, stats, error), ConversionFileFailed);
    EXPECT_EQ(error, "cannot read " + dir.File("missing.plt") + ": No such file or directory");
    test::WriteText(input, "IN;PD1,1;");
    EXPECT_EQ(ConvertStandardPlotFile(input, dir.File("no/such/dir/x.PT1"), count, stats, error), ConversionFileFailed);
    EXPECT_EQ(error, "cannot write " + dir.File("no/such/dir/x.PT1") + ": No such file or directory");
}

TEST(HpglReader, CirclesAreChordsWithinOneUnit) {
    test::ScratchDir dir;
    Converted c = Convert(dir, "IN;PU1000,1000;CI500;PD1000,0;");
    ASSERT_EQ(c.result, ConversionDone) << c.error;
    const auto& r = c.records;
    ASSERT_EQ(r[6], test::Rec(RecMove, 1500, 1000));
    std::size_t i = 7;
    for (; i < r.size() && r[i].code == RecLine; ++i) {
        // Vertex and chord middle stay within one unit of the circle.
        EXPECT_LE(std::fabs(std::hypot(r[i].x - 1000.0, r[i].y - 1000.0) - 500), 1.0);
        EXPECT_LE(std::fabs(std::hypot((r[i].x + r[i - 1].x) / 2.0 - 1000, (r[i].y + r[i - 1].y) / 2.0 - 1000) - 500), 1.0);
    }
    EXPECT_EQ(r[i - 1], test::Rec(RecLine, 1500, 1000));
    EXPECT_TRUE(i > 37 && i < 207) << i - 7 << " chords";
    // The pen returns to the centre, so the next line starts there.
    EXPECT_EQ(Body(r, r.size() - 3), "M1000,1000 L1000,0 E");
}

// An arc or a circle as its number of cuts, its box and the job's last records.
TEST(HpglReader, ArcsFollowTheFilesChordsAndEndWhereTheyShould) {
    const std::pair<std::string, std::string> cases[] = {
        // AA from (100,0) about the origin by 90 degrees ends at (0,100); AR takes a relative centre;
        // a pen-up arc is one move to its end.
        {"IN;PU100,0;PD;AA0,0,90;PU;AR0,-100,-90;", "12 cuts in 0,0 100,100, ending L0,100 M100,0 E"},
        // AT through three points: a half circle from (0,0) over (100,100) to (200,0).
        {"IN;PU0,0;PD;AT100,100,200,0;", "23 cuts in 0,0 200,100, ending L199,14 L200,0 E"},
        // A circle cut by the input window given in user units (where it leaves the window at (0,50) a cut
        // of no length remains).
        {"IN;SC0,10,0,10,2;IW0,0,10,10;PU0,0;CI5;", "9 cuts in 0,0 50,50, ending L0,50 L0,50 E"},
        // The file's chord angle is followed: 12 chords of 30 degrees; with CT1 the parameter is the chord's
        // distance from the curve (50 on radius 500: 7 chords).
        {"IN;PU1000,1000;CI500,30;", "12 cuts in 500,500 1500,1500, ending L1433,750 L1500,1000 E"},
        {"IN;CT1;PU1000,1000;CI500,50;", "7 cuts in 547,510 1500,1486, ending L1322,618 L1500,1000 E"},
        {"IN;CT1;CT0;PU1000,1000;CI500,0.01;", "720 cuts in 500,500 1500,1500, ending L1500,996 L1500,1000 E"},
    };
    test::ScratchDir dir;
    for (const auto& [text, summary] : cases) {
        const Converted c = Convert(dir, text);
        ASSERT_EQ(c.result, ConversionDone) << c.error;
        const auto& r = c.records;
        const auto cuts = std::count_if(r.begin(), r.end(), [](const JobRecord& rec) { return rec.code == RecLine; });
        EXPECT_EQ(std::to_string(cuts) + " cuts in " + std::to_string(r[1].x) + "," + std::to_string(r[1].y) + " " +
                      std::to_string(r[2].x) + "," + std::to_string(r[2].y) + ", ending " + Body(r, r.size() - 3),
                  summary);
    }
}

TEST(HpglReader, MovesThePenAsLabelsAndCpWouldMoveIt) {
    test::ScratchDir dir;
    auto endOf = [&dir](const std::string& text) {
        // Where a relative cut after the text starts.
        Converted c = Convert(dir, "IN;PU1000,1000;" + text + ";PR;PD0,3000;");
        EXPECT_EQ(c.result, ConversionDone) << c.error;
        return c.records.size() > 5 ? Body(c.records, c.records.size() - 3) : std::string();
    };
    // A character is 1.5 widths; the width starts at 0.5% of P2 - P1 (33600): 252 units.
    EXPECT_EQ(endOf("LBABCD\x03"), "M2008,1000 L2008,4000 E");
    EXPECT_EQ(endOf("LBA\bB\x03"), "M1252,1000 L1252,4000 E");
    // CR returns to where the last pen instruction left the pen; LF goes down two heights
    // (0.75% of 47520 each).
    EXPECT_EQ(endOf("LBAB\r\nC\x03"), "M1252,287 L1252,3287 E");
    EXPECT_EQ(endOf("LBA\x03LBB\x03;CP"), "M1000,287 L1000,3287 E");
    EXPECT_EQ(endOf("LBA\x03PR100,0;LBB\x03;CP"), "M1352,287 L1352,3287 E");
    // SI in centimetres, SR in percent, ES extra space, DI and DR turn the text.
    EXPECT_EQ(endOf("SI1,1;LBA\x03"), "M1600,1000 L1600,4000 E");
    EXPECT_EQ(endOf("SR1,1;LBA\x03"), "M1504,1000 L1504,4000 E");
    EXPECT_EQ(endOf("ES1,1;LBAB\x03"), "M2008,1000 L2008,4000 E");
    EXPECT_EQ(endOf("DI1,1;LBA\x03"), "M1178,1178 L1178,4178 E");
    EXPECT_EQ(endOf("DR0,1;LBA\r\n\x03"), "M1713,1000 L1713,4000 E");
    // Centred and right-aligned labels start back by half or all of their length.
    EXPECT_EQ(endOf("LO5;LBAB\x03"), "M1252,1000 L1252,4000 E");
    EXPECT_EQ(endOf("LO17;LBAB\x03"), "M1000,1000 L1000,4000 E");
    // CP counts characters forwards and lines upwards.
    EXPECT_EQ(endOf("SI1,1;CP1,1"), "M1600,1800 L1600,4800 E");
    // DT t,0 prints the terminator with the label (a line feed acts as one); DT t,1 does not.
    EXPECT_EQ(endOf("DT#,0;LBAB#"), "M1756,1000 L1756,4000 E");
    EXPECT_EQ(endOf("DT#,1;LBAB#"), "M1504,1000 L1504,4000 E");
    EXPECT_EQ(endOf("DT\n,0;LBAB\n"), "M1504,287 L1504,3287 E");
    // IN starts over: default size and direction.
    EXPECT_EQ(endOf("SI1,1;DI0,1;IN;PU1000,1000;LBA\x03"), "M1252,1000 L1252,4000 E");
}

TEST(StandardPlotReader, SkipsAndCountsLabelsFillsAndUnknownInstructions) {
    test::ScratchDir dir;
    Converted c = Convert(dir,
                          "IN;SP1;PW2,4;VS10;CO\"PD5,5\";CO no quotes PD;PU0,0;LBPD100,100;\x03PD10,0;"
                          "DT#,1;LBtext;PD#PD10,10;FP;WG5,0,90;XX1,2;ZZ;SMA;PD20,10;SM;PM0;PD30,10;PM2;EP;");
    ASSERT_EQ(c.result, ConversionDone) << c.error;
    // The labels move the pen by their 10 and 7 characters (252 units each).
    EXPECT_EQ(Body(c.records), "S K1 M0,0 M2520,0 L10,0 M1774,0 L10,10 L20,10 L30,10 E");
    EXPECT_EQ(c.stats.labels, 3);
    EXPECT_EQ(c.stats.fills, 2);
    EXPECT_EQ(c.stats.unknown, 2);
    // A label without its terminator runs to the end of the file.
    c = Convert(dir, "IN;PU0,0;PD1,1;LBHello;PD9,9;");
    EXPECT_EQ(Body(c.records), "S K1 M0,0 L1,1 E");
    EXPECT_EQ(c.stats.labels, 1);
    // DM/PL after a cutter's set-up lines, with an unknown command.
    c = Convert(dir, "\x1b;@:\r\nSET MARKER_X=1.\r\nEND.\r\n;:HOA,ECN,U,0,0,D,1,1,X5,D2,2,e");
    EXPECT_EQ(Body(c.records), "S K1 M0,0 L1,1 L2,2 E");
    EXPECT_EQ(c.stats.unknown, 1);
}

TEST(StandardPlotReader, ReadsRunsLongerThanItsWindowAsAWhole) {
    test::ScratchDir dir;
    const std::string run(100, ' '), text(100, 'A'), digits(100, '7');
    // Each file read through windows of a few sizes gives the job it gives at once.
    const std::string files[] = {
        "IN;PU0,0;PD" + run + "10," + run + "20;LB" + text + "\x03PR0,100;PD10,0;",
        "IN;DT*,0;LO5;PU50,50;LB" + text + "\n" + text + "*PR1,1;PD0,9;",
        "\x1b%-12345X@PJL ENTER LANGUAGE=PCL\n\x1b*b100W" + text + "\x1b%0BIN;CO" + text + ";PU1,1;PD2,2;",
        "#" + text + "\nIN;BL" + text + "\x03PU0,0;PD1,1;CO\"" + text + "\";PD3,3;PE<=" + run + "?_;",
        "IN;" + std::string(200, '\0') + "PU0,0;PD1" + digits + ",0;",
        " ;:HOA,ECN," + run + "U,10,20,D,30," + run + "40," + text + ",e",
    };
    for (const std::string& file : files) {
        test::WriteText(dir.File("in.plt"), file);
        std::int32_t count = 0;
        StandardPlotStats whole, stats;
        std::string error;
        const ConversionResult expected = ConvertStandardPlotFile(dir.File("in.plt"), dir.File("whole.PT1"), count, whole, error);
        for (std::size_t lookahead : {16, 17, 29}) {
            EXPECT_EQ(ConvertStandardPlotFile(dir.File("in.plt"), dir.File("part.PT1"), count, stats, error, lookahead),
                      expected) << file;
            EXPECT_EQ(test::ReadBytes(dir.File("part.PT1")), test::ReadBytes(dir.File("whole.PT1"))) << file;
            EXPECT_EQ(stats.labels, whole.labels) << file;
            EXPECT_EQ(stats.unknown, whole.unknown) << file;
        }
    }
}

TEST(StandardPlotReader, EveryRealFileGivesTheSameJobThroughASmallWindowOrAClearRefusal) {
    const fs::path dir = VELKAR_REALPLT_DIR;
    if (!fs::is_directory(dir)) GTEST_SKIP() << "no real plotter files at " << dir;
    test::ScratchDir scratch;
    int converted = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        const std::string name = e.path().filename().string(), path = e.path().string();
        if (name == "SOURCES.tsv") continue;
        std::int32_t count = 0;
        StandardPlotStats stats;
        std::string error;
        const ConversionResult r = ConvertStandardPlotFile(path, scratch.File("job.PT1"), count, stats, error);
        if (name == "textilecadinterpreter__GEMINI.cut") {
            EXPECT_EQ(error, "not a plotter file: " + path + ": it starts with \"H1*G71*M70*D2*M1\", neither HP-GL nor DM/PL");
            continue;
        }
        ASSERT_EQ(r, ConversionDone) << name << ": " << error;
        EXPECT_EQ(CheckJob(scratch.File("job.PT1")).reason, "") << name;
        ASSERT_EQ(ConvertStandardPlotFile(path, scratch.File("small.PT1"), count, stats, error, 256), ConversionDone);
        EXPECT_EQ(test::ReadBytes(scratch.File("small.PT1")), test::ReadBytes(scratch.File("job.PT1"))) << name;
        ++converted;
    }
    EXPECT_EQ(converted, 55);
}
