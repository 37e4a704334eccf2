#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "import/dmplconverter.h"
#include "import/hconverter.h"
#include "import/hpglconverter.h"
#include "import/plottertype.h"
#include "import/scanners.h"
#include "import/textsource.h"
#include "testsupport.h"

namespace velkar {
void PrintTo(const JobRecord& r, std::ostream* os) {
    *os << "{" << int(r.code) << ", " << r.x << ", " << r.y << ", " << r.z << "}";
}
}  // namespace velkar

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

TEST(ReadStreamNumber, ReadsOneRunAndLeavesItsTerminator) {
    {
        StreamOver s("123,456");
        std::int32_t v = 0;
        EXPECT_EQ(ReadStreamNumber(s.in, v), 0);
        EXPECT_EQ(v, 123);
        EXPECT_EQ(ReadStreamNumber(s.in, v), -1);  // at the comma: no number, comma stays
        EXPECT_EQ(v, 123);
        EXPECT_EQ(s.in.Get(), ',');
        EXPECT_EQ(ReadStreamNumber(s.in, v), 0);
        EXPECT_EQ(v, 456);
        EXPECT_EQ(s.in.Get(), TextSource::End);
    }
    {
        StreamOver s("-25;2-5;12-;12.5,- 77");
        std::int32_t v = 0;
        EXPECT_EQ(ReadStreamNumber(s.in, v), 0);
        EXPECT_EQ(v, -25);
        EXPECT_EQ(s.in.Get(), ';');
        EXPECT_EQ(ReadStreamNumber(s.in, v), 0);
        EXPECT_EQ(v, -25);
        EXPECT_EQ(s.in.Get(), ';');
        EXPECT_EQ(ReadStreamNumber(s.in, v), 0);
        EXPECT_EQ(v, -12);
        EXPECT_EQ(s.in.Get(), ';');
        EXPECT_EQ(ReadStreamNumber(s.in, v), 0);
        EXPECT_EQ(v, 12);
        EXPECT_EQ(s.in.Get(), '.');  // the point ends the number
        EXPECT_EQ(ReadStreamNumber(s.in, v), 0);
        EXPECT_EQ(v, 5);
        EXPECT_EQ(s.in.Get(), ',');
        EXPECT_EQ(ReadStreamNumber(s.in, v), -1);  // a lone minus is consumed
        EXPECT_EQ(s.in.Get(), ' ');
        EXPECT_EQ(ReadStreamNumber(s.in, v), 0);  // ends with the input: nothing pushed back
        EXPECT_EQ(v, 77);
        EXPECT_EQ(s.in.Get(), TextSource::End);
        EXPECT_EQ(ReadStreamNumber(s.in, v), -1);
        EXPECT_EQ(v, 77);
    }
    {
        // Blanks, '+' and bytes with the high bit set end a run at once.
        StreamOver s(" 1+2\xB9" "3");
        std::int32_t v = 9;
        EXPECT_EQ(ReadStreamNumber(s.in, v), -1);
        EXPECT_EQ(s.in.Get(), ' ');
        EXPECT_EQ(ReadStreamNumber(s.in, v), 0);
        EXPECT_EQ(v, 1);
        EXPECT_EQ(s.in.Get(), '+');
        EXPECT_EQ(ReadStreamNumber(s.in, v), 0);
        EXPECT_EQ(v, 2);
        EXPECT_EQ(s.in.Get(), 0xB9);
    }
}

TEST(ReadStreamNumber, KeepsNineteenDigitsAndWrapsToThirtyTwoBits) {
    StreamOver s("2147483647,2147483648,4294967295,4294967296,-2147483648,-4294967295,"
                 "1234567890123456789,12345678901234567890123,00000000000000000000042,");
    std::vector<std::int32_t> expected = {2147483647, INT32_MIN, -1, 0, INT32_MIN, 1,
                                          2112454933, 2112454933, 0};
    for (std::int32_t e : expected) {
        std::int32_t v = 7;
        ASSERT_EQ(ReadStreamNumber(s.in, v), 0);
        EXPECT_EQ(v, e);
        EXPECT_EQ(s.in.Get(), ',');  // the dropped digits are consumed with the run
    }
}

