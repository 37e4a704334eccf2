#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "import/dmplconverter.h"
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
