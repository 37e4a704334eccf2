#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "import/bodyrecord.h"
#include "import/dmplconverter.h"
#include "import/hconverter.h"
#include "import/hpglconverter.h"
#include "import/plottertype.h"
#include "import/scanners.h"
#include "import/textsource.h"
#include "job/jobwriter.h"
#include "testsupport.h"

using namespace velkar;
using velkar::test::Rec;

namespace {

using Converter = ConversionResult (*)(const std::string&, const std::string&, std::int32_t&, int);

struct Converted {
    ConversionResult result = -1;
    std::int32_t count = -1;
    std::vector<JobRecord> records;
    std::string bytes;
};

Converted Convert(Converter convert, const std::string& text, int flavour = 4) {
    test::ScratchDir dir;
    test::WriteText(dir.File("in.plt"), text);
    Converted c;
    c.result = convert(dir.File("in.plt"), dir.File("out.PT1"), c.count, flavour);
    c.bytes = test::ReadBytes(dir.File("out.PT1"));
    c.records = test::ReadRecords(dir.File("out.PT1"));
    return c;
}

std::string WithCrLf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// A TextSource over text, kept alive with its file.
class StreamOver {
public:
    explicit StreamOver(const std::string& text) {
        test::WriteText(m_dir.File("s.txt"), text);
        if (!in.Open(m_dir.File("s.txt"))) throw std::runtime_error("cannot open stream file");
    }
    TextSource in;

private:
    test::ScratchDir m_dir;
};

}  // namespace

TEST(TextSource, CollapsesEveryCrLfInLongMixedText) {
    // Runs of CR, LF and other bytes over several read chunks (one CR LF across the first
    // chunk's end), against a plain reference.
    std::string text = std::string(65535, 'a') + "\r\n";
    std::uint32_t seed = 12345;
    while (text.size() < 300000) {
        seed = seed * 1103515245u + 12345u;
        const char pick[] = {'\r', '\n', '\r', 'x', '\0', '\xB0'};
        text.append(1 + (seed >> 28) % 3, pick[(seed >> 16) % 6]);
    }
    std::string expected;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) expected += text[i];

    StreamOver s(text);
    std::string got;
    for (int c; (c = s.in.Get()) != TextSource::End;) {
        got += static_cast<char>(c);
        if (got.size() % 4099 == 0) {  // a push back anywhere, chunk edges included, gives the byte again
            s.in.Unget();
            EXPECT_EQ(s.in.Get(), c);
        }
    }
    EXPECT_TRUE(got == expected) << "lengths " << got.size() << " and " << expected.size();
    s.in.Unget();  // after the end nothing is pushed back
    EXPECT_EQ(s.in.Get(), TextSource::End);
}

// Reads numbers until one is refused, then takes the next character, to the end:
// "123 - [,] ..." is 123 read, none at the comma, the comma taken. "-!v" would be a
// refusal that changed the value.
std::string StreamTrace(const std::string& text) {
    StreamOver s(text);
    std::string trace;
    for (std::int32_t v = 0, last = 0;;) {
        if (ReadStreamNumber(s.in, v) == 0) {
            trace += std::to_string(last = v) + ' ';
            continue;
        }
        trace += v == last ? "- " : "-!" + std::to_string(v) + ' ';
        const int c = s.in.Get();
        if (c == TextSource::End) return trace + '$';
        trace += std::string("[") + static_cast<char>(c) + "] ";
    }
}

TEST(ReadStreamNumber, ReadsOneRunAndLeavesItsTerminator) {
    const struct {
        std::string text, trace;
    } cases[] = {
        {"123,456", "123 - [,] 456 - $"},
        // A minus anywhere makes the run negative; the point ends a number; a lone minus is consumed.
        {"-25;2-5;12-;12.5,- 77", "-25 - [;] -25 - [;] -12 - [;] 12 - [.] 5 - [,] - [ ] 77 - $"},
        // Blanks, '+' and bytes with the high bit set end a run at once.
        {" 1+2\xB9" "3", "- [ ] 1 - [+] 2 - [\xB9] 3 - $"},
        // Nineteen digits are kept and wrapped to 32 bits; the dropped ones are consumed with the run.
        {"2147483647,2147483648,4294967295,4294967296,-2147483648,-4294967295,"
         "1234567890123456789,12345678901234567890123,00000000000000000000042,",
         "2147483647 - [,] -2147483648 - [,] -1 - [,] 0 - [,] -2147483648 - [,] 1 - [,] 2112454933 - [,] "
         "2112454933 - [,] 0 - [,] - $"},
    };
    for (const auto& c : cases) EXPECT_EQ(StreamTrace(c.text), c.trace) << c.text;
}

