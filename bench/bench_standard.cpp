#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "import/standardplotreader.h"

using namespace velkar;

namespace {

// A scratch directory holding one single-line HP-GL file of a million
// instructions, the way drawing programs write them: pen-up moves followed by
// pen-down runs, no line breaks.
struct Fixture {
    std::string dir, input, job;
    std::size_t bytes = 0;
    Fixture() {
        char pattern[] = "/tmp/velkar-bench-XXXXXX";
        if (!::mkdtemp(pattern)) std::abort();
        dir = pattern;
        input = dir + "/million.plt";
        job = dir + "/million.PT1";
        std::string text = "IN;SP1;";
        text.reserve(16'000'000);
        unsigned seed = 12345;
        char buf[48];
        for (int i = 0; i < 1'000'000; ++i) {
            seed = seed * 1103515245u + 12345u;
            int x = static_cast<int>(seed >> 8) % 40000, y = static_cast<int>(seed >> 4) % 30000;
            std::snprintf(buf, sizeof buf, i % 8 == 0 ? "PU%d,%d;" : "PD%d,%d;", x, y);
            text += buf;
        }
        text += "SP0;";
        std::FILE* f = std::fopen(input.c_str(), "wb");
        if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size()) std::abort();
        std::fclose(f);
        bytes = text.size();
    }
    ~Fixture() {
        std::remove(input.c_str());
        std::remove(job.c_str());
        ::rmdir(dir.c_str());
    }
};

void BM_StandardPlotMillionInstructions(benchmark::State& state) {
    static Fixture fixture;
    for (auto _ : state) {
        std::int32_t count = 0;
        StandardPlotStats stats;
        std::string error;
        if (ConvertStandardPlotFile(fixture.input, fixture.job, count, stats, error) != ConversionDone)
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fixture.bytes));
}

}  // namespace

// Median of five repetitions; the bytes/s column, taken from the wall-clock time (the
// file is written too), is the figure to compare with 200 MB/s.
BENCHMARK(BM_StandardPlotMillionInstructions)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