TEST(ReadLineNumber, ReadsFromTheCharacterAfterPositionAndStopsBeforeTheTerminator) {
    std::int32_t v = 0;
    std::string line = "PU100,-200;\n";
    std::size_t pos = 1;  // the U
    EXPECT_EQ(ReadLineNumber(line, pos, v), 0);
    EXPECT_EQ(v, 100);
    EXPECT_EQ(pos, 4u);  // last digit of 100
    pos = 5;             // the comma
    EXPECT_EQ(ReadLineNumber(line, pos, v), 0);
    EXPECT_EQ(v, -200);
    EXPECT_EQ(pos, 9u);

    line = "PD12.75,3;\n";
    pos = 1;
    EXPECT_EQ(ReadLineNumber(line, pos, v), 0);
    EXPECT_EQ(v, 12);
    EXPECT_EQ(pos, 6u);
    pos = 7;
    EXPECT_EQ(ReadLineNumber(line, pos, v), 0);
    EXPECT_EQ(v, 3);

    line = "SP;\n";
    pos = 1;
    v = 55;
    EXPECT_EQ(ReadLineNumber(line, pos, v), -1);
    EXPECT_EQ(pos, 1u);
    EXPECT_EQ(v, 55);

    // Odd characters are passed over inside a number; a lone point is 0; -0.5 is 0;
    // tabs, CR and high-bit bytes are passed over; a letter ends the run.
    line = "x1:2\t\r\xC3\xA9" "3A";
    pos = 0;
    EXPECT_EQ(ReadLineNumber(line, pos, v), 0);
    EXPECT_EQ(v, 123);
    EXPECT_EQ(line[pos + 1], 'A');
    line = "x.,-0.5\n";
    pos = 0;
    EXPECT_EQ(ReadLineNumber(line, pos, v), 0);
    EXPECT_EQ(v, 0);
    pos = 2;
    v = 9;
    EXPECT_EQ(ReadLineNumber(line, pos, v), 0);
    EXPECT_EQ(v, 0);

    // A line without a line feed ends the run at its end.
    line = "P-77";
    pos = 0;
    EXPECT_EQ(ReadLineNumber(line, pos, v), 0);
    EXPECT_EQ(v, -77);
    EXPECT_EQ(pos, 3u);
}

TEST(ReadLineNumber, KeepsNineteenCharactersAndWrapsToThirtyTwoBits) {
    std::int32_t v = 0;
    std::size_t pos = 0;
    std::string line = " 12345678901234567890123,4294967297,-2147483649,1234567890123456789.99999\n";
    EXPECT_EQ(ReadLineNumber(line, pos, v), 0);
    EXPECT_EQ(v, 2112454933);
    EXPECT_EQ(line[pos + 1], ',');
    ++pos;
    EXPECT_EQ(ReadLineNumber(line, pos, v), 0);
    EXPECT_EQ(v, 1);
    ++pos;
    EXPECT_EQ(ReadLineNumber(line, pos, v), 0);
    EXPECT_EQ(v, 2147483647);
    ++pos;
    EXPECT_EQ(ReadLineNumber(line, pos, v), 0);  // the point falls into the kept part
    EXPECT_EQ(v, 2112454933);
    EXPECT_EQ(line[pos + 1], '\n');
}

TEST(DmplConverter, WorkedExampleGivesKnifeMoveLineAndPathEnd) {
    Converted c = Convert(ConvertDmplFile, " ;:AHOL\nUP1U100,200D300,400@\n");
    EXPECT_EQ(c.result, ConversionDone);
    EXPECT_EQ(c.count, 8);
    std::vector<JobRecord> expected = {
        Rec(RecHeaderCount, 8, 1), Rec(RecHeaderMin, 100, 200), Rec(RecHeaderMax, 300, 400),
        Rec(RecJobStart),          Rec(RecKnife, 1),            Rec(RecMove, 100, 200),
        Rec(RecLine, 300, 400),    Rec(RecPathEnd, 300, 400),
    };
    EXPECT_EQ(c.records, expected);
    EXPECT_EQ(c.bytes.size(), 8 * RecordSize);
}

