#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/cli.h"
#include "clirun.h"
#include "testsupport.h"

using namespace velkar;
using velkar::test::Rec;

namespace {

using test::CliRun;
CliRun Cli(std::vector<std::string> args) { return test::RunVelkar(std::move(args)); }

const std::string kExamples = VELKAR_SOURCE_DIR "/examples/";

}  // namespace

// The records themselves are the converters' (import_test, standard_test); here each command's
// paths, exit codes and messages, one row per outcome.
TEST(Commands, PrintTheResultOrNameTheFileAndTheReasonAndLeaveTheJobAlone) {
    test::ScratchDir dir;
    test::TempDirOverride temp;  // the multi-knife type goes through the split in a private temporary directory
    const auto f = [&dir](const char* name) { return dir.File(name); };
    test::WriteText(f("logo.plt"), "IN;\nSP1;\nPU100,200;\nPD300,400;\nSP0;\n");
    test::WriteText(f("hw.plt"), "H;;M100,200Z300,400,5H;");
    test::WriteText(f("h.plt"), "IN;H;;M1,2");
    test::WriteText(f("h.PT1"), "old job");
    test::WriteText(f("pr.plt"), "IN;PR10,10;");
    test::WriteText(f("none.plt"), std::string(39, ' ') + "IN;PU1,1;");
    test::WriteText(f("b.PT1"), "IN;PU1,2;\n");
    test::WriteText(f("ink.hpgl"), "IN;SP2;PU0 0;PD100 0 100 100;LBtext\x03" "FP;XX;PU;SP1;PU5,5;PD5,50;");
    test::WriteText(f("page.svg"), "<svg xmlns=\"http://www.w3.org/2000/svg\"/>");
    test::WriteText(f("text.PT1"), "IN;PU1,2;PD3,4;SP0;IN;PU1,2;PD3,4;SP0;IN;PU1,2;PD3,4;SP0;");
    test::WriteRecords(f("two.PT1"), {Rec(RecHeaderCount, 2, 4), Rec(RecHeaderMin)});
    test::WriteRecords(f("j.PT1"), {Rec(RecHeaderCount, 9, 1), Rec(RecHeaderMin, -5, 2), Rec(RecHeaderMax, 30, 40),
                                    Rec(RecJobStart), Rec(RecKnife, 3), Rec(RecMove, -5, 2), Rec(RecKnife, 1),
                                    Rec(RecLine, 30, 40, 7), Rec(10, 1, 1)});
    // A count beyond the end of the file: readers stop at the end.
    test::WriteRecords(f("short.PT1"), {Rec(RecHeaderCount, 8, 4), Rec(RecHeaderMin), Rec(RecHeaderMax),
                                        Rec(RecJobStart), Rec(RecPathEnd)});
    std::filesystem::create_directory(f("my.jobs"));
    test::WriteText(f("my.jobs/logo"), "IN;\nPU1,2;\n");
    const std::string a = f("logo.plt");
    const std::string notCut = f("ink.hpgl") + ": not cut: 1 labels, 1 fills, 1 unknown instructions\n";
    const struct {
        std::vector<std::string> args;
        int code;
        std::string printed;  // stdout then stderr
    } cases[] = {
        {{"import", a, "--flavour", "1"}, cli::ExitOk, f("logo.PT1") + ": 8 records\n"},
        // The "H;;" worked example, with casmate, the one flavour that takes it.
        {{"import", f("hw.plt"), "--flavour", "4"}, cli::ExitOk, f("hw.PT1") + ": 8 records\n"},
        {{"import", kExamples + "arrow-h.plt", "--flavour", "casmate", "-o", f("arrow.PT1")}, cli::ExitOk,
         f("arrow.PT1") + ": 21 records\n"},
        // A directory with a dot keeps its name; a file name without a dot gets .PT1.
        {{"import", f("my.jobs/logo"), "--flavour", "coredraw"}, cli::ExitOk, f("my.jobs/logo.PT1") + ": 5 records\n"},
        // The split per knife makes 20 records of the converter's 22.
        {{"import", kExamples + "three-knives.plt", "--flavour", "autocad", "-o", f("k.PT1")}, cli::ExitOk,
         f("k.PT1") + ": 20 records\n"},
        // The standard flavour is the default and tells what was not cut.
        {{"import", f("ink.hpgl")}, cli::ExitOk, f("ink.PT1") + ": 12 records\n" + notCut},
        {{"import", f("ink.hpgl"), "--flavour", "STANDARD", "-o", f("ink5.PT1")}, cli::ExitOk, f("ink5.PT1") + ": 12 records\n" + notCut},
        {{"import", f("h.plt"), "--flavour", "zorvex"}, cli::ExitUsage, "velkar: " + f("h.plt") + ": file type error\n"},
        {{"import", f("h.plt"), "--flavour", "3"}, cli::ExitUsage, "velkar: " + f("h.plt") + ": file type isn't CAD\n"},
        // Types without a converter, taken only by casmate.
        {{"import", f("pr.plt"), "--flavour", "4"}, cli::ExitNothingToDo,
         "velkar: " + f("pr.plt") + ": nothing to convert (an HP-GL type that is not converted)\n"},
        {{"import", f("none.plt"), "--flavour", "4"}, cli::ExitNothingToDo,
         "velkar: " + f("none.plt") + ": nothing to convert (plotter type not recognised)\n"},
        {{"import", f("missing.plt"), "--flavour", "1"}, cli::ExitFileError, "velkar: " + f("missing.plt") + ": No such file or directory\n"},
        {{"import", dir.Path(), "--flavour", "1"}, cli::ExitFileError, "velkar: " + dir.Path() + ": Is a directory\n"},
        {{"import", a, "--flavour", "1", "-o", f("no/such.PT1")}, cli::ExitFileError, "velkar: " + f("no/such.PT1") + ": No such file or directory\n"},
        {{"import", a, "--flavour", "1", "-o", a + "/x.PT1"}, cli::ExitFileError, "velkar: " + a + "/x.PT1: Not a directory\n"},
        // A job path that is the plotter file itself is refused before anything is written.
        {{"import", f("b.PT1"), "--flavour", "1"}, cli::ExitFileError,
         "velkar: " + f("b.PT1") + ": is the plotter file itself; choose another job file with -o\n"},
        {{"import", f("page.svg"), "--flavour", "standard"}, cli::ExitUsage,
         "velkar: not a plotter file: " + f("page.svg") + ": it starts with \"<svg xmlns=\"http\", neither HP-GL nor DM/PL\n"},
        {{"import", f("gone.hpgl")}, cli::ExitFileError, "velkar: cannot read " + f("gone.hpgl") + ": No such file or directory\n"},
        {{"info", f("j.PT1"), "--records"}, cli::ExitOk,
         "job: " + f("j.PT1") + "\nrecords: 9\norientation: 1 (mirror y)\nbox: -5, 2 to 30, 40\n"
         "job start: 1\nknife: 2\nmove: 1\nline: 1\npath end: 0\nother: 1\nknives: 1 3\n"
         "send: refused (file type error: record 9 has the unknown code 10)\n"
         "1 200 9 1 0\n2 201 -5 2 0\n3 202 30 40 0\n4 9 0 0 0\n5 11 3 0 0\n6 6 -5 2 0\n7 11 1 0 0\n8 7 30 40 7\n9 10 1 1 0\n"},
        {{"info", f("short.PT1")}, cli::ExitOk,
         "job: " + f("short.PT1") + "\nrecords: 8 (the file holds 5)\norientation: 4 (y as stored)\nbox: 0, 0 to 0, 0\n"
         "job start: 1\nknife: 0\nmove: 0\nline: 0\npath end: 1\nother: 0\nknives: none\n"
         "send: refused (file type error: the header counts 8 records, the file holds 5)\n"},
        {{"info", f("text.PT1")}, cli::ExitFileError, "velkar: " + f("text.PT1") + ": file type error\n"},
        {{"info", f("two.PT1")}, cli::ExitFileError, "velkar: " + f("two.PT1") + ": file type error\n"},
        {{"info", f("none.PT1")}, cli::ExitFileError, "velkar: " + f("none.PT1") + ": No such file or directory\n"},
        {{"import"}, cli::ExitUsage,
         "velkar: import: no plotter file given (velkar import FILE [--flavour N] [--order [bands|travel]] [-o JOB])\n"},
#ifdef VELKAR_HAVE_DRAWING
        {{"import", "a.plt", "--flavour", "8"}, cli::ExitUsage,
         "velkar: import: unknown flavour '8' (use 1 to 7 or zorvex, coredraw, autocad, casmate, standard, svg, pdf)\n"},
#else
        {{"import", "a.plt", "--flavour", "6"}, cli::ExitUsage,
         "velkar: import: unknown flavour '6' (use 1 to 5 or zorvex, coredraw, autocad, casmate, standard)\n"},
#endif
        {{"import", "a.plt", "--flavour", "1", "--order"}, cli::ExitUsage,
         "velkar: import: --order works with the standard flavour and drawings only\n"},
        {{"import", "a.plt", "--flavour"}, cli::ExitUsage, "velkar: import: --flavour needs a value\n"},
        {{"import", "a.plt", "b.plt", "--flavour", "1"}, cli::ExitUsage, "velkar: import: more than one plotter file given\n"},
        {{"import", "a.plt", "-x"}, cli::ExitUsage, "velkar: import: unknown option '-x'\n"},
        {{"frobnicate"}, cli::ExitUsage, "velkar: unknown command 'frobnicate' (see 'velkar --help')\n"},
        {{"info"}, cli::ExitUsage,
         "velkar: info: no job file given (velkar info JOB [--records] [--baud B] [--compact] [send options])\n"},
        {{"info", "a", "--baud", "0"}, cli::ExitUsage, "velkar: info: --baud takes a speed from 1 to 4000000\n"},
        {{"info", "a", "b"}, cli::ExitUsage, "velkar: info: more than one job file given\n"},
    };
    for (const auto& c : cases) {
        const CliRun r = Cli(c.args);
        EXPECT_EQ(r.code, c.code) << c.printed;
        EXPECT_EQ(r.out + r.err, c.printed);
    }
    EXPECT_EQ(test::ReadBytes(f("h.PT1")), "old job");
    EXPECT_EQ(test::ReadBytes(f("b.PT1")), "IN;PU1,2;\n");
    EXPECT_FALSE(std::filesystem::exists(f("none.PT1")));
    EXPECT_FALSE(std::filesystem::exists(f("page.PT1")));

    const CliRun r = Cli({"--help"});
    EXPECT_EQ(r.code, cli::ExitOk);
    EXPECT_NE(r.out.find("  import    convert a plotter file or a drawing into a PT1 job\n"), std::string::npos);
    EXPECT_NE(r.out.find("  info      summarise a PT1 job\n"), std::string::npos);
}