TEST(ReadLineNumber, ReadsFromTheCharacterAfterPositionAndStopsAtItsLastCharacter) {
    const std::string nineteen = " 12345678901234567890123,4294967297,-2147483649,1234567890123456789.99999\n";
    const struct {
        std::string line;
        std::size_t pos;
        int result;
        std::int32_t value;
        std::size_t after;
    } cases[] = {
        {"PU100,-200;\n", 1, 0, 100, 4},
        {"PU100,-200;\n", 5, 0, -200, 9},
        {"PD12.75,3;\n", 1, 0, 12, 6},
        {"PD12.75,3;\n", 7, 0, 3, 8},
        {"SP;\n", 1, -1, 55, 1},  // no number: value and position stay
        // Odd characters, tabs, CR and high-bit bytes are passed over inside a number; a letter ends it.
        {"x1:2\t\r\xC3\xA9" "3A", 0, 0, 123, 8},
        {"x.,-0.5\n", 0, 0, 0, 1},  // a lone point is 0
        {"x.,-0.5\n", 2, 0, 0, 6},  // -0.5 is 0
        {"P-77", 0, 0, -77, 3},     // without a line feed the run ends with the line
        // Nineteen characters are kept (a point among them) and wrapped to 32 bits.
        {nineteen, 0, 0, 2112454933, 23},
        {nineteen, 24, 0, 1, 34},
        {nineteen, 35, 0, 2147483647, 46},
        {nineteen, 47, 0, 2112454933, 72},
    };
    for (const auto& c : cases) {
        std::size_t pos = c.pos;
        std::int32_t v = 55;
        EXPECT_EQ(ReadLineNumber(c.line, pos, v), c.result) << c.line << " from " << c.pos;
        EXPECT_EQ(v, c.value) << c.line << " from " << c.pos;
        EXPECT_EQ(pos, c.after) << c.line << " from " << c.pos;
    }
}

namespace {

// Records as short words: N count, A and B the box headers, S job start, K knife, M move, L line,
// E path end, each followed by x,y[,z] where any of them is not 0.
std::string Words(const std::vector<JobRecord>& records) {
    std::string out;
    for (const JobRecord& r : records) {
        if (!out.empty()) out += ' ';
        switch (r.code) {
        case RecHeaderCount: out += 'N'; break;
        case RecHeaderMin: out += 'A'; break;
        case RecHeaderMax: out += 'B'; break;
        case RecJobStart: out += 'S'; break;
        case RecKnife: out += 'K'; break;
        case RecMove: out += 'M'; break;
        case RecLine: out += 'L'; break;
        case RecPathEnd: out += 'E'; break;
        default: out += '?' + std::to_string(r.code); break;
        }
        if (r.x || r.y || r.z) out += std::to_string(r.x) + ',' + std::to_string(r.y);
        if (r.z) out += ',' + std::to_string(r.z);
    }
    return out;
}

// A string literal with its embedded zero bytes.
template <std::size_t N>
std::string Bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

const char* const kHpglExample = "IN;\nSP1;\nPU100,200;\nPD300,400;\nSP0;\n";
const char* const kEmptyBox = "A200000000,200000000 B-200000000,-200000000";

struct ConvertCase {
    const char* name;
    Converter convert;
    int flavour;
    std::string text;
    std::string records;
};

class Converters : public testing::TestWithParam<ConvertCase> {};

}  // namespace