TEST(DmplConverter, PairsAndBrokenCommandsCarryTheWorkingRecord) {
    // Two pairs after one D; an x without its y widens the box and reaches the path end.
    Converted c = Convert(ConvertDmplFile, "D100,200,300,400@D-7@");
    std::vector<JobRecord> expected = {
        Rec(RecHeaderCount, 8, 1), Rec(RecHeaderMin, -7, 200), Rec(RecHeaderMax, 300, 400),
        Rec(RecJobStart),          Rec(RecLine, 100, 200),      Rec(RecLine, 300, 400),
        Rec(RecPathEnd, 300, 400), Rec(RecPathEnd, -7, 400),
    };
    EXPECT_EQ(c.records, expected);
    EXPECT_EQ(c.count, 8);

    // A blank after U starts no number; UP without a number leaves the next character as a command;
    // knife numbers above 8 are kept; U-20,-30 moves to negative coordinates.
    c = Convert(ConvertDmplFile, "U 100,200UPD5,6UP12U-20,-30");
    expected = {
        Rec(RecHeaderCount, 7, 1), Rec(RecHeaderMin, -20, -30), Rec(RecHeaderMax, 5, 6),
        Rec(RecJobStart),          Rec(RecLine, 5, 6),          Rec(RecKnife, 12, 6),
        Rec(RecMove, -20, -30),
    };
    EXPECT_EQ(c.records, expected);

    // Letters end a pair list; a high-bit byte between numbers is passed over.
    c = Convert(ConvertDmplFile, "U1,2\xB0" "3,4X5,6");
    expected = {
        Rec(RecHeaderCount, 6, 1), Rec(RecHeaderMin, 1, 2), Rec(RecHeaderMax, 3, 4),
        Rec(RecJobStart),          Rec(RecMove, 1, 2),      Rec(RecMove, 3, 4),
    };
    EXPECT_EQ(c.records, expected);
}

TEST(DmplConverter, EmptyInputGivesJobStartAndTheUntouchedBox) {
    Converted c = Convert(ConvertDmplFile, "");
    std::vector<JobRecord> expected = {
        Rec(RecHeaderCount, 4, 1), Rec(RecHeaderMin, BoxStartMin, BoxStartMin),
        Rec(RecHeaderMax, BoxStartMax, BoxStartMax), Rec(RecJobStart)};
    EXPECT_EQ(c.records, expected);
    EXPECT_EQ(c.count, 4);
}

TEST(DmplConverter, CrLfLineEndsGiveTheSameJob) {
    std::string text = " ;:AHOL\nUP2\nU10,20\nD30,\n40\nD-5\n,6@\nUP1\nU1\n2,3\n";
    Converted lf = Convert(ConvertDmplFile, text);
    Converted crlf = Convert(ConvertDmplFile, WithCrLf(text));
    EXPECT_EQ(lf.bytes, crlf.bytes);
    EXPECT_EQ(lf.count, crlf.count);
    EXPECT_GT(lf.count, 8);
}

TEST(DmplConverter, UnopenableInputOrOutputFailsWithoutTouchingTheOutput) {
    test::ScratchDir dir;
    std::int32_t count = 99;
    test::WriteText(dir.File("old.PT1"), "previous");
    EXPECT_EQ(ConvertDmplFile(dir.File("missing.plt"), dir.File("old.PT1"), count, 3), ConversionFileFailed);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(test::ReadBytes(dir.File("old.PT1")), "previous");
    test::WriteText(dir.File("in.plt"), "U1,2");
    count = 99;
    EXPECT_EQ(ConvertDmplFile(dir.File("in.plt"), dir.File("no/such/dir.PT1"), count, 3), ConversionFileFailed);
    EXPECT_EQ(count, 0);
}

TEST(HConverter, WorkedExampleEndsTheDrawingWithAMoveToTheBoxMinimum) {
    Converted c = Convert(ConvertHFile, "H;;M100,200Z300,400,5H;");
    EXPECT_EQ(c.result, ConversionDone);
    EXPECT_EQ(c.count, 8);
    // The move and the path end at H carry z = 5 from the line; so do the headers.
    std::vector<JobRecord> expected = {
        Rec(RecHeaderCount, 8, 4, 5), Rec(RecHeaderMin, 100, 200, 5), Rec(RecHeaderMax, 300, 400, 5),
        Rec(RecJobStart),             Rec(RecMove, 100, 200),         Rec(RecLine, 300, 400, 5),
        Rec(RecMove, 100, 200, 5),    Rec(RecPathEnd, 100, 200, 5),
    };
    EXPECT_EQ(c.records, expected);

    // Without the leading H;; the final H only switches the converter on.
    c = Convert(ConvertHFile, "M100,200Z300,400,5H;");
    expected = {
        Rec(RecHeaderCount, 6, 4, 5), Rec(RecHeaderMin, 100, 200, 5), Rec(RecHeaderMax, 300, 400, 5),
        Rec(RecJobStart),             Rec(RecMove, 100, 200),         Rec(RecLine, 300, 400, 5),
    };
    EXPECT_EQ(c.records, expected);
}

