#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include "import/textsource.h"
#include "job/jobreader.h"
#include "job/jobwriter.h"
#include "job/tempdir.h"
#include "testsupport.h"

using namespace velkar;
using velkar::test::Rec;

TEST(JobRecord, EncodesTheTwentyByteLittleEndianImage) {
    unsigned char image[RecordSize];
    Rec(RecMove, 100, 200).Encode(image);
    const unsigned char expected[RecordSize] = {0x8C, 0xF9, 0x40, 0x00, 0x06, 0, 0, 0, 0x64, 0, 0, 0, 0xC8, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(0, memcmp(image, expected, RecordSize));

    // Tag and padding are ignored on reading; negative values survive.
    unsigned char odd[RecordSize] = {1, 2, 3, 4, 200, 9, 9, 9, 0xFF, 0xFF, 0xFF, 0xFF, 4, 0, 0, 0, 0, 0, 0, 0x80};
    JobRecord r = JobRecord::Decode(odd);
    EXPECT_EQ(r, Rec(RecHeaderCount, -1, 4, INT32_MIN));
}

TEST(JobWriter, WritesPlaceholdersBodyAndHeadersCarryingTheWorkingRecord) {
    test::ScratchDir dir;
    std::string path = dir.File("a.PT1");
    JobWriter w;
    ASSERT_TRUE(w.Open(path));
    JobRecord work;
    std::int32_t count = 0;
    work.code = RecJobStart;
    w.Write(work), ++count;
    work.code = RecLine, work.x = 5, work.y = 6, work.z = 7;
    w.Write(work), ++count;
    BoundingBox box;
    box.AddX(5), box.AddY(6);
    w.Finish(work, count, box, OrientationAsStored);
    EXPECT_EQ(count, 5);
    auto recs = test::ReadRecords(path);
    ASSERT_EQ(recs.size(), 5u);
    EXPECT_EQ(recs[0], Rec(RecHeaderCount, 5, 4, 7));
    EXPECT_EQ(recs[1], Rec(RecHeaderMin, 5, 6, 7));
    EXPECT_EQ(recs[2], Rec(RecHeaderMax, 5, 6, 7));
    EXPECT_EQ(recs[3], Rec(RecJobStart));
    EXPECT_EQ(recs[4], Rec(RecLine, 5, 6, 7));
}

TEST(JobWriter, AnUnfinishedJobLeavesThePreviousFileAndNoScratch) {
    test::ScratchDir dir;
    std::string path = dir.File("keep.PT1");
    test::WriteText(path, "previous job");
    {
        JobWriter w;
        ASSERT_TRUE(w.Open(path));
        w.Write(Rec(RecJobStart));
    }
    EXPECT_EQ(test::ReadBytes(path), "previous job");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);

    JobWriter intoDir;
    EXPECT_FALSE(intoDir.Open(dir.Path()));
    EXPECT_EQ(intoDir.OpenError(), EISDIR);
}

TEST(JobReader, AShortFileKeepsTheWorkingRecordOfTheLastFullRead) {
    test::ScratchDir dir;
    std::string path = dir.File("short.PT1");
    test::WriteRecords(path, {Rec(RecHeaderCount, 9, 1)});
    test::WriteText(path, test::ReadBytes(path) + "123");  // a partial second record
    JobReader r;
    ASSERT_TRUE(r.Open(path));
    JobRecord work;
    JobHeader h = ReadJobHeader(r, work);
    EXPECT_FALSE(h.valid);
    EXPECT_EQ(h.min, Rec(RecHeaderCount, 9, 1));
    EXPECT_EQ(h.max, Rec(RecHeaderCount, 9, 1));

    JobReader missing;
    EXPECT_FALSE(missing.Open(dir.File("none")));
    EXPECT_EQ(missing.OpenError(), ENOENT);
}

TEST(TempDir, IsCreatedPrivateAndRefusesUnsafeDirectories) {
    test::ScratchDir base;
    test::TempDirOverride guard;
    std::string dir = base.File("t");
    ::setenv("VELKAR_TEMP", dir.c_str(), 1);
    EXPECT_EQ(PrivateTempDir(), dir);
    struct stat st {};
    ASSERT_EQ(::stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(PrivateTempFile(FallbackJobName), dir + "/orvalispt1.tmp");

    auto refusal = [](const std::string& path) {
        ::setenv("VELKAR_TEMP", path.c_str(), 1);
        try {
            PrivateTempDir();
        } catch (const TempDirError& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    std::string link = base.File("link");
    ASSERT_EQ(::symlink(dir.c_str(), link.c_str()), 0);
    EXPECT_EQ(refusal(link), "temporary directory " + link + ": is a symbolic link");

    std::string file = base.File("file");
    test::WriteText(file, "x");
    EXPECT_EQ(refusal(file), "temporary directory " + file + ": is not a directory");

    std::string open = base.File("open");
    ASSERT_EQ(::mkdir(open.c_str(), 0700), 0);
    ::chmod(open.c_str(), 0777);
    EXPECT_EQ(refusal(open), "temporary directory " + open + ": is writable by other users");

    if (::geteuid() == 0) {
        std::string foreign = base.File("foreign");
        ASSERT_EQ(::mkdir(foreign.c_str(), 0700), 0);
        ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
        EXPECT_EQ(refusal(foreign), "temporary directory " + foreign + ": is owned by another user");
    }
}

TEST(TextSource, DeliversCrLfAsLfAcrossChunkBoundariesAndKeepsLoneCr) {
    test::ScratchDir dir;
    std::string crlf = dir.File("crlf.plt");
    // Put a CR LF pair exactly across the 64 KiB read boundary.
    std::string text(65535, 'a');
    text += std::string("\r\nb\rc\r\n\0\x1A" "d\r", 11);
    test::WriteText(crlf, text);

    TextSource src;
    ASSERT_TRUE(src.Open(crlf));
    std::string got;
    for (int c; (c = src.Get()) != TextSource::End;) got.push_back(static_cast<char>(c));
    std::string expected(65535, 'a');
    expected += std::string("\nb\rc\n\0\x1A" "d\r", 9);
    EXPECT_TRUE(got == expected) << "text mode translation differs";

    src.Unget();  // after the end nothing is pushed back
    EXPECT_EQ(src.Get(), TextSource::End);

    TextSource lines;
    ASSERT_TRUE(lines.Open(crlf));
    std::string line;
    ASSERT_TRUE(lines.GetLine(line));
    EXPECT_EQ(line.size(), 65535u);
    ASSERT_TRUE(lines.GetLine(line));
    EXPECT_EQ(line, "b\rc");
    ASSERT_TRUE(lines.GetLine(line));
    EXPECT_EQ(line.size(), 4u);
    EXPECT_FALSE(lines.GetLine(line));

    // A line beyond the limit keeps its first part; the next line is read whole.
    test::WriteText(crlf, std::string(TextSource::MaxLine, 'x') + "yz\r\nnext");
    ASSERT_TRUE(lines.Open(crlf));
    ASSERT_TRUE(lines.GetLine(line));
    EXPECT_TRUE(line == std::string(TextSource::MaxLine, 'x'));
    ASSERT_TRUE(lines.GetLine(line));
    EXPECT_EQ(line, "next");
}
