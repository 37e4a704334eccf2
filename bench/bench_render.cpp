// Full repaint of a job of a million records at the default zoom, as the view
// does it at every paint: read the file, run the knife track, draw.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

#include <QImage>
#include <QPainter>

#include "job/jobrecord.h"
#include "job/jobwriter.h"
#include "render/jobrenderer.h"

namespace {

// A million records: closed and open paths of 2 to 40 points spread over a
// 200 mm sheet, eight knives in turn.
const std::string& BigJob() {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        std::string p = std::string(dir ? dir : "/tmp") + "/velkar_bench_render.PT1";
        velkar::JobWriter writer;
        if (!writer.Open(p)) std::abort();
        std::mt19937 rng(12345);
        std::uniform_int_distribution<std::int32_t> coord(0, 8000);
        std::uniform_int_distribution<int> len(2, 40);
        std::uniform_int_distribution<std::int32_t> step(-400, 400);
        velkar::JobRecord work;
        velkar::BoundingBox box;
        std::int32_t count = 0;
        const std::int32_t body = 1000000 - 3;
        int knife = 1;
        while (count < body - 50) {
            work.code = velkar::RecKnife;
            work.x = knife;
            writer.Write(work), ++count;
            knife = knife % 8 + 1;
            for (int n2 = 0; n2 < 200 && count < body - 50; ++n2) {
                work.code = velkar::RecMove;
                work.x = coord(rng);
                work.y = coord(rng);
                const std::int32_t x0 = work.x, y0 = work.y;
                writer.Write(work), ++count;
                const int n = len(rng);
                for (int i = 0; i < n; ++i) {
                    work.code = velkar::RecLine;
                    work.x = std::clamp(work.x + step(rng), 0, 8000);
                    work.y = std::clamp(work.y + step(rng), 0, 8000);
                    box.AddX(work.x);
                    box.AddY(work.y);
                    writer.Write(work), ++count;
                }
                if (n2 % 2 == 0) {
                    work.code = velkar::RecLine;
                    work.x = x0;
                    work.y = y0;
                    writer.Write(work), ++count;
                }
            }
        }
        work.code = velkar::RecPathEnd;
        while (count < body) writer.Write(work), ++count;
        writer.Finish(work, count, box, velkar::OrientationAsStored);
        return p;
    }();
    return path;
}

void RenderFull(benchmark::State& state, float sharp, float close) {
    velkar::RenderSettings s;
    s.jobPath = BigJob();
    s.sharpOffset = sharp;
    s.closeOffset = close;
    QImage image(600, 700, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        const velkar::RenderOutcome outcome = velkar::CJobRenderer::Draw(painter, s, image.rect());
        benchmark::DoNotOptimize(outcome.jobRecords);
    }
}

void BM_RenderMillionRecordsNoOffsets(benchmark::State& state) { RenderFull(state, 0.0f, 0.0f); }
void BM_RenderMillionRecordsWithOffsets(benchmark::State& state) { RenderFull(state, 0.5f, 1.0f); }

// A partial repaint (a strip exposed by scrolling) reads the same file but draws less.
void BM_RenderMillionRecordsStrip(benchmark::State& state) {
    velkar::RenderSettings s;
    s.jobPath = BigJob();
    s.sharpOffset = 0.5f;
    s.closeOffset = 1.0f;
    QImage image(600, 700, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        const velkar::RenderOutcome outcome = velkar::CJobRenderer::Draw(painter, s, QRect(0, 300, 600, 20));
        benchmark::DoNotOptimize(outcome.jobRecords);
    }
}

}  // namespace

BENCHMARK(BM_RenderMillionRecordsNoOffsets)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_RenderMillionRecordsWithOffsets)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_RenderMillionRecordsStrip)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

BENCHMARK_MAIN();
