#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "clirun.h"
#include "drawingimport/postscriptdrawing.h"
#include "drawingimport/svgdrawingreader.h"
#include "testsupport.h"

using namespace velkar;
namespace fs = std::filesystem;

namespace {

struct Converted {
    ConversionResult result = -1;
    DrawingStats stats;
    std::string error;
    std::vector<JobRecord> records;
};

std::string Svg(const std::string& rootAttributes, const std::string& body) {
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:inkscape=\"http://www.inkscape.org/namespaces/inkscape\" "
           "xmlns:xlink=\"http://www.w3.org/1999/xlink\" " +
           rootAttributes + ">" + body + "</svg>";
}

using Converter = ConversionResult (*)(const std::string&, const std::string&, std::int32_t&, DrawingStats&,
                                       std::string&);

// Converts input to in.PT1 beside it.
Converted ConvertFile(const std::string& input, Converter convert = ConvertSvgDrawing) {
    Converted c;
    const std::string job = (fs::path(input).parent_path() / "in.PT1").string();
    std::int32_t count = 0;
    c.result = convert(input, job, count, c.stats, c.error);
    if (c.result == ConversionDone) c.records = test::ReadRecords(job);
    return c;
}

Converted ConvertText(const test::ScratchDir& dir, const std::string& text) {
    test::WriteText(dir.File("in.svg"), text);
    fs::remove(dir.File("in.PT1"));
    return ConvertFile(dir.File("in.svg"));
}

// The moves, lines and knives of a job as short words: K knife, M move, L line.
std::string Body(const std::vector<JobRecord>& records) {
    std::string out;
    for (std::size_t i = 3; i < records.size(); ++i) {
        const JobRecord& r = records[i];
        if (r.code == RecKnife) out += " K" + std::to_string(r.x);
        if (r.code == RecMove || r.code == RecLine)
            out += std::string(r.code == RecMove ? " M" : " L") + std::to_string(r.x) + "," + std::to_string(r.y);
    }
    return out.empty() ? out : out.substr(1);
}

std::string Box(const std::vector<JobRecord>& r) {
    return std::to_string(r[1].x) + "," + std::to_string(r[1].y) + " " + std::to_string(r[2].x) + "," +
           std::to_string(r[2].y);
}

// Where shapes land: document size, viewBox and its alignment, transforms, use.
struct PlacementCase {
    const char* name;
    const char* root;
    const char* body;
    const char* box;  // job units, 40 to the mm, y upwards from the page's bottom edge
};

class SvgPlacement : public testing::TestWithParam<PlacementCase> {};

TEST_P(SvgPlacement, GivesTheTrueSizeAndPosition) {
    test::ScratchDir dir;
    const PlacementCase& p = GetParam();
    Converted c = ConvertText(dir, Svg(p.root, p.body));
    ASSERT_EQ(c.result, ConversionDone) << c.error;
    EXPECT_EQ(Box(c.records), p.box);
}

const char* const Square = "<rect x='0' y='0' width='96' height='96' fill='none' stroke='black'/>";
const char* const Hundred = "<rect width='100' height='100' fill='none' stroke='black'/>";

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Drawing, SvgPlacement,
    testing::Values(
        PlacementCase{"UserUnitsAre96ToTheInch", "width='192' height='192'", Square, "0,1016 1016,2032"},
        PlacementCase{"MillimetresWithViewBox", "width='100mm' height='50mm' viewBox='0 0 200 100'",
                      "<rect x='10' y='10' width='20' height='20' fill='red' stroke='blue'/>", "200,1400 600,1800"},
        PlacementCase{"PointsWithoutViewBox", "width='144pt' height='144pt'", Square, "0,1016 1016,2032"},
        PlacementCase{"ViewBoxOnlyIsUserUnits", "viewBox='0 0 192 192'", Square, "0,1016 1016,2032"},
        PlacementCase{"ViewBoxOffset", "width='192' height='192' viewBox='96 96 192 192'",
                      "<rect x='96' y='96' width='96' height='96' fill='none' stroke='black'/>", "0,1016 1016,2032"},
        PlacementCase{"MeetCentres", "width='2in' height='1in' viewBox='0 0 100 100'", Hundred, "508,0 1524,1016"},
        PlacementCase{"AspectNoneStretches", "width='2in' height='1in' viewBox='0 0 100 100' preserveAspectRatio='none'", Hundred, "0,0 2032,1016"},
        PlacementCase{"MinSliceAlignsTopLeft", "width='2in' height='1in' viewBox='0 0 100 100' preserveAspectRatio='xMinYMin slice'", Hundred, "0,-1016 2032,1016"},
        PlacementCase{"NestedTransforms", "width='192' height='192'", "<g transform='translate(96,0)'><g transform='scale(0.5) rotate(90)'>"
                      "<rect width='96' height='192' fill='none' stroke='black'/></g></g>", "0,1524 1016,2032"},
        PlacementCase{"UseWithOffset", "width='192' height='192'", "<defs><rect id='r' width='48' height='48' fill='none' stroke='black'/></defs>"
                      "<use href='#r' x='96' y='96'/>", "1016,508 1524,1016"}),
    [](const testing::TestParamInfo<PlacementCase>& c) { return std::string(c.param.name); });
