#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "drawingimport/svgdrawingreader.h"

using namespace velkar;
namespace fs = std::filesystem;

namespace {

// The drawing: $VELKAR_BENCH_SVG, or else the largest plain SVG among
// Inkscape's examples (Debian package inkscape).
std::string Drawing() {
    if (const char* given = std::getenv("VELKAR_BENCH_SVG")) return given;
    std::string largest;
    std::uintmax_t size = 0;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator("/usr/share/inkscape/examples", ec))
        if (e.path().extension() == ".svg" && e.file_size() > size) size = e.file_size(), largest = e.path().string();
    return largest;
}

struct Scratch {
    std::string dir;
    Scratch() {
        char pattern[] = "/tmp/velkar-bench-XXXXXX";
        if (!::mkdtemp(pattern)) std::abort();
        dir = pattern;
    }
    ~Scratch() { fs::remove_all(dir); }
};

void BM_SvgImport(benchmark::State& state) {
    static Scratch scratch;
    const std::string input = Drawing();
    if (input.empty()) return state.SkipWithError("no drawing: set VELKAR_BENCH_SVG or install inkscape");
    for (auto _ : state) {
        std::int32_t count = 0;
        DrawingStats stats;
        std::string error;
        if (ConvertSvgDrawing(input, scratch.dir + "/drawing.PT1", count, stats, error) != ConversionDone)
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(count);
    }
    state.SetLabel(fs::path(input).filename().string());
}

// What Inkscape runs for File > Save As > HP Graphics Language file, without
// Inkscape's own start and save (so the comparison is in its favour).
void BM_InkscapeHpglExport(benchmark::State& state) {
    static Scratch scratch;
    const std::string input = Drawing();
    const std::string command =
        "cd /usr/share/inkscape/extensions && /usr/bin/python3 hpgl_output.py "
        "--precut=false --overcut=0 --toolOffset=0 --output=" +
        scratch.dir + "/drawing.hpgl " + input + " >/dev/null 2>&1 </dev/null";
    if (input.empty() || !fs::exists("/usr/share/inkscape/extensions/hpgl_output.py"))
        return state.SkipWithError("Inkscape's export is not installed");
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("Inkscape's export failed");
    state.SetLabel(fs::path(input).filename().string());
}

}  // namespace

// Medians of five; the ratio of the two medians is the figure to compare with 10.
BENCHMARK(BM_SvgImport)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_InkscapeHpglExport)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