TEST(VelkarProgram, RunsTheCommandLineWithItsExitCodes) {
    test::ScratchDir dir;
    const std::string velkar = VELKAR_BINARY_DIR "/src/velkar";
    if (::access(velkar.c_str(), X_OK) != 0) GTEST_SKIP() << "no " << velkar;
    auto run = [&](const std::string& flavour) {
        const std::string args = " import " + kExamples + "square-and-star.plt -o " + dir.File("s.PT1") + " --flavour ";
        const int status = std::system((velkar + args + flavour + " >" + dir.File("out.txt") + " 2>" + dir.File("err.txt")).c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run("zorvex"), 0);
    EXPECT_EQ(test::ReadBytes(dir.File("out.txt")), dir.File("s.PT1") + ": 22 records\n");
    EXPECT_EQ(run("autocad"), 2);
    EXPECT_EQ(test::ReadBytes(dir.File("err.txt")), "velkar: " + kExamples + "square-and-star.plt: file type isn't CAD\n");
}

// The job file and the send on the command line: a name after "--" is a file,
// outputs are replaced whole or not at all, and only complete jobs are streamed.
TEST(CommandLine, RefusesWhatCannotBeWrittenWholeOrSentAndSaysWhy) {
    test::ScratchDir dir;
    test::TempDirOverride temp;
    test::SmallTmpfs full("size=8k");
    const std::string fifo = dir.File("fifo"), device = dir.File("null"), plt = dir.File("a.plt");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 3)), 0);
    test::WriteText(plt, "IN;PU1,2;");
    test::WriteText(dir.File("--help"), "IN;\nPU1,2;\n");
    std::vector<JobRecord> body = {Rec(RecHeaderCount, 3, 4), Rec(RecHeaderMin), Rec(RecHeaderMax), Rec(RecJobStart)};
    for (std::int32_t i = 0; i < 3000; ++i) body.push_back(Rec(RecLine, i * 1000, i));
    body[0].x = static_cast<std::int32_t>(body.size());
    const std::string big = dir.File("big.PT1"), cut = dir.File("cut.PT1");
    test::WriteRecords(big, body);
    test::WriteText(cut, test::ReadBytes(big).substr(0, 5 * RecordSize));
    const std::string kept = full.Path() + "/kept.txt";
    if (!full.Path().empty()) test::WriteText(kept, "previous stream");

    const std::string pipeOnly = ": is a pipe or a device; flavours 1 to 4 read regular files only (save it to a file first, or use the standard flavour)\n";
    const struct {
        std::vector<std::string> args;
        int code;
        std::string err;
    } cases[] = {
        {{"import", "--flavour", "1", "--", "--help"}, cli::ExitOk, ""},
        {{"import", fifo, "--flavour", "1", "-o", dir.File("p.PT1")}, cli::ExitFileError, "velkar: " + fifo + pipeOnly},
        {{"import", plt, "-o", fifo}, cli::ExitFileError, "velkar: cannot write " + fifo + ": is a FIFO; only regular files are replaced\n"},
        {{"import", plt, "--order", "-o", fifo}, cli::ExitFileError, "velkar: " + fifo + ": is a FIFO; only regular files are replaced\n"},
        {{"import", plt, "--flavour", "1", "-o", device}, cli::ExitFileError,
         "velkar: " + device + ": is a character device; only regular files are replaced\n"},
        {{"stream", big, "-o", fifo}, cli::ExitFileError, "velkar: " + fifo + ": is a FIFO; only regular files are replaced\n"},
        {{"stream", cut, "-o", dir.File("s.txt")}, cli::ExitFileError,
         "velkar: " + cut + ": file type error: the header counts 3004 records, the file holds 5\n"},
        {{"stream", big, "-o", kept}, cli::ExitFileError, "velkar: " + kept + ": cannot write: No space left on device\n"},
    };
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    for (const auto& c : cases) {
        if (c.args.back() == kept && full.Path().empty()) {
            std::printf("skipped the full disk: %s\n", full.Why().c_str());
            continue;
        }
        CliRun r = Cli(c.args);
        EXPECT_EQ(r.code, c.code) << c.args[1];
        EXPECT_EQ(r.err, c.err);
    }
    std::filesystem::current_path(before);
    EXPECT_EQ(test::ReadRecords(dir.File("--help.PT1")).size(), 5u);
    struct stat st {};
    EXPECT_TRUE(::lstat(fifo.c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    EXPECT_TRUE(::lstat(device.c_str(), &st) == 0 && S_ISCHR(st.st_mode));
    if (!full.Path().empty()) {
        EXPECT_EQ(test::ReadBytes(kept), "previous stream");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(full.Path()), {}), 1);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 7);  // nothing else was made
}