// clang-format on

TEST(SvgDrawing, FilledAndStrokedShapeIsCutOnceWithTheStrokeColourImagesAndFiltersAreCounted) {
    test::ScratchDir dir;
    Converted c = ConvertText(
        dir, Svg("width='192' height='192'",
                 "<defs><filter id='f'><feGaussianBlur stdDeviation='2'/></filter></defs>"
                 "<rect width='96' height='96' fill='#ff0000' stroke='#0000ff'/>"
                 "<rect width='96' height='96' fill='#00ff00' style='filter:url(#f)'/>"
                 "<path d='M0 0 L96 0 L96 96' fill='#00ff00' stroke='none'/>"
                 "<rect width='96' height='96' fill='none' stroke='none'/>"
                 "<image width='10' height='10' xlink:href='data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAf"
                 "FcSJAAAADUlEQVR42mNk+M9QDwADhgGAWjR9awAAAABJRU5ErkJggg=='/>"));
    ASSERT_EQ(c.result, ConversionDone) << c.error;
    // The stroked square once with the stroke's knife; the filled one with the fill's, its filter
    // counted; the filled open path closed along its edge; the invisible one and the image not at all.
    EXPECT_EQ(Body(c.records),
              "K1 M0,2032 L1016,2032 L1016,1016 L0,1016 L0,2032 "
              "K2 M0,2032 L1016,2032 L1016,1016 L0,1016 L0,2032 "
              "M0,2032 L1016,2032 L1016,1016 L0,2032");
    EXPECT_EQ(c.stats.knives[0].sources, std::vector<std::string>{"#0000ff"});
    EXPECT_EQ(DescribeDrawing(c.stats),
              (std::vector<std::string>{"knife 1: #0000ff, 1 paths, 0.102 m", "knife 2: #00ff00, 2 paths, 0.188 m",
                                        "not cut: 1 raster images, 1 filters"}));
}

TEST(SvgDrawing, KnivesFollowColoursInOrderAndLayersNameTheirOwn) {
    test::ScratchDir dir;
    std::string body;
    for (const char* colour : {"#000001", "#000002", "#000003", "#000004", "#000005", "#000006", "#000007",
                               "#000008", "#000009", "#00000a"})
        body += std::string("<path d='M0 0 L10 0' stroke='") + colour + "' fill='none'/>";
    body +=
        "<g inkscape:label='Knife 3'><path d='M0 0 L10 0' stroke='#000001'/>"
        "<g inkscape:label='pen2 speed10'><path d='M0 0 L10 0' stroke='#000001'/></g>"
        "<path d='M0 0 L10 0' stroke='#000009'/></g>"
        "<g inkscape:label='Layer 1'><path d='M0 0 L10 0' stroke='#000002'/></g>";
    Converted c = ConvertText(dir, Svg("width='96' height='96'", body));
    ASSERT_EQ(c.result, ConversionDone) << c.error;
    std::string knives;
    for (const JobRecord& r : c.records)
        if (r.code == RecKnife) knives += std::to_string(r.x);
    EXPECT_EQ(knives, "123456783232");
    EXPECT_EQ(c.stats.knives[7].paths, 3);
    EXPECT_EQ(c.stats.coloursBeyondEight, 2);
    EXPECT_EQ(c.stats.knives[2].sources, (std::vector<std::string>{"#000003", "layer"}));
    EXPECT_EQ(DescribeDrawing(c.stats)[8], "colours beyond the eighth cut with knife 8: 2");
}

