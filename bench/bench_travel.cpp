// The ordering for the shortest knife-up travel on one knife's paths held in
// memory: short open strokes and small closed shapes (a third of them) spread
// over a 1 m square in drawing order, as a large sign job has them.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "split/travelordering.h"

using namespace velkar;

namespace {

std::vector<JobRecord> Paths(int count) {
    std::mt19937 rng(1000003);
    std::vector<JobRecord> records;
    records.reserve(std::size_t(count) * 5);
    auto put = [&](std::uint8_t code, std::int32_t x, std::int32_t y) {
        JobRecord r;
        r.code = code, r.x = x, r.y = y;
        records.push_back(r);
    };
    for (int p = 0; p < count; ++p) {
        const std::int32_t x = std::int32_t(rng() % 40000), y = std::int32_t(rng() % 40000);
        put(RecMove, x, y);
        if (p % 3 == 0) {
            put(RecLine, x + 40, y), put(RecLine, x + 40, y + 40), put(RecLine, x, y + 40), put(RecLine, x, y);
        } else {
            put(RecLine, x + std::int32_t(rng() % 80), y + std::int32_t(rng() % 80));
        }
    }
    return records;
}

void OrderByTravel(benchmark::State& state) {
    const std::vector<JobRecord> records = Paths(int(state.range(0)));
    double travel = 0;
    for (auto _ : state) {
        TravelPoint end;
        const std::vector<JobRecord> ordered = CTravelOrdering().Order(records, {0, 40000}, end);
        benchmark::DoNotOptimize(ordered.data());
        state.PauseTiming();
        travel = CTravelOrdering::TravelOf(ordered, {0, 40000});
        state.ResumeTiming();
    }
    state.counters["travel_m"] = travel / 40000.0;
    state.counters["drawing_m"] = CTravelOrdering::TravelOf(records, {0, 40000}) / 40000.0;
}

BENCHMARK(OrderByTravel)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace


BENCHMARK_MAIN();
