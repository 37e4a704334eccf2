// Speed of the knife ordering and of the whole multi-knife conversion, beside
// the plain list walk the ordering replaces (quadratic; small sizes only).
//
//   bench_split --benchmark_filter=OrderKnife      one knife of a million short open paths
//   bench_split --benchmark_filter=Pipeline        a 50 MB plotter file with eight knives
//   bench_split --benchmark_filter=Literal         the plain walk at 10,000 and 30,000 paths
// The peak_rss_mb counter is the process's peak resident memory so far; run one
// filter per process to read it for that benchmark alone.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "job/binaryfile.h"
#include "job/jobrecord.h"
#include "split/multiknifejob.h"
#include "split/pathordering.h"
#include "split/pipelinefiles.h"
#include "split_oracle.h"

using namespace velkar;

namespace {

std::string g_dir;

double PeakRssMb() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

JobRecord Record(std::uint8_t code, std::int32_t x, std::int32_t y) {
    JobRecord r;
    r.code = code;
    r.x = x;
    r.y = y;
    return r;
}

// Short open paths (a move and two lines) over a 10 m square; every fifth starts
// where the one before ended, so the chaining has joins to make.
std::vector<JobRecord> ShortOpenPaths(std::size_t count, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<std::int32_t> coord(0, 400000), step(1, 400);
    std::vector<JobRecord> records;
    records.reserve(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        std::int32_t x = coord(rng), y = coord(rng);
        if (i % 5 == 1) x = records.back().x, y = records.back().y;
        records.push_back(Record(RecMove, x, y));
        records.push_back(Record(RecLine, x + step(rng), y + step(rng)));
        records.push_back(Record(RecLine, x + 2 * step(rng) + 1, y - step(rng)));
    }
    return records;
}

void WriteBare(const std::string& path, const std::vector<JobRecord>& records) {
    BinaryFile out;
    if (!out.Open(path, BinaryFile::Mode::CreateTruncate)) std::abort();
    unsigned char image[RecordSize];
    for (const JobRecord& r : records) {
        r.Encode(image);
        out.Write(image, RecordSize);
    }
    out.Close();
}

void BM_OrderKnife(benchmark::State& state) {
    const std::string source = g_dir + "/knife.src";
    WriteBare(source, ShortOpenPaths(static_cast<std::size_t>(state.range(0)), 1));
    PipelineFiles files(std::chrono::milliseconds(0));
    const std::string knife = PipelineFiles::KnifeFile(1);
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::copy_file(source, knife, std::filesystem::copy_options::overwrite_existing);
        state.ResumeTiming();
        if (OrderKnifePaths(knife) != ConversionDone) state.SkipWithError("ordering failed");
    }
    std::filesystem::remove(source);
    state.counters["peak_rss_mb"] = PeakRssMb();
}
BENCHMARK(BM_OrderKnife)->Arg(10000)->Arg(30000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LiteralOrder(benchmark::State& state) {
    const std::vector<JobRecord> records = ShortOpenPaths(static_cast<std::size_t>(state.range(0)), 1);
    for (auto _ : state) benchmark::DoNotOptimize(test::LiteralOrder(records));
    state.counters["peak_rss_mb"] = PeakRssMb();
}
BENCHMARK(BM_LiteralOrder)->Arg(10000)->Arg(30000)->Unit(benchmark::kMillisecond)->UseRealTime();

// About 50 MB of DM/PL-style text: eight knives, each selected again and again
// for runs of short paths, every run closed by '@'.
std::string PlotterFile() {
    const std::string path = g_dir + "/sign.plt";
    if (std::filesystem::exists(path)) return path;
    std::mt19937 rng(7);
    std::uniform_int_distribution<std::int32_t> coord(0, 400000), step(1, 400);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    std::fputs(" ;:AHOL IN;", f);
    long written = 0;
    for (int run = 0; written < 50L * 1000 * 1000; ++run) {
        written += std::fprintf(f, "UP%d", run % 8 + 1);
        for (int i = 0; i < 2000; ++i) {
            const std::int32_t x = coord(rng), y = coord(rng);
            written += std::fprintf(f, "U%d,%dD%d,%d,%d,%d", x, y, x + step(rng), y + step(rng), x + step(rng), y - step(rng));
        }
        written += std::fprintf(f, "@\n");
    }
    std::fclose(f);
    return path;
}

void BM_Pipeline(benchmark::State& state) {
    const std::string plt = PlotterFile();
    const std::string job = g_dir + "/sign.PT1";
    std::int32_t count = 0;
    for (auto _ : state) {
        if (ConvertMultiKnifeJob(plt, job, count, 3) != ConversionDone) state.SkipWithError("conversion failed");
    }
    state.counters["input_mb"] = static_cast<double>(std::filesystem::file_size(plt)) / 1e6;
    state.counters["records"] = count;
    state.counters["peak_rss_mb"] = PeakRssMb();
}
BENCHMARK(BM_Pipeline)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    char pattern[] = "/tmp/velkar-bench-XXXXXX";
    if (!::mkdtemp(pattern)) return 1;
    g_dir = pattern;
    ::setenv("VELKAR_TEMP", pattern, 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(g_dir);
    return 0;
}