INSTANTIATE_TEST_SUITE_P(
    Cases, Converters,
    testing::Values(
        ConvertCase{"DmplWorkedExample", ConvertDmplFile, 4, " ;:AHOL\nUP1U100,200D300,400@\n",
                    "N8,1 A100,200 B300,400 S K1,0 M100,200 L300,400 E300,400"},
        // Two pairs after one D; an x without its y widens the box and reaches the path end.
        ConvertCase{"DmplBrokenPairCarriesTheWorkingRecord", ConvertDmplFile, 4, "D100,200,300,400@D-7@",
                    "N8,1 A-7,200 B300,400 S L100,200 L300,400 E300,400 E-7,400"},
        // A blank after U starts no number; UP without a number leaves the next character as a
        // command; knife numbers above 8 are kept; U-20,-30 moves to negative coordinates.
        ConvertCase{"DmplBlanksAndBareUp", ConvertDmplFile, 4, "U 100,200UPD5,6UP12U-20,-30",
                    "N7,1 A-20,-30 B5,6 S L5,6 K12,6 M-20,-30"},
        // Letters end a pair list; a high-bit byte between numbers is passed over.
        ConvertCase{"DmplLettersEndAPairList", ConvertDmplFile, 4, "U1,2\xB0" "3,4X5,6", "N6,1 A1,2 B3,4 S M1,2 M3,4"},
        ConvertCase{"DmplEmptyInput", ConvertDmplFile, 4, "", std::string("N4,1 ") + kEmptyBox + " S"},
        // The move and the path end at H carry z = 5 from the line; so do the headers.
        ConvertCase{"HWorkedExampleEndsWithAMoveToTheBoxMinimum", ConvertHFile, 4, "H;;M100,200Z300,400,5H;",
                    "N8,4,5 A100,200,5 B300,400,5 S M100,200 L300,400,5 M100,200,5 E100,200,5"},
        // Without the leading H;; the final H only switches the converter on.
        ConvertCase{"HWithoutLeadingH", ConvertHFile, 4, "M100,200Z300,400,5H;",
                    "N6,4,5 A100,200,5 B300,400,5 S M100,200 L300,400,5"},
        // A blank after M starts no number; Z without its third number writes nothing but still
        // counts as the last kind; the next H then moves to the box minimum.
        ConvertCase{"HBrokenGroupsWidenTheBox", ConvertHFile, 4, "H;;M 7,8\nZ100,200H\nM-50,-60H",
                    "N8,4 A-50,-60 B100,200 S M100,200 E100,200 M-50,-60 E-50,-60"},
        // Several groups after one command; after an M group z is that of the last Z group.
        ConvertCase{"HSeveralGroups", ConvertHFile, 4, "Z1,2,3,4,5,6M7,8,9,10",
                    "N8,4,6 A1,2,6 B9,10,6 S L1,2,3 L4,5,6 M7,8,6 M9,10,6"},
        ConvertCase{"HOfHpgl", ConvertHFile, 4, "IN;PU100,200;", std::string("N4,4 ") + kEmptyBox + " S"},
        ConvertCase{"HpglZorvex", ConvertHpglFile, 1, kHpglExample,
                    "N8,4 A100,200 B300,400 S K1,0 M100,200 L300,400 E300,400"},
        ConvertCase{"HpglCoredraw", ConvertHpglFile, 2, kHpglExample,
                    "N8,1 A100,200 B300,400 S K1,0 M100,200 L300,400 E300,400"},
        ConvertCase{"HpglCasmate", ConvertHpglFile, 4, kHpglExample,
                    "N8,1 A40,80 B120,160 S K1,0 M40,80 L120,160 E120,160"},
        // Scale 0.4 truncates toward zero; the knife number is not scaled.
        ConvertCase{"HpglScaleTruncates", ConvertHpglFile, 4, "SP5;\nPU1001,-1001;\n",
                    "N5,1 A400,-400 B400,-400 K5,0 M400,-400"},
        // One record per line from what the line left in the working record. No IN: no job start.
        // PU; moves to the held point. "PD-5;" writes nothing, but its x reaches the box. A third
        // number goes to z; fractions are dropped; empty lines give nothing. "PU100 PD 200;" and
        // "PU7,8 PD9,10;" pass over the letters between numbers, so 9 becomes z. PA and PR give nothing.
        ConvertCase{"HpglOneRecordPerLine", ConvertHpglFile, 1,
                    "PD300,400;\nPU;\n\nPD-5;\nPU-5,7;\nPD12.9,4.5;\nPU1,2,3,4;\nPU100 PD 200;\nPU1,.5;\n"
                    "PU7,8;PD9,10;\nPU7,8 PD9,10;\nPA1,2;PR3,4;\nPU100,200",
                    "N13,4,9 A-5,2,9 B300,400,9 L300,400 M300,400 M-5,7 L12,4 M1,2,3 M100,200,3 M1,5,3 "
                    "L9,10,3 M7,8,9 M100,200,9"},
        // "PUNCH" holds the pair PU: a move to the held point (0, 0) is what a scan of letters gives.
        ConvertCase{"HpglWithoutInstructions", ConvertHpglFile, 1, "\n\nLB PUNCH TEXT\x03\nVS10;\n",
                    std::string("N4,4 ") + kEmptyBox + " M"},
        ConvertCase{"HpglEmpty", ConvertHpglFile, 2, "", std::string("N3,1 ") + kEmptyBox},
        // NUL and Ctrl-Z are passed over like any other character.
        ConvertCase{"HpglNulAndCtrlZ", ConvertHpglFile, 1, Bytes("IN;\nPU1\0,2\x1A;\n\x1A\nPD3,\0" "4;\n"),
                    "N6,4 A1,2 B3,4 S M1,2 L3,4"},
        ConvertCase{"DmplNulAndCtrlZ", ConvertDmplFile, 4, Bytes("U1\0,2\x1A" "D3,4\0@"),
                    "N7,1 A1,2 B3,4 S M1,2 L3,4 E3,4"},
        ConvertCase{"HNulAndCtrlZ", ConvertHFile, 4, Bytes("H;\x1AM1\0,2\x1AZ3,4,\0" "5"),
                    "N6,4,5 A1,2,5 B3,4,5 S M1,2 L3,4,5"},
        // Numbers run on over line ends, which the CR LF copy of each case doubles.
        ConvertCase{"DmplRunOn", ConvertDmplFile, 4, " ;:AHOL\nUP2\nU10,20\nD30,\n40\nD-5\n,6@\nUP1\nU1\n2,3\n",
                    "N11,1 A-5,2 B30,40 S K2,0 M10,20 L30,40 L-5,6 E-5,6 K1,6 M1,2"},
        ConvertCase{"HRunOn", ConvertHFile, 4, "H;;\nM100,\n200\nZ300,\n400,\n5\nH\n;M1,2\nZ3,4,5H\n",
                    "N12,4,5 A1,2,5 B300,400,5 S M100,200 L300,400,5 M100,200,5 E100,200,5 M1,2,5 L3,4,5 M1,2,5 E1,2,5"},
        ConvertCase{"HpglRunOn", ConvertHpglFile, 1, std::string(kHpglExample) + "\nPU1,2\nPD3,4,5;\nSP2;\nPU;\n",
                    "N12,4,5 A1,2,5 B300,400,5 S K1,0 M100,200 L300,400 E300,400 M1,2 L3,4,5 K2,4,5 M2,4,5"}),
    [](const testing::TestParamInfo<ConvertCase>& p) { return std::string(p.param.name); });

