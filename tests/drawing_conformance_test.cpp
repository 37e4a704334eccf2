#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "drawingcompare.h"
#include "drawingimport/postscriptdrawing.h"
#include "drawingimport/svgdrawingreader.h"
#include "testsupport.h"

using namespace velkar;
namespace fs = std::filesystem;

namespace {

// Where Debian's inkscape package puts its example drawings and its extensions.
const std::string Examples = "/usr/share/inkscape/examples";
const std::string Extensions = "/usr/share/inkscape/extensions";
// Inkscape's export of the largest drawings runs for minutes; beyond this limit
// (VELKAR_CONFORMANCE_SECONDS when measuring all of them) they are left out
// rather than holding up the test run.
int ReferenceSeconds() {
    const char* set = std::getenv("VELKAR_CONFORMANCE_SECONDS");
    const int seconds = set ? std::atoi(set) : 0;
    return seconds > 0 ? seconds : 30;
}

std::vector<std::string> ExampleDrawings() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(Examples, ec)) {
        const std::string ext = e.path().extension().string();
        if (ext == ".svg" || ext == ".svgz") names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    if (names.empty()) names.push_back("none");
    return names;
}

// Drawings on which Inkscape's export and our job differ, with the reason.
const std::map<std::string, std::string>& KnownDifferences() {
    static const std::map<std::string, std::string> known = {
        {"animated-clock.svg",
         "an invisible circle (fill and stroke none: the guide of its text on a path), which "
         "Inkscape's export cuts and a knife must not"},
        {"data_uri.svg", "Inkscape's export cuts the frame of its raster image, which the import leaves out"},
        {"replace-hue.svg", "nothing but raster images: Inkscape's export cuts their frames, the job nothing"},
        {"text-on-path.svg",
         "five invisible paths (fill and stroke none: the guides of texts on paths), which Inkscape's "
         "export cuts and a knife must not; all of the job's strokes lie on the export's"},
        {"tiger.svgz",
         "width=\"100%\" with height=\"297mm\": the job takes the page as 297 mm tall and, by the "
         "viewBox's proportions, 210 mm wide, as a web browser shows it; Inkscape's export ignores the height, "
         "takes a user unit as a pixel and draws the tiger 25% smaller"},
        {"tref.svg",
         "a viewBox of 1000 user units on a page 521.5 wide: Inkscape's export applies its scale twice "
         "and draws the drawing at about half its size"},
    };
    return known;
}

// The same for the EPS that Inkscape writes, imported through pstoedit.
const std::map<std::string, std::string>& KnownEpsDifferences() {
    static const std::string pictures =
        "refused: Inkscape's EPS holds the drawing as raster images only (it has transparency or filters, "
        "which PostScript cannot say); pstoedit finds no lines in them";
    static const std::string imageDictionaries =
        "refused: pstoedit 3.78 with Ghostscript 10.0 stops at the raster images of Inkscape's EPS "
        "(Error: /undefined in DataSource)";
    static const std::string partly =
        "Inkscape's EPS holds the transparent or filtered parts of the drawing as raster images, in which "
        "pstoedit finds no lines";
    static const std::map<std::string, std::string> known = {
        {"animated-clock.svg", partly},
        {"blend_modes.svg", imageDictionaries},
        {"car.svgz", pictures},
        {"data_uri.svg", "as for the SVG: Inkscape's export cuts the frame of the raster image"},
        {"eastern-motive-P4G.svg", pictures},
        {"gallardo.svgz", pictures},
        {"glass.svg", pictures},
        {"gradient.svg", imageDictionaries},
        {"gradient-mesh-experimental.svgz", partly},
        {"i18n.svg", partly},
        {"markers.svg",
         "Inkscape draws the markers (arrowheads, dots) into the EPS, and its transparent parts as raster "
         "images; its plotter export and Qt's SVG module leave the markers out"},
        {"replace-hue.svg", pictures},
        {"rope-3D.svg", partly},
        {"stars.svgz", partly},
        {"tesselation-P3.svg", partly},
        {"text-on-path.svg", pictures},
        {"tiger.svgz", "as for the SVG: the export ignores the height"},
        {"tref.svg", "as for the SVG: the export applies the viewBox's scale twice"},
        {"turbulence_filters.svg", imageDictionaries},
    };
    return known;
}

class InkscapeExample : public testing::TestWithParam<std::string> {};