TEST(HConverter, BrokenGroupsWidenTheBoxButWriteNothing) {
    // A blank after M starts no number; Z without its third number writes nothing but still
    // counts as the last kind; the next H then moves to the box minimum.
    Converted c = Convert(ConvertHFile, "H;;M 7,8\nZ100,200H\nM-50,-60H");
    std::vector<JobRecord> expected = {
        Rec(RecHeaderCount, 8, 4), Rec(RecHeaderMin, -50, -60), Rec(RecHeaderMax, 100, 200),
        Rec(RecJobStart),          Rec(RecMove, 100, 200),      Rec(RecPathEnd, 100, 200),
        Rec(RecMove, -50, -60),    Rec(RecPathEnd, -50, -60),
    };
    EXPECT_EQ(c.records, expected);

    // Several groups after one command; after an M group z is that of the last Z group.
    c = Convert(ConvertHFile, "Z1,2,3,4,5,6M7,8,9,10");
    expected = {
        Rec(RecHeaderCount, 8, 4, 6), Rec(RecHeaderMin, 1, 2, 6), Rec(RecHeaderMax, 9, 10, 6),
        Rec(RecJobStart),             Rec(RecLine, 1, 2, 3),     Rec(RecLine, 4, 5, 6),
        Rec(RecMove, 7, 8, 6),        Rec(RecMove, 9, 10, 6),
    };
    EXPECT_EQ(c.records, expected);

    c = Convert(ConvertHFile, "IN;PU100,200;");
    expected = {Rec(RecHeaderCount, 4, 4), Rec(RecHeaderMin, BoxStartMin, BoxStartMin),
                Rec(RecHeaderMax, BoxStartMax, BoxStartMax), Rec(RecJobStart)};
    EXPECT_EQ(c.records, expected);
}

TEST(HConverter, CrLfLineEndsGiveTheSameJob) {
    std::string text = "H;;\nM100,\n200\nZ300,\n400,\n5\nH\n;M1,2\nZ3,4,5H\n";
    Converted lf = Convert(ConvertHFile, text);
    Converted crlf = Convert(ConvertHFile, WithCrLf(text));
    EXPECT_EQ(lf.bytes, crlf.bytes);
    EXPECT_EQ(lf.count, 12);
}

TEST(HConverter, UnopenableInputFails) {
    test::ScratchDir dir;
    std::int32_t count = 5;
    EXPECT_EQ(ConvertHFile(dir.File("missing.plt"), dir.File("out.PT1"), count, 4), ConversionFileFailed);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(test::ReadBytes(dir.File("out.PT1")).empty());
}

namespace {
const char* const kHpglExample = "IN;\nSP1;\nPU100,200;\nPD300,400;\nSP0;\n";
}

TEST(HpglConverter, WorkedExampleByFlavour) {
    Converted c = Convert(ConvertHpglFile, kHpglExample, 1);
    EXPECT_EQ(c.result, ConversionDone);
    EXPECT_EQ(c.count, 8);
    std::vector<JobRecord> expected = {
        Rec(RecHeaderCount, 8, 4), Rec(RecHeaderMin, 100, 200), Rec(RecHeaderMax, 300, 400),
        Rec(RecJobStart),          Rec(RecKnife, 1),            Rec(RecMove, 100, 200),
        Rec(RecLine, 300, 400),    Rec(RecPathEnd, 300, 400),
    };
    EXPECT_EQ(c.records, expected);

    c = Convert(ConvertHpglFile, kHpglExample, 2);
    expected[0].y = OrientationMirrorY;
    EXPECT_EQ(c.records, expected);

    c = Convert(ConvertHpglFile, kHpglExample, 4);
    expected = {
        Rec(RecHeaderCount, 8, 1), Rec(RecHeaderMin, 40, 80), Rec(RecHeaderMax, 120, 160),
        Rec(RecJobStart),          Rec(RecKnife, 1),          Rec(RecMove, 40, 80),
        Rec(RecLine, 120, 160),    Rec(RecPathEnd, 120, 160),
    };
    EXPECT_EQ(c.records, expected);

    // Scale 0.4 truncates toward zero; the knife number is not scaled.
    c = Convert(ConvertHpglFile, "SP5;\nPU1001,-1001;\n", 4);
    expected = {Rec(RecHeaderCount, 5, 1), Rec(RecHeaderMin, 400, -400), Rec(RecHeaderMax, 400, -400),
                Rec(RecKnife, 5), Rec(RecMove, 400, -400)};
    EXPECT_EQ(c.records, expected);
}