TEST_P(Converters, GiveTheExactJobWithLfAndCrLf) {
    const ConvertCase& c = GetParam();
    const Converted got = Convert(c.convert, c.text, c.flavour);
    EXPECT_EQ(got.result, ConversionDone);
    EXPECT_EQ(Words(got.records), c.records);
    EXPECT_EQ(got.bytes.size(), got.records.size() * RecordSize);
    EXPECT_EQ(static_cast<std::size_t>(got.count), got.records.size());
    EXPECT_EQ(Convert(c.convert, WithCrLf(c.text), c.flavour).bytes, got.bytes);
}

TEST(Converters, UnopenableInputOrOutputFailsWithoutTouchingTheOutput) {
    test::ScratchDir dir;
    test::WriteText(dir.File("old.PT1"), "previous");
    test::WriteText(dir.File("in.plt"), "U1,2");
    for (Converter convert : {ConvertDmplFile, ConvertHFile, ConvertHpglFile}) {
        std::int32_t count = 99;
        EXPECT_EQ(convert(dir.File("missing.plt"), dir.File("old.PT1"), count, 3), ConversionFileFailed);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(test::ReadBytes(dir.File("old.PT1")), "previous");
        count = 99;
        EXPECT_EQ(convert(dir.File("in.plt"), dir.File("no/such/dir.PT1"), count, 3), ConversionFileFailed);
        EXPECT_EQ(count, 0);
    }
}

TEST(PlotterType, RecognisesTheMarkersInTheFirstThirtyNineCharacters) {
    EXPECT_EQ(RecognizePlotterType("IN;SP1;PU0,0;"), PlotterTypeHpgl);
    EXPECT_EQ(RecognizePlotterType("IN;SP1;PR10,0;"), PlotterTypeHpglNoConverter);
    EXPECT_EQ(RecognizePlotterType("IN;MC1;"), PlotterTypeHpglNoConverter);
    EXPECT_EQ(RecognizePlotterType("PR10,0;MC1;"), PlotterTypeUnknown);  // no IN: not tested further
    EXPECT_EQ(RecognizePlotterType("IN;H;;"), PlotterTypeH);
    EXPECT_EQ(RecognizePlotterType("H;;IN;PR"), PlotterTypeH);
    EXPECT_EQ(RecognizePlotterType("IN;H;; ;:AHOL"), PlotterTypeMultiKnife);
    EXPECT_EQ(RecognizePlotterType(";:AHOL"), PlotterTypeUnknown);  // the leading blank belongs to it
    EXPECT_EQ(RecognizePlotterType("in;sp1;"), PlotterTypeUnknown);
    EXPECT_EQ(RecognizePlotterType(""), PlotterTypeUnknown);
    EXPECT_EQ(RecognizePlotterType(std::string(37, 'x') + "IN"), PlotterTypeHpgl);
    EXPECT_EQ(RecognizePlotterType(std::string(38, 'x') + "IN"), PlotterTypeUnknown);
    EXPECT_EQ(RecognizePlotterType(std::string(33, 'x') + " ;:AHOL"), PlotterTypeUnknown);
    EXPECT_EQ(RecognizePlotterType(std::string("IN;\0H;;", 7)), PlotterTypeHpgl);
    EXPECT_EQ(RecognizePlotterType(std::string("\0IN;", 4)), PlotterTypeUnknown);
}

