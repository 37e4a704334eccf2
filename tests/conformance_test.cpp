#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "drawingcompare.h"
#include "testsupport.h"

using namespace velkar;
namespace fs = std::filesystem;

namespace {

bool HaveReference() { return test::OnPath("hp2xx"); }

// hp2xx in true-size mode, fills left out (a knife cuts no hatching), writing the
// vectors it draws as plain HP-GL. False when hp2xx does not read the file.
bool DrawWithReference(const std::string& input, const std::string& output, std::string& text) {
    const std::string cmd = "hp2xx -q -t -n -m hpgl -f " + test::ShellQuote(output) + " " + test::ShellQuote(input);
    if (!test::RunTool(cmd, output + ".log")) return false;
    text = test::ReadBytes(output);
    return true;
}

// The file with the characters of every LB text turned into blanks (labels end
// with ETX in these files): the reference then moves its pen as for the text but
// draws none of it, which is what our job must match.
std::string WithBlankLabels(std::string text) {
    std::size_t pos = 0;
    for (;;) {
        std::size_t lb = text.find("LB", pos);
        if (lb == std::string::npos) break;
        std::size_t etx = text.find('\x03', lb);
        if (etx == std::string::npos) break;
        for (std::size_t i = lb + 2; i < etx; ++i)
            if (static_cast<unsigned char>(text[i]) >= 0x20 && text[i] != 0x7f) text[i] = ' ';
        pos = etx + 1;
    }
    return text;
}

// Files on which the reference draws what a knife must not cut, with the reason.
const std::map<std::string, std::string>& KnownDifferences() {
    static const std::map<std::string, std::string> known = {
        {"HPGL-Plotter__HP8595E-FM.hpgl", "text labels (47 LB), which the reference draws as strokes"},
        {"HPGL-Plotter__R+S-analyzer.hpgl", "text labels (LB) drawn by the reference"},
        {"HPGL2__test-Model.PLT", "its encoded polyline (PE) went through a conversion to UTF-8, which made each byte "
                                  "from 128 up two bytes; the reference reads them otherwise and draws a figure 50 m "
                                  "wide on a 28 cm plot"},
        {"Hpgl.Rendering__feature-exercise.plt", "fills that the reference hatches (RA, WG, FP), symbols (SM), "
                                                 "and text labels"},
        {"Hpgl.Rendering__test.plt", "text labels (LB) drawn by the reference"},
        {"hp2xx__286x192.5_lh.hpg", "text labels (LB) drawn by the reference"},
        {"hp2xx__charsets.hp", "nothing but text labels"},
        {"hp2xx__dt.plt", "nothing but text labels"},
        {"hp2xx__spectrum.plt", "text labels (LB) drawn by the reference"},
        {"hp2xx__ul.hp", "text labels (LB) drawn by the reference"},
        {"hp2xx__win_1.hp", "text labels (LB) drawn by the reference"},
        {"hpgl__test.hpgl", "the reference adds each RO angle to the last one, so the RO0 that follows the file's "
                            "RO90 leaves the rest of the figure turned by 90 degrees, where RO sets the angle; it "
                            "also hatches the RR fills, and after the text labels it draws nothing more. With the "
                            "RO90 taken out and the fills as outlines, both draw the same 180 strokes (PS4 changes "
                            "nothing)"},
        {"textilecadinterpreter__lectra_astm_test.hpgl", "text labels (1135 LB) drawn by the reference"},
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

    int read = 0, meet = 0, meetWithBlankLabels = 0, textOnly = 0;
    for (const fs::path& file : files) {
        const std::string name = file.filename().string();
        std::string text;
        if (!DrawWithReference(file.string(), scratch.File("reference.hpgl"), text)) continue;
        std::vector<test::Stroke> reference = test::ReferenceStrokes(text), ours;
        if (reference.empty()) continue;  // the reference draws nothing to compare with
        ++read;
        bool converted = test::StandardPlotStrokes(file.string(), scratch.File("job.PT1"), ours);
        test::DrawingMatch match = test::CompareDrawings(ours, reference);
        bool ok = converted && match.Meets();
        meet += ok;
        auto known = KnownDifferences().find(name);
        std::printf("%-4s %-55s %s\n", ok ? "ok" : "DIFF", name.c_str(), converted ? match.Describe().c_str() : "refused");
        if (known == KnownDifferences().end()) {
            EXPECT_TRUE(ok) << name << ": " << (converted ? match.Describe() : "refused");
            continue;
        }
        EXPECT_FALSE(ok) << name << " meets the reference now; take it off the list (" << known->second << ")";
        if (known->second.rfind("nothing but text labels", 0) == 0) {
            // No figure but text: the knife must cut nothing at all.
            EXPECT_TRUE(converted && ours.empty()) << name << " holds nothing but text, yet the job cuts";
            ++textOnly;
            continue;
        }
        if (known->second.rfind("text labels", 0) != 0) continue;
        // Labels are not cut; everything else in the file must still be the reference's figure.
        const std::string blanked = scratch.File("blanked.plt");
        test::WriteText(blanked, WithBlankLabels(test::ReadBytes(file.string())));
        ASSERT_TRUE(DrawWithReference(blanked, scratch.File("reference.hpgl"), text)) << name;
        ASSERT_TRUE(test::StandardPlotStrokes(blanked, scratch.File("job.PT1"), ours)) << name;
        match = test::CompareDrawings(ours, test::ReferenceStrokes(text));
        std::printf("     %-55s with blank labels: %s\n", name.c_str(), match.Describe().c_str());
        EXPECT_TRUE(match.Meets()) << name << " with blank labels: " << match.Describe();
        meetWithBlankLabels += match.Meets();
    }
    std::printf("%d of %d files that hp2xx reads draw the reference figure (%.1f%%); %d more with their text "
                "labels blanked (%d of %d, %.1f%%); %d hold nothing but text, leaving %d of %d files with a figure "
                "besides text (%.1f%%)\n",
                meet, read, read ? 100.0 * meet / read : 0.0, meetWithBlankLabels, meet + meetWithBlankLabels, read,
                read ? 100.0 * (meet + meetWithBlankLabels) / read : 0.0, textOnly, meet + meetWithBlankLabels,
                read - textOnly, read > textOnly ? 100.0 * (meet + meetWithBlankLabels) / (read - textOnly) : 0.0);
}
