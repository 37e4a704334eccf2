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
        {"HPGL-Plotter__HP8595E-FM.hpgl", "47 text labels (LB), which the reference draws as strokes"},
        {"HPGL-Plotter__R+S-analyzer.hpgl", "text labels (LB) drawn by the reference"},
        {"HPGL2__test-Model.PLT", "encoded polyline (PE) with bytes 128 to 190 between its digits; the reference "
                                  "reads them otherwise and draws a figure 50 m wide on a 28 cm plot"},
        {"Hpgl.Rendering__feature-exercise.plt", "text labels, fills and a clip window"},
        {"Hpgl.Rendering__test.plt", "text labels (LB) drawn by the reference"},
        {"hp2xx__286x192.5_lh.hpg", "the drawing reaches past its plot size, and the reference clips the rotated "
                                    "figure there"},
        {"hp2xx__arcs.hp", "circles with coarse chord angles (CI50,30): the reference draws the polygon, the knife "
                           "follows the circle"},
        {"hp2xx__charsets.hp", "nothing but text labels"},
        {"hp2xx__dt.plt", "nothing but text labels"},
        {"hp2xx__fill.plt", "text labels, and a clip window (IW) that the reference applies"},
        {"hp2xx__spectrum.plt", "text labels (LB) drawn by the reference"},
        {"hp2xx__thick.hp", "dashed line types (LT): the reference draws the dashes, the knife cuts the whole line"},
        {"hp2xx__ul.hp", "user-defined dash patterns (UL) and text labels"},
        {"hp2xx__win_1.hp", "text labels (LB) drawn by the reference"},
        {"hpgl__test.hpgl", "labels without their terminator swallow the rest of the file in the reference"},
        {"textilecadinterpreter__lectra_astm_test.hpgl", "1135 text labels (LB) drawn by the reference"},
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
}

namespace {

// DM/PL text for the strokes, in the unit named by the EC command (job units per file unit).
std::string DmplTwin(const std::vector<test::Stroke>& strokes, const char* unitCommand, double unit) {
    std::string text = ";: ";
    text += unitCommand;
    text += " A L0\n";
    double x = 1e300, y = 1e300;
    for (const test::Stroke& s : strokes) {
        char buf[96];
        if (s.x0 != x || s.y0 != y) {
            std::snprintf(buf, sizeof buf, "U %.0f,%.0f\nD", s.x0 / unit, s.y0 / unit);
            text += buf;
        }
        std::snprintf(buf, sizeof buf, " %.0f %.0f", s.x1 / unit, s.y1 / unit);
        text += buf;
        x = s.x1, y = s.y1;
    }
    return text + "\n@\n";
}

}  // namespace

// DM/PL twins of drawings that hp2xx draws from HP-GL: the same figure written in
// each unit of the EC family must draw what the reference draws from the HP-GL.
TEST(StandardPlotConformance, DmplTwinsDrawTheSameFigureAsTheirHpgl) {
    const fs::path dir = VELKAR_REALPLT_DIR;
    if (!fs::is_directory(dir)) GTEST_SKIP() << "no real plotter files at " << dir;
    if (!HaveReference()) GTEST_SKIP() << "hp2xx is not installed";
    test::ScratchDir scratch;
    const char* figures[] = {"inkcut__inkcut_old_plot.hpgl", "monoplots__einhorn.hpgl", "gcodeplot__star.plt",
                             "HpglViewer__GL-C-O.plt"};
    struct Unit {
        const char* command;
        double size;
    } units[] = {{"ECN", 1}, {"EC1", 1.016}, {"EC5", 5.08}, {"ECM", 4}};
    for (const char* figure : figures) {
        std::string text;
        ASSERT_TRUE(DrawWithReference((dir / figure).string(), scratch.File("reference.hpgl"), text)) << figure;
        std::vector<test::Stroke> reference = test::ReferenceStrokes(text);
        ASSERT_FALSE(reference.empty()) << figure;
        for (const Unit& u : units) {
            std::string twin = scratch.File("twin.plt");
            test::WriteText(twin, DmplTwin(reference, u.command, u.size));
            std::vector<test::Stroke> ours;
            ASSERT_TRUE(DrawWithUs(twin, scratch.File("twin.PT1"), ours)) << figure << " " << u.command;
            test::DrawingMatch match = test::CompareDrawings(ours, reference);
            EXPECT_TRUE(match.Meets()) << figure << " in " << u.command << ": " << match.Describe();
        }
    }
}