TEST(SvgDrawing, CurvesStayWithinOneUnitAndClosedPathsEndWhereTheyBegan) {
    test::ScratchDir dir;
    // A circle of radius 254 units (6.35 mm) round (254, 254); Qt's own cubics
    // stay within 0.07 units of it.
    Converted c =
        ConvertText(dir, Svg("width='48' height='48'", "<circle cx='24' cy='24' r='24' fill='none' stroke='black'/>"));
    ASSERT_EQ(c.result, ConversionDone) << c.error;
    std::vector<std::pair<double, double>> points;
    for (const JobRecord& r : c.records)
        if (r.code == RecMove || r.code == RecLine) points.emplace_back(r.x - 254.0, r.y - 254.0);
    ASSERT_GT(points.size(), 20u);
    EXPECT_EQ(points.front(), points.back());
    for (std::size_t i = 1; i < points.size(); ++i) {
        const auto [x0, y0] = points[i - 1];
        const auto [x1, y1] = points[i];
        EXPECT_GE(std::hypot(x1 - x0, y1 - y0), 1.0) << i;
        EXPECT_NEAR(std::hypot(x1, y1), 254, 1.0) << i;
        EXPECT_NEAR(std::hypot((x0 + x1) / 2, (y0 + y1) / 2), 254, 1.0) << i;  // the chord's sag
    }
}

TEST(SvgDrawing, TextIsCutAsGlyphOutlines) {
    test::ScratchDir dir;
    // 96 user units = 1 inch high type; a capital H stands about 0.7 of it.
    Converted c = ConvertText(dir, Svg("width='480' height='192'",
                                       "<text x='0' y='150' font-family='sans-serif' font-size='96' "
                                       "fill='#123456'>H</text>"));
    ASSERT_EQ(c.result, ConversionDone) << c.error;
    EXPECT_EQ(c.stats.knives[0].sources, std::vector<std::string>{"#123456"});
    EXPECT_EQ(c.stats.knives[0].paths, 1);
    const int baseline = (192 - 150) * 1016 / 96;
    EXPECT_NEAR(c.records[1].y, baseline, 2);
    EXPECT_GT(c.records[2].y - baseline, 0.6 * 1016);
    EXPECT_LT(c.records[2].y - baseline, 0.8 * 1016);
}

// Files that are refused, with the exact message; an earlier job stays as it was.
struct RefusalCase {
    const char* name;
    std::string content;
    ConversionResult result;
    const char* reason;  // after "<verb> FILE: "
};

class SvgRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(SvgRefusal, NamesTheFileAndTheReason) {
    test::ScratchDir dir;
    const RefusalCase& p = GetParam();
    test::WriteText(dir.File("in.svg"), p.content);
    test::WriteText(dir.File("in.PT1"), "earlier job");
    const Converted c = ConvertFile(dir.File("in.svg"));
    EXPECT_EQ(c.result, p.result);
    const char* verb = p.result == ConversionOutOfRange ? "cannot convert " : "not an SVG drawing: ";
    EXPECT_EQ(c.error, verb + dir.File("in.svg") + ": " + p.reason);
    EXPECT_EQ(test::ReadBytes(dir.File("in.PT1")), "earlier job");
}

INSTANTIATE_TEST_SUITE_P(
    Drawing, SvgRefusal,
    testing::Values(
        RefusalCase{"PlotterFile", "IN;PU0,0;PD100,0;", ConversionNotDrawing, "line 1: Start tag expected."},
        RefusalCase{"OtherXml", "<?xml version='1.0'?><html><svg/></html>", ConversionNotDrawing,
                    "the document is <html>, not <svg>"},
        RefusalCase{"BrokenXml", "<svg xmlns='http://www.w3.org/2000/svg'>\n<g></svg>", ConversionNotDrawing,
                    "line 2: Opening and ending tag mismatch."},
        RefusalCase{"BrokenGzip", std::string("\x1f\x8b\x08\x00garbage", 12), ConversionNotDrawing,
                    "its compressed data is broken"},
        RefusalCase{"HugeCoordinate", Svg("width='96' height='96'", "<path d='M0 0 L1e12 0' stroke='black'/>"),
                    ConversionOutOfRange, "a coordinate lies beyond 1000000000 units (25 km)"},
        RefusalCase{"HugeScale",
                    Svg("width='96' height='96' viewBox='0 0 1e-9 1e-9'", "<path d='M0 0 L1 0' stroke='black'/>"),
                    ConversionOutOfRange, "a coordinate lies beyond 1000000000 units (25 km)"}),
    [](const testing::TestParamInfo<RefusalCase>& c) { return std::string(c.param.name); });