TEST(HpglConverter, OneRecordPerLineFromWhatTheLineLeftInTheWorkingRecord) {
    // No IN: no job start. PU; moves to the held point. PD with x only writes nothing but keeps
    // code and x. A third number goes to z. Fractions are dropped. Empty lines give nothing.
    Converted c = Convert(ConvertHpglFile,
                          "PD300,400;\nPU;\n\nPD-5;\nPU-5,7;\nPD12.9,4.5;\nPU1,2,3,4;\nPU100 PD 200;\nPU1,.5;\n"
                          "PU7,8;PD9,10;\nPU7,8 PD9,10;\nPA1,2;PR3,4;\nPU100,200",
                          1);
    // "PD-5;" writes nothing, but its x reaches the box. "PU100 PD 200;" and "PU7,8 PD9,10;" pass
    // over the letters between numbers, so the PD is never seen and 9 becomes z. PA and PR give nothing.
    std::vector<JobRecord> expected = {
        Rec(RecHeaderCount, 13, 4, 9), Rec(RecHeaderMin, -5, 2, 9), Rec(RecHeaderMax, 300, 400, 9),
        Rec(RecLine, 300, 400),        Rec(RecMove, 300, 400),      Rec(RecMove, -5, 7),
        Rec(RecLine, 12, 4),           Rec(RecMove, 1, 2, 3),       Rec(RecMove, 100, 200, 3),
        Rec(RecMove, 1, 5, 3),         Rec(RecLine, 9, 10, 3),      Rec(RecMove, 7, 8, 9),
        Rec(RecMove, 100, 200, 9),
    };
    EXPECT_EQ(c.records, expected);
    EXPECT_EQ(c.count, 13);
}

TEST(HpglConverter, WithoutInstructionsTheJobIsTheThreeHeaders) {
    Converted c = Convert(ConvertHpglFile, "\n\nLB PUNCH TEXT\x03\nVS10;\n", 1);
    std::vector<JobRecord> expected = {Rec(RecHeaderCount, 3, 4), Rec(RecHeaderMin, BoxStartMin, BoxStartMin),
                                       Rec(RecHeaderMax, BoxStartMax, BoxStartMax)};
    // "PUNCH" holds the pair PU: a move to the held point (0, 0) is what a scan of letters gives.
    expected[0].x = 4;
    expected.push_back(Rec(RecMove));
    EXPECT_EQ(c.records, expected);

    c = Convert(ConvertHpglFile, "", 2);
    EXPECT_EQ(c.count, 3);
    EXPECT_EQ(c.records.size(), 3u);
    EXPECT_EQ(c.records[0], Rec(RecHeaderCount, 3, 1));
}