TEST(PlotterType, ReadsTheRecognitionTextInTextModeUpToAZeroByte) {
    test::ScratchDir dir;
    std::string text;
    int error = 0;
    // 37 line ends then IN: 39 characters with LF, and the same 39 in text mode with CR LF.
    std::string lf = std::string(37, '\n') + "IN;PU0,0;\n";
    for (const std::string& content : {lf, WithCrLf(lf)}) {
        test::WriteText(dir.File("a.plt"), content);
        ASSERT_TRUE(ReadRecognitionText(dir.File("a.plt"), text, error));
        EXPECT_EQ(text, std::string(37, '\n') + "IN");
        EXPECT_EQ(RecognizePlotterType(text), PlotterTypeHpgl);
    }
    test::WriteText(dir.File("b.plt"), std::string("PU\0IN;", 6));
    ASSERT_TRUE(ReadRecognitionText(dir.File("b.plt"), text, error));
    EXPECT_EQ(text, "PU");
    EXPECT_FALSE(ReadRecognitionText(dir.File("missing.plt"), text, error));
    EXPECT_EQ(error, ENOENT);
}

TEST(PlotterType, JobPathReplacesOnlyTheFileNameExtension) {
    for (const std::string base : {"", "./jobs/", "/home/ann/.work/", "/home/ann/my.jobs/", "../"})
        for (const char* name : {"logo.plt", "logo", "logo."})
            EXPECT_EQ(DeriveJobPath(base + name), base + "logo.PT1");
    EXPECT_EQ(DeriveJobPath("logo.old.plt"), "logo.old.PT1");
    EXPECT_EQ(DeriveJobPath("C:\\my.jobs\\logo.plt"), "C:\\my.jobs\\logo.PT1");
}

TEST(BodyRecord, ACounterAtTheLimitRefusesTheRecordAndAbandonsTheJob) {
    test::ScratchDir dir;
    const std::string path = dir.File("big.PT1");
    {
        JobWriter writer;
        ASSERT_TRUE(writer.Open(path));
        std::int32_t count = MaxBodyRecords - 1;
        WriteBodyRecord(writer, Rec(RecLine, 1, 2), count, path);
        EXPECT_EQ(count, MaxBodyRecords);
        try {
            WriteBodyRecord(writer, Rec(RecLine, 1, 2), count, path);
            ADD_FAILURE() << "no error";
        } catch (const FileError& e) {
            EXPECT_STREQ(e.what(), (path + ": more records than a job file can hold").c_str());
        }
        EXPECT_EQ(count, MaxBodyRecords);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

namespace {

std::string RecordLines(const std::vector<JobRecord>& records) {
    std::string out;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const JobRecord& r = records[i];
        out += std::to_string(i + 1) + ' ' + std::to_string(r.code) + ' ' + std::to_string(r.x) + ' ' +
               std::to_string(r.y) + ' ' + std::to_string(r.z) + '\n';
    }
    return out;
}

}  // namespace

TEST(ExampleFiles, ConvertToTheExpectedJobsWithLfAndCrLf) {
    struct Case {
        const char* example;
        Converter convert;
        int flavour;
        const char* expected;
    };
    const Case cases[] = {
        {"square-and-star.plt", ConvertHpglFile, 1, "square-and-star.records"},
        {"square-and-star.plt", ConvertHpglFile, 4, "square-and-star-casmate.records"},
        {"arrow-h.plt", ConvertHFile, 4, "arrow-h.records"},
        {"three-knives.plt", ConvertDmplFile, 3, "three-knives.records"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        const std::string text = test::ReadBytes(VELKAR_SOURCE_DIR "/examples/" + std::string(c.example));
        ASSERT_FALSE(text.empty());
        const std::string expected = test::ReadBytes(VELKAR_SOURCE_DIR "/tests/data/examples/" + std::string(c.expected));
        Converted lf = Convert(c.convert, text, c.flavour);
        EXPECT_EQ(RecordLines(lf.records), expected);
        EXPECT_EQ(Convert(c.convert, WithCrLf(text), c.flavour).bytes, lf.bytes);
    }
}