// A job that cannot be written is refused with the reason, never with a stale system error.
TEST(SvgDrawing, JobThatCannotBeWrittenSaysWhy) {
    test::ScratchDir dir;
    test::WriteText(dir.File("in.svg"), Svg("width='96' height='96'", "<path d='M0 0 L96 0' stroke='red'/>"));
    ASSERT_EQ(::mkfifo(dir.File("in.PT1").c_str(), 0600), 0);
    const Converted c = ConvertFile(dir.File("in.svg"));
    EXPECT_EQ(c.result, ConversionFileFailed);
    EXPECT_EQ(c.error, "cannot write " + dir.File("in.PT1") + ": is a FIFO; only regular files are replaced");
}

TEST(DrawingImportCommand, PicksTheDrawingFlavourByNameOrContentAndTellsTheKnives) {
    test::ScratchDir dir;
    const std::string drawing = Svg("width='96' height='96'", "<path d='M0 0 L96 0' stroke='red'/>");
    test::WriteText(dir.File("logo.svg"), drawing);
    test::WriteText(dir.File("logo.txt"), drawing);
    // Packed, it is a drawing too, named .svgz or not.
    const gzFile packed = gzopen(dir.File("logo.svgz").c_str(), "wb");
    ASSERT_EQ(gzwrite(packed, drawing.data(), static_cast<unsigned>(drawing.size())), static_cast<int>(drawing.size()));
    ASSERT_EQ(gzclose(packed), Z_OK);
    fs::copy_file(dir.File("logo.svgz"), dir.File("logo.dat"));
    for (const char* name : {"logo.svg", "logo.txt", "logo.svgz", "logo.dat"}) {
        test::CliRun r = test::RunVelkar({"import", dir.File(name), "-o", dir.File("logo.PT1")});
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.err, dir.File(name) + ": knife 1: #ff0000, 1 paths, 0.025 m\n");
        EXPECT_EQ(r.out, dir.File("logo.PT1") + ": 8 records\n");
    }
    test::WriteText(dir.File("plot.plt"), "IN;PU0,0;PD10,0;");
    test::CliRun r = test::RunVelkar({"import", dir.File("plot.plt"), "--flavour", "svg", "-o", dir.File("p.PT1")});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "velkar: not an SVG drawing: " + dir.File("plot.plt") + ": line 1: Start tag expected.\n");
}

TEST(PostScriptDrawing, ConvertsThroughPstoeditAtTrueSizeWithAPenPerColour) {
    if (!test::OnPath("pstoedit") || !test::OnPath("gs"))
        GTEST_SKIP() << "pstoedit or Ghostscript is not installed";
    test::ScratchDir dir;
    const std::string input = dir.File("in.eps");
    test::WriteText(input,
                    "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 144 144\n"
                    "newpath 36 36 moveto 108 36 lineto 108 108 lineto 36 108 lineto closepath\n"
                    "1 0 0 setrgbcolor stroke\nnewpath 0 0 moveto 72 0 lineto 0 0 1 setrgbcolor stroke\n"
                    "showpage\n");
    Converted c = ConvertFile(input, ConvertPostScriptDrawing);
    ASSERT_EQ(c.result, ConversionDone) << c.error;
    EXPECT_EQ(Body(c.records), "K1 M508,508 L1524,508 L1524,1524 L508,1524 L508,508 K2 M0,0 L1016,0");
    EXPECT_EQ(DescribeDrawing(c.stats),
              (std::vector<std::string>{"knife 1: pen 1, 1 paths, 0.102 m", "knife 2: pen 2, 1 paths, 0.025 m"}));

    test::WriteText(input, "%!PS\nthis is not PostScript at all {\n");
    c = ConvertFile(input, ConvertPostScriptDrawing);
    EXPECT_EQ(c.result, ConversionNotDrawing);
    EXPECT_EQ(c.error.rfind("not a PostScript or PDF drawing: " + input + ": pstoedit: ", 0), 0u) << c.error;
    test::WriteText(input, "%!PS\n%%BoundingBox: 0 0 100 100\nshowpage\n");
    c = ConvertFile(input, ConvertPostScriptDrawing);
    EXPECT_EQ(c.result, ConversionNotDrawing);
    EXPECT_EQ(c.error,
              "not a PostScript or PDF drawing: " + input + ": pstoedit found no lines in it (raster images are not cut)");

    const std::string path = std::getenv("PATH");
    ::setenv("PATH", dir.Path().c_str(), 1);  // nothing to run there
    c = ConvertFile(input, ConvertPostScriptDrawing);
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(c.result, ConversionNoTool);
    EXPECT_EQ(c.error, "cannot convert " + input + ": pstoedit is not installed (Debian package pstoedit)");
}

