// Conversion throughput of the HP-GL and DM/PL-style converters on large
// generated plotter files, and the peak memory of the process while they run.
// Throughput is per CPU second: on a shared machine wall time mostly measures
// the other processes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

#include "import/dmplconverter.h"
#include "import/hpglconverter.h"

namespace {

constexpr long kHpglLines = 1000000;
constexpr long kDmplPairs = 1000000;

class BenchDir {
public:
    BenchDir() {
        char pattern[] = "/tmp/velkar-bench-XXXXXX";
        if (!::mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~BenchDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    std::string File(const char* name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

BenchDir& Dir() {
    static BenchDir dir;
    return dir;
}

// Coordinates that wander over a 1 m square, written straight to disk so that
// generating them costs no memory.
std::int32_t Coordinate(long i, long salt) { return static_cast<std::int32_t>((i * 7919 + salt * 104729) % 40000); }

const std::string& HpglFile() {
    static const std::string path = [] {
        std::string p = Dir().File("large.plt");
        std::FILE* f = std::fopen(p.c_str(), "wb");
        if (!f) throw std::runtime_error("cannot write " + p);
        std::fputs("IN;\nSP1;\n", f);
        for (long i = 2; i < kHpglLines - 1; ++i)
            std::fprintf(f, "%s%d,%d;\n", i % 8 == 2 ? "PU" : "PD", Coordinate(i, 1), Coordinate(i, 2));
        std::fputs("SP0;\n", f);
        std::fclose(f);
        return p;
    }();
    return path;
}

const std::string& DmplFile() {
    static const std::string path = [] {
        std::string p = Dir().File("large-dmpl.plt");
        std::FILE* f = std::fopen(p.c_str(), "wb");
        if (!f) throw std::runtime_error("cannot write " + p);
        std::fputs(" ;:AHOL\nUP1\n", f);
        for (long i = 0; i < kDmplPairs; ++i) {
            if (i % 8 == 0) std::fprintf(f, "%sU%d,%d", i ? "\n" : "", Coordinate(i, 1), Coordinate(i, 2));
            else std::fprintf(f, "%c%d,%d", i % 8 == 1 ? 'D' : ',', Coordinate(i, 1), Coordinate(i, 2));
        }
        std::fputs("@\n", f);
        std::fclose(f);
        return p;
    }();
    return path;
}

void Run(benchmark::State& state, velkar::ConversionResult (*convert)(const std::string&, const std::string&, std::int32_t&, int),
         const std::string& input, int flavour) {
    const std::string output = Dir().File("out.PT1");
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(input));
    std::int32_t count = 0;
    for (auto _ : state) {
        if (convert(input, output, count, flavour) != velkar::ConversionDone) {
            state.SkipWithError("conversion failed");
            return;
        }
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(state.iterations() * size);
    state.counters["records"] = count;
    state.counters["input_MB"] = static_cast<double>(size) / 1e6;
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_HpglConverter(benchmark::State& state) { Run(state, velkar::ConvertHpglFile, HpglFile(), 1); }
void BM_DmplConverter(benchmark::State& state) { Run(state, velkar::ConvertDmplFile, DmplFile(), 3); }

}  // namespace

BENCHMARK(BM_HpglConverter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DmplConverter)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
