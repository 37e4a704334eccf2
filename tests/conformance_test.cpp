#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "drawingcompare.h"
#include "import/standardplotreader.h"
#include "testsupport.h"

using namespace velkar;
namespace fs = std::filesystem;

namespace {

std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

bool HaveReference() { return std::system("hp2xx -V >/dev/null 2>&1 </dev/null || command -v hp2xx >/dev/null") == 0; }

// hp2xx in true-size mode, fills left out (a knife cuts no hatching), writing the
// vectors it draws as plain HP-GL. False when hp2xx does not read the file.
bool DrawWithReference(const std::string& input, const std::string& output, std::string& text) {
    std::string cmd = "hp2xx -q -t -n -m hpgl -f " + ShellQuote(output) + " " + ShellQuote(input) +
                      " >/dev/null 2>&1 </dev/null";
    if (std::system(cmd.c_str()) != 0) return false;
    text = test::ReadBytes(output);
    return true;
}

bool DrawWithUs(const std::string& input, const std::string& job, std::vector<test::Stroke>& strokes) {
    std::int32_t count = 0;
    StandardPlotStats stats;
    std::string error;
    if (ConvertStandardPlotFile(input, job, count, stats, error) != ConversionDone) return false;
    strokes = test::JobStrokes(test::ReadRecords(job));
    return true;
}

// Files on which the reference draws what a knife must not cut, with the reason.
const std::map<std::string, std::string>& KnownDifferences() {
    static const std::map<std::string, std::string> known = {
    };
    return known;
}

}  // namespace

TEST(StandardPlotConformance, RealFilesDrawTheReferenceFigure) {
    const fs::path dir = VELKAR_REALPLT_DIR;
    if (!fs::is_directory(dir)) GTEST_SKIP() << "no real plotter files at " << dir;
    if (!HaveReference()) GTEST_SKIP() << "hp2xx is not installed";
    test::ScratchDir scratch;
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.is_regular_file() && e.path().filename() != "SOURCES.tsv") files.push_back(e.path());
    std::sort(files.begin(), files.end());

    int read = 0, meet = 0;
    for (const fs::path& file : files) {
        const std::string name = file.filename().string();
        std::string text;
        if (!DrawWithReference(file.string(), scratch.File("reference.hpgl"), text)) continue;
        std::vector<test::Stroke> reference = test::ReferenceStrokes(text), ours;
        if (reference.empty()) continue;  // the reference draws nothing to compare with
        ++read;
        bool converted = DrawWithUs(file.string(), scratch.File("job.PT1"), ours);
        test::DrawingMatch match = test::CompareDrawings(ours, reference);
        bool ok = converted && match.Meets();
        meet += ok;
        auto known = KnownDifferences().find(name);
        std::printf("%-4s %-55s %s\n", ok ? "ok" : "DIFF", name.c_str(), converted ? match.Describe().c_str() : "refused");
        if (known == KnownDifferences().end())
            EXPECT_TRUE(ok) << name << ": " << (converted ? match.Describe() : "refused");
        else
            EXPECT_FALSE(ok) << name << " meets the reference now; take it off the list (" << known->second << ")";
    }
    std::printf("%d of %d files that hp2xx reads draw the reference figure (%.1f%%)\n", meet, read,
                read ? 100.0 * meet / read : 0.0);
    RecordProperty("files_read", read);
    RecordProperty("files_meeting", meet);
    EXPECT_GE(meet * 10, read * 9) << "fewer than 90% of the files draw the reference figure";
}