TEST(HpglConverter, CrLfLineEndsGiveTheSameJob) {
    std::string text = std::string(kHpglExample) + "\nPU1,2\nPD3,4,5;\nSP2;\nPU;\n";
    for (int flavour : {1, 2, 4}) {
        Converted lf = Convert(ConvertHpglFile, text, flavour);
        Converted crlf = Convert(ConvertHpglFile, WithCrLf(text), flavour);
        EXPECT_EQ(lf.bytes, crlf.bytes);
        EXPECT_EQ(lf.count, 12);
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
    test::WriteText(dir.File("c.plt"), "H;;");
    ASSERT_TRUE(ReadRecognitionText(dir.File("c.plt"), text, error));
    EXPECT_EQ(text, "H;;");
    EXPECT_FALSE(ReadRecognitionText(dir.File("missing.plt"), text, error));
    EXPECT_EQ(error, ENOENT);
}

TEST(PlotterType, FlavourAndTypePairs) {
    const int types[] = {PlotterTypeUnknown, PlotterTypeMultiKnife, PlotterTypeHpgl, PlotterTypeHpglNoConverter,
                         PlotterTypeH};
    for (int type : types) {
        SCOPED_TRACE(type);
        EXPECT_EQ(CheckFlavourAndType(FlavourZorvex, type), type == PlotterTypeHpgl ? "" : "file type error");
        EXPECT_EQ(CheckFlavourAndType(FlavourCoredraw, type), type == PlotterTypeHpgl ? "" : "file type error");
        EXPECT_EQ(CheckFlavourAndType(FlavourAutocad, type), type == PlotterTypeMultiKnife ? "" : "file type isn't CAD");
        EXPECT_EQ(CheckFlavourAndType(FlavourCasmate, type), "");
        EXPECT_EQ(CheckFlavourAndType(0, type), "file type error");
    }
    EXPECT_EQ(ParseFlavour("1"), 1);
    EXPECT_EQ(ParseFlavour("4"), 4);
    EXPECT_EQ(ParseFlavour("coredraw"), 2);
    EXPECT_EQ(ParseFlavour("AutoCad"), 3);
    EXPECT_EQ(ParseFlavour("CASMATE"), 4);
    EXPECT_EQ(ParseFlavour("5"), 0);
    EXPECT_EQ(ParseFlavour("01"), 0);
    EXPECT_EQ(ParseFlavour("zorvex plt"), 0);
    EXPECT_STREQ(FlavourName(1), "zorvex");
    EXPECT_STREQ(FlavourName(9), "");
}

TEST(PlotterType, JobPathReplacesOnlyTheFileNameExtension) {
    EXPECT_EQ(DeriveJobPath("logo.plt"), "logo.PT1");
    EXPECT_EQ(DeriveJobPath("/home/ann/jobs/logo.plt"), "/home/ann/jobs/logo.PT1");
    EXPECT_EQ(DeriveJobPath("./jobs/logo.plt"), "./jobs/logo.PT1");
    EXPECT_EQ(DeriveJobPath("/home/ann/.work/logo.plt"), "/home/ann/.work/logo.PT1");
    EXPECT_EQ(DeriveJobPath("/home/ann/my.jobs/logo"), "/home/ann/my.jobs/logo.PT1");
    EXPECT_EQ(DeriveJobPath("logo"), "logo.PT1");
    EXPECT_EQ(DeriveJobPath("logo.old.plt"), "logo.old.PT1");
    EXPECT_EQ(DeriveJobPath("logo."), "logo.PT1");
    EXPECT_EQ(DeriveJobPath("../logo"), "../logo.PT1");
    EXPECT_EQ(DeriveJobPath("C:\\my.jobs\\logo.plt"), "C:\\my.jobs\\logo.PT1");
}

namespace {

// A job as the program's readers accept it: count equals length / 20, headers 200, 201, 202.
::testing::AssertionResult IsValidJob(const std::string& bytes) {
    if (bytes.size() % RecordSize != 0) return ::testing::AssertionFailure() << "length " << bytes.size();
    if (bytes.size() < 3 * RecordSize) return ::testing::AssertionFailure() << "no headers";
    auto rec = [&](std::size_t i) { return JobRecord::Decode(reinterpret_cast<const unsigned char*>(bytes.data() + i * RecordSize)); };
    if (rec(0).code != RecHeaderCount || rec(1).code != RecHeaderMin || rec(2).code != RecHeaderMax)
        return ::testing::AssertionFailure() << "header codes";
    if (static_cast<std::size_t>(rec(0).x) != bytes.size() / RecordSize)
        return ::testing::AssertionFailure() << "count " << rec(0).x << " for " << bytes.size() / RecordSize;
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(RealPlotterFiles, EveryConverterGivesAValidJobWithEveryFlavour) {
    namespace fs = std::filesystem;
    if (!fs::is_directory(VELKAR_REALPLT_DIR)) GTEST_SKIP() << "no " << VELKAR_REALPLT_DIR;
    test::ScratchDir dir;
    const Converter converters[] = {ConvertHFile, ConvertHpglFile, ConvertDmplFile};
    int files = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(VELKAR_REALPLT_DIR)) {
        if (!e.is_regular_file()) continue;
        ++files;
        std::string text;
        int error = 0;
        ASSERT_TRUE(ReadRecognitionText(e.path().string(), text, error)) << e.path();
        const int type = RecognizePlotterType(text);
        EXPECT_GE(type, PlotterTypeUnknown);
        EXPECT_LE(type, PlotterTypeH);
        for (Converter convert : converters) {
            for (int flavour = 1; flavour <= 4; ++flavour) {
                std::int32_t count = -1;
                ASSERT_EQ(convert(e.path().string(), dir.File("out.PT1"), count, flavour), ConversionDone) << e.path();
                std::string bytes = test::ReadBytes(dir.File("out.PT1"));
                EXPECT_TRUE(IsValidJob(bytes)) << e.path() << " flavour " << flavour;
                EXPECT_EQ(static_cast<std::size_t>(count), bytes.size() / RecordSize) << e.path();
            }
        }
    }
    EXPECT_GT(files, 0);
}