// The job draws what Inkscape's own HP-GL export (hpgl_output.py, no precut,
// overcut or knife offset) draws, on a grid of about 1000 cells; with
// VELKAR_CONFORMANCE_EPS set, the same for the EPS that Inkscape writes of the
// drawing, imported through pstoedit.
TEST_P(InkscapeExample, JobDrawsWhatInkscapesPlotterExportDraws) {
    test::ScratchDir dir;
    if (!fs::exists(Extensions + "/hpgl_output.py") || GetParam() == "none" || !test::OnPath("inkscape") ||
        !test::RunTool("/usr/bin/python3 -c 'import lxml, cssselect'", dir.File("python.log")))
        GTEST_SKIP() << "Inkscape (Debian package inkscape) with python3-lxml and python3-cssselect is not installed";
    const std::string input = Examples + "/" + GetParam();
    // Inkscape's export cuts paths only and places clones wrongly: as its users
    // do before plotting, the clones are unlinked and every object, text too,
    // is turned into a path first (Edit > Clone > Unlink Clone, Path > Object
    // to Path), and both read that drawing.
    const std::string env = "XDG_CONFIG_HOME=" + dir.Path() + " XDG_CACHE_HOME=" + dir.Path() + " ";
    const std::string svg = dir.File("drawing.svg");
    const std::string outline = env + "timeout " + std::to_string(std::max(120, ReferenceSeconds())) + " inkscape " +
                                test::ShellQuote(input) +
                                " --actions='select-all:all;clone-unlink-recursively;object-to-path'"
                                " --export-text-to-path --export-plain-svg --export-filename=" +
                                svg;
    if (!test::RunTool(outline, dir.File("outline.log"))) GTEST_SKIP() << "Inkscape could not turn the drawing into paths";
    const std::string plot = "cd " + Extensions + " && " + env + "timeout " + std::to_string(ReferenceSeconds()) +
                             " /usr/bin/python3 hpgl_output.py --precut=false --overcut=0 --toolOffset=0 --output=" +
                             dir.File("reference.hpgl") + " " + svg;
    if (!test::RunTool(plot, dir.File("plot.log")))
        GTEST_SKIP() << "Inkscape's export failed or took longer than " << ReferenceSeconds() << " s";
    // The export writes several points to each PD; the Standard PLT reader,
    // itself checked against hp2xx, reads them.
    std::vector<test::Stroke> reference;
    std::string error;
    ASSERT_TRUE(test::StandardPlotStrokes(dir.File("reference.hpgl"), dir.File("reference.PT1"), reference, &error)) << error;

    std::int32_t count = 0;
    DrawingStats stats;
    ASSERT_EQ(ConvertSvgDrawing(svg, dir.File("svg.PT1"), count, stats, error), ConversionDone) << error;
    const test::DrawingMatch svgMatch =
        test::CompareDrawings(test::JobStrokes(test::ReadRecords(dir.File("svg.PT1"))), reference);

    // Each outcome is printed, so that one run gives the whole figure.
    const auto judge = [&](const char* kind, bool meets, const std::string& result,
                           const std::map<std::string, std::string>& known) {
        std::printf("%s: %s %s: %s\n", GetParam().c_str(), kind, meets ? "meets" : "differs", result.c_str());
        const auto reason = known.find(GetParam());
        if (reason != known.end())
            std::printf("%s: %s known difference: %s\n", GetParam().c_str(), kind, reason->second.c_str());
        else
            EXPECT_TRUE(meets) << kind << ": " << result;
    };
    judge("SVG", svgMatch.Meets(), svgMatch.Describe(), KnownDifferences());

    // Inkscape writing the EPS doubles the time; it runs when asked for.
    if (!std::getenv("VELKAR_CONFORMANCE_EPS") || !test::OnPath("pstoedit")) return;
    // The drawing's area, not the page's (Inkscape clips the EPS to the area written), and filtered
    // objects as lines rather than pictures.
    const std::string eps = env + "inkscape " + svg +
                            " --export-area-drawing --export-ignore-filters --export-filename=" + dir.File("drawing.eps");
    ASSERT_TRUE(test::RunTool(eps, dir.File("eps.log"))) << "Inkscape did not write the EPS";
    std::string epsResult;
    bool epsMeets = false;
    if (ConvertPostScriptDrawing(dir.File("drawing.eps"), dir.File("eps.PT1"), count, stats, error) == ConversionDone) {
        const test::DrawingMatch epsMatch =
            test::CompareDrawings(test::JobStrokes(test::ReadRecords(dir.File("eps.PT1"))), reference);
        epsMeets = epsMatch.Meets();
        epsResult = epsMatch.Describe();
    } else {
        epsResult = "refused: " + error;
    }
    judge("EPS", epsMeets, epsResult, KnownEpsDifferences());
}

INSTANTIATE_TEST_SUITE_P(Inkscape, InkscapeExample, testing::ValuesIn(ExampleDrawings()),
                         [](const testing::TestParamInfo<std::string>& c) {
                             std::string name = c.param;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

}  // namespace