#if defined(__SANITIZE_ADDRESS__)
#define VELKAR_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELKAR_UNDER_ASAN 1
#endif
#endif

TEST(ImportCommand, MemoryRunningOutNamesThePlotterFile) {
#if defined(VELKAR_UNDER_ASAN)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#else
    test::ScratchDir dir;
    test::TempDirOverride temp;
    // A million short paths; ordering them needs far more than the few megabytes left.
    std::string text = "IN;";
    for (int i = 0; i < 1000000; ++i) text += "PU" + std::to_string(i % 9000) + ",1;PD7,7;";
    test::WriteText(dir.File("big.plt"), text);
    test::WriteText(dir.File("big.PT1"), "previous job");
    const std::string report = test::InChild([&] {
        // Room for the input window and the files, not for the paths.
        std::ifstream status("/proc/self/status");
        std::string line;
        unsigned long long vmKb = 0;
        while (std::getline(status, line))
            if (line.rfind("VmSize:", 0) == 0) vmKb = std::stoull(line.substr(7));
        const rlimit limit{(vmKb + 12 * 1024) * 1024, (vmKb + 12 * 1024) * 1024};
        ::setrlimit(RLIMIT_AS, &limit);
        const CliRun r = Cli({"import", dir.File("big.plt"), "--order"});
        return std::to_string(r.code) + " " + r.err;
    });
    EXPECT_EQ(report, "1 velkar: " + dir.File("big.plt") + ": not enough memory\n");
    EXPECT_EQ(test::ReadBytes(dir.File("big.PT1")), "previous job");
#endif
}
