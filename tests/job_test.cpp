#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "import/textsource.h"
#include "job/jobreader.h"
#include "job/jobwriter.h"
#include "job/scratchfiles.h"
#include "job/tempdir.h"
#include "split/multiknifejob.h"
#include "split/pipelinefiles.h"
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
    const std::string dir = base.File("t");
    ::setenv("VELKAR_TEMP", dir.c_str(), 1);
    EXPECT_EQ(PrivateTempDir(), dir);
    struct stat st {};
    ASSERT_EQ(::stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(PrivateTempFile(FallbackJobName), dir + "/orvalispt1.tmp");

    ASSERT_EQ(::symlink(dir.c_str(), base.File("link").c_str()), 0);
    test::WriteText(base.File("file"), "x");
    ASSERT_EQ(::mkdir(base.File("open").c_str(), 0700), 0);
    ASSERT_EQ(::chmod(base.File("open").c_str(), 0777), 0);
    // Only root can give a folder away.
    const bool foreign = ::mkdir(base.File("foreign").c_str(), 0700) == 0 && ::chown(base.File("foreign").c_str(), 65534, 65534) == 0;
    for (const auto& [name, reason] : {std::pair{"link", "is a symbolic link"}, {"file", "is not a directory"},
                                       {"open", "is writable by other users"}, {"foreign", "is owned by another user"}}) {
        if (!foreign && name == std::string("foreign")) continue;
        ::setenv("VELKAR_TEMP", base.File(name).c_str(), 1);
        try {
            PrivateTempDir();
            ADD_FAILURE() << name << " accepted";
        } catch (const TempDirError& e) {
            EXPECT_EQ(std::string(e.what()), "temporary directory " + base.File(name) + ": " + reason);
        }
    }
}

TEST(TextSource, SplitsLinesAtLfOnlyAndKeepsTheFirstPartOfAnOverlongLine) {
    test::ScratchDir dir;
    const std::string file = dir.File("lines.plt");
    test::WriteText(file, std::string(TextSource::MaxLine, 'x') + "yz\r\nb\rc\r\n" + std::string("\0\x1A" "d\r", 4));
    TextSource lines;
    ASSERT_TRUE(lines.Open(file));
    std::string line;
    for (const std::string& expected : {std::string(TextSource::MaxLine, 'x'), std::string("b\rc"), std::string("\0\x1A" "d\r", 4)}) {
        ASSERT_TRUE(lines.GetLine(line));
        EXPECT_TRUE(line == expected) << line.size();
    }
    EXPECT_FALSE(lines.GetLine(line));
}

// ---- The job file: never harmed by a write that cannot complete ----