// Runs the extension's script as Inkscape runs it: Inkscape's own Python modules
// on the path, the document as the last argument, the result on stdout.
TEST(InkscapeExtension, InstallsAndSendsTheDrawingAsSvgWithTextAsOutlines) {
    const std::string modules = "/usr/share/inkscape/extensions";
    test::ScratchDir dir;
    if (!fs::exists(modules + "/inkex") ||
        !test::RunTool("/usr/bin/python3 -c 'import lxml, cssselect'", dir.File("python.log")))
        GTEST_SKIP() << "Inkscape's Python modules (Debian package inkscape) are not installed";
    const std::string installed = dir.File("prefix/share/inkscape/extensions/");
    ASSERT_TRUE(test::RunTool(std::string(VELKAR_CMAKE_COMMAND) + " --install " VELKAR_BINARY_DIR
                              " --component inkscape --prefix " + dir.File("prefix"),
                              dir.File("install.log")));
    ASSERT_TRUE(fs::exists(installed + "velkar_send.inx"));

    test::WriteText(dir.File("logo.svg"), Svg("width='96' height='96'",
                                              "<g inkscape:label='Knife 5' inkscape:groupmode='layer'>"
                                              "<path d='M0 0 L96 0' stroke='red'/></g>"
                                              "<text x='10' y='80' font-size='40' font-family='sans-serif'>Hi</text>"));
    // The command given stands in for velkar: it keeps what it was given.
    const std::string sent = dir.File("sent.svg");
    test::WriteText(dir.File("velkar"), "#!/bin/sh\ncp \"$1\" " + sent + ".part && mv " + sent + ".part " + sent + "\n");
    fs::permissions(dir.File("velkar"), fs::perms::owner_all);
    // Inkscape's command line, which the script runs, keeps its settings in the scratch folder too.
    const std::string run = "cd " + installed + " && XDG_RUNTIME_DIR=" + dir.Path() + " XDG_CONFIG_HOME=" + dir.Path() +
                            " XDG_CACHE_HOME=" + dir.Path() + " PYTHONPATH=" + modules +
                            " /usr/bin/python3 velkar_send.py --command=" + dir.File("velkar") + " " +
                            dir.File("logo.svg") + " >" + dir.File("out.svg") + " 2>" + dir.File("err.txt");
    ASSERT_EQ(std::system(run.c_str()), 0) << test::ReadBytes(dir.File("err.txt"));
    EXPECT_EQ(test::ReadBytes(dir.File("err.txt")), "");
    for (int i = 0; i < 600 && !fs::exists(sent); ++i) ::usleep(50000);  // velkar runs detached
    ASSERT_TRUE(fs::exists(sent));
    const bool outlined = test::OnPath("inkscape");  // Inkscape turns the text into paths
    EXPECT_TRUE(!outlined || test::ReadBytes(sent).find("<text") == std::string::npos);
    const Converted c = ConvertFile(sent);
    ASSERT_EQ(c.result, ConversionDone) << c.error;
    EXPECT_EQ(c.stats.knives[4].paths, 1);  // the layer's knife survived
    EXPECT_EQ(c.stats.knives[0].paths, 3);  // H, and i with its dot
}

}  // namespace