namespace {

mode_t KindAt(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

pid_t GoneProcess() {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

}  // namespace

TEST(JobWriter, RefusesTargetsItCannotReplaceWholeAndLeavesThemAsTheyWere) {
    test::ScratchDir dir;
    test::SmallTmpfs full("size=64k,nr_inodes=2");  // room for the root and one file
    const std::string shared = dir.File("shared");
    ASSERT_EQ(::mkdir(shared.c_str(), 01777), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    const std::string victim = dir.File("victim");
    test::WriteText(victim, "victim's file");

    const struct {
        const char* what;
        std::string path;
        std::function<bool(const std::string&)> make;  // false: cannot be made here
        std::string reason;
    } cases[] = {
        {"long name", dir.File(std::string(251, 'j')), [](const std::string& p) { return test::WriteText(p, "previous job"), true; },
         "cannot make a scratch file beside it: File name too long"},
        {"no free inodes", full.Path() + "/job.PT1",
         [&](const std::string& p) { return !full.Path().empty() && (test::WriteText(p, "previous job"), true); },
         "cannot make a scratch file beside it: No space left on device"},
        {"FIFO", dir.File("fifo"), [](const std::string& p) { return ::mkfifo(p.c_str(), 0600) == 0; },
         "is a FIFO; only regular files are replaced"},
        {"device", dir.File("null"), [](const std::string& p) { return ::mknod(p.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0; },
         "is a character device; only regular files are replaced"},
        {"socket", dir.File("sock"),
         [](const std::string& p) {
             sockaddr_un a {};
             a.sun_family = AF_UNIX;
             std::snprintf(a.sun_path, sizeof a.sun_path, "%s", p.c_str());
             const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
             return ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::close(s) == 0;
         },
         "is a socket; only regular files are replaced"},
        {"folder", dir.File("folder"), [](const std::string& p) { return ::mkdir(p.c_str(), 0700) == 0; },
         "is a folder; only regular files are replaced"},
        {"planted link", shared + "/job.PT1",
         [&](const std::string& p) { return ::symlink(victim.c_str(), p.c_str()) == 0 && ::lchown(p.c_str(), 65534, 65534) == 0; },
         "is a symbolic link of another user in a shared folder; it is not followed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.make(c.path)) {
            std::printf("skipped '%s': %s\n", c.what, c.path.rfind(dir.Path(), 0) == 0 ? "not possible here" : full.Why().c_str());
            continue;
        }
        const std::string folder = c.path.substr(0, c.path.rfind('/'));
        const std::vector<std::string> before = Names(folder);
        const mode_t kind = KindAt(c.path);
        JobWriter w;
        EXPECT_FALSE(w.Open(c.path));
        EXPECT_EQ(w.OpenErrorText(), c.reason);
        if (kind == S_IFDIR) {
            EXPECT_EQ(w.OpenError(), EISDIR);  // for callers that show the system's text
        }
        EXPECT_EQ(KindAt(c.path), kind);
        EXPECT_EQ(Names(folder), before);
        if (kind == S_IFREG) {
            EXPECT_EQ(test::ReadBytes(c.path), "previous job");
        }
    }
    EXPECT_EQ(test::ReadBytes(victim), "victim's file");
}

TEST(JobWriter, FollowsTheUsersOwnLinksAndRemovesScratchOfGoneProcesses) {
    test::ScratchDir dir;
    const std::string real = dir.File("real.PT1");
    test::WriteText(real, "old");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(::symlink("real.PT1", dir.File("link.PT1").c_str()), 0);
    ASSERT_EQ(::symlink(dir.File("link.PT1").c_str(), dir.File("job.PT1").c_str()), 0);
    // Killed outright while writing this job earlier, and one that only looks alike.
    const std::string stale = dir.File("real.PT1." + std::to_string(GoneProcess()) + "~a1B2c3");
    const std::string mine = dir.File("real.PT1." + std::to_string(::getpid()) + "~a1B2c3");
    for (const std::string& p : {stale, mine, dir.File("real.PT1.2024.backup")}) test::WriteText(p, "x");

    JobWriter w;
    ASSERT_TRUE(w.Open(dir.File("job.PT1")));
    JobRecord work;
    std::int32_t count = 0;
    w.Finish(work, count, BoundingBox{}, OrientationAsStored);
    EXPECT_EQ(KindAt(dir.File("job.PT1")), S_IFLNK);
    EXPECT_EQ(KindAt(dir.File("link.PT1")), S_IFLNK);
    EXPECT_EQ(test::ReadRecords(real).size(), 3u);
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    std::vector<std::string> left = {"job.PT1", "link.PT1", "real.PT1", "real.PT1.2024.backup", mine.substr(dir.Path().size() + 1)};
    std::sort(left.begin(), left.end());
    EXPECT_EQ(Names(dir.Path()), left);
}

// ---- Resources: a signal during an import leaves nothing behind ----

class SignalDuringImport : public testing::TestWithParam<int> {};

TEST_P(SignalDuringImport, RemovesScratchAndPipelineFilesAndKeepsThePreviousJob) {
    test::ScratchDir dir;
    test::TempDirOverride temp;
    const std::string job = dir.File("job.PT1");
    test::WriteText(job, "previous job");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        for (int s : {SIGINT, SIGTERM, SIGHUP}) ::signal(s, SIG_DFL);
        ScratchFiles::RemoveOnSignals();
        std::int32_t count = 0;
        // Stopped in the middle: the converted job and the job half written, a knife file made.
        RunMultiKnifePipeline(
            [&](const std::string& converted, std::int32_t&) {
                JobWriter convertedJob, beside;
                BinaryFile knife;
                if (convertedJob.Open(converted) && beside.Open(job) &&
                    knife.Open(PipelineFiles::KnifeFile(1), BinaryFile::Mode::CreateKeep) && ::write(ready[1], "r", 1) == 1)
                    for (;;) ::pause();
                return ConversionFileFailed;
            },
            job, count, std::chrono::milliseconds(0));
        ::_exit(3);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    EXPECT_EQ(Names(temp.Path()).size(), 3u);  // the lock, the converted job's scratch, the knife file...
    EXPECT_EQ(Names(dir.Path()).size(), 2u);   // ...and the job's scratch
    ::kill(child, GetParam());
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::close(ready[0]), ::close(ready[1]);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == GetParam()) << status;
    EXPECT_EQ(Names(temp.Path()), std::vector<std::string>{"velkar.lock"});
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"job.PT1"});
    EXPECT_EQ(test::ReadBytes(job), "previous job");
}

INSTANTIATE_TEST_SUITE_P(IntTermHup, SignalDuringImport, testing::Values(SIGINT, SIGTERM, SIGHUP));

TEST(PipelineFiles, LeftoversOfProcessesThatAreGoneAreRemovedAtStartUp) {
    test::TempDirOverride temp;
    const std::string gone = std::to_string(GoneProcess()), alive = std::to_string(::getpid());
    for (const std::string& name : {"tessera0.pt1." + gone + "~Xy12Zq", "tessera0.pt1." + alive + "~Xy12Zq",
                                    std::string("tessera3.pt1"), std::string("tessera10.pt1")})
        test::WriteText(temp.Path() + "/" + name, "x");
    PipelineFiles::RemoveLeftovers();
    EXPECT_EQ(Names(temp.Path()), (std::vector<std::string>{"tessera0.pt1." + alive + "~Xy12Zq", "velkar.lock"}));
}
