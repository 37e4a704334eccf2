// Drawing a job as the desktop program and `velkar render` do it: a full
// repaint of the picture the screen keeps, a wheel notch (the strip a scroll
// exposes), a zoom step (the track recomputed once), the first showing of a
// job against a tiny one (the picture alone, and the desktop program's main
// window), and the whole `velkar render` of a job to PNG.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include "app/mainframe.h"
#include "app/velkarapp.h"
#include "cli/commands.h"
#include "job/jobrecord.h"
#include "job/jobwriter.h"
#include "render/jobpicture.h"
#include "render/jobrenderer.h"
#include "view/velkarview.h"

namespace {

// records records: closed and open paths of 2 to 40 points spread over a
// 200 mm sheet, eight knives in turn.
std::string MakeJob(std::int32_t records) {
    const char* dir = std::getenv("TMPDIR");
    std::string p = std::string(dir ? dir : "/tmp") + "/velkar_bench_render_" + std::to_string(records) + ".PT1";
    velkar::JobWriter writer;
    if (!writer.Open(p)) std::abort();
    std::mt19937 rng(12345);
    std::uniform_int_distribution<std::int32_t> coord(0, 8000);
    std::uniform_int_distribution<int> len(2, 40);
    std::uniform_int_distribution<std::int32_t> step(-400, 400);
    velkar::JobRecord work;
    velkar::BoundingBox box;
    std::int32_t count = 0;
    const std::int32_t body = records - 3;
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
            const int n = std::min(len(rng), body - 50 - count);
            for (int i = 0; i < n; ++i) {
                work.code = velkar::RecLine;
                work.x = std::clamp(work.x + step(rng), 0, 8000);
                work.y = std::clamp(work.y + step(rng), 0, 8000);
                box.AddX(work.x);
                box.AddY(work.y);
                writer.Write(work), ++count;
            }
            if (n2 % 2 == 0 && count < body - 50) {
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
}

const std::string& MillionJob() {
    static const std::string path = MakeJob(1000000);
    return path;
}
const std::string& TwoMillionJob() {
    static const std::string path = MakeJob(2000000);
    return path;
}
const std::string& TinyJob() {
    static const std::string path = MakeJob(60);
    return path;
}

velkar::RenderSettings Settings(const std::string& job, float sharp = 0.5f, float close = 1.0f) {
    velkar::RenderSettings s;
    s.jobPath = job;
    s.sharpOffset = sharp;
    s.closeOffset = close;
    return s;
}

// The window's viewport at its first size.
constexpr int ViewWidth = 980;
constexpr int ViewHeight = 680;

// A full repaint of the picture the view keeps.
void Repaint(benchmark::State& state, float sharp, float close) {
    velkar::CJobPicture picture;
    picture.SetSettings(Settings(MillionJob(), sharp, close));
    QImage image(ViewWidth, ViewHeight, QImage::Format_RGB32);
    {
        QPainter warm(&image);
        picture.Draw(warm, image.rect());
    }
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        benchmark::DoNotOptimize(picture.Draw(painter, image.rect()).jobRecords);
    }
}
void BM_RepaintMillionRecords(benchmark::State& state) { Repaint(state, 0.0f, 0.0f); }
void BM_RepaintMillionRecordsWithOffsets(benchmark::State& state) { Repaint(state, 0.5f, 1.0f); }

// One wheel notch: three line steps of 7 pixels; the view blits the rest and
// paints the 21-pixel strip the scroll exposes.
void BM_WheelNotchTwoMillionRecords(benchmark::State& state) {
    velkar::CJobPicture picture;
    picture.SetSettings(Settings(TwoMillionJob()));
    QImage image(ViewWidth, ViewHeight, QImage::Format_RGB32);
    {
        QPainter warm(&image);
        picture.Draw(warm, image.rect());
    }
    int offset = 0;
    for (auto _ : state) {
        offset = (offset + 21) % 400;
        QPainter painter(&image);
        painter.translate(0, -offset);
        benchmark::DoNotOptimize(picture.Draw(painter, QRect(0, offset + ViewHeight - 21, ViewWidth, 21)).jobRecords);
    }
}

// One zoom click on a job already shown: the scale halves or doubles, the
// track is recomputed once and the whole view repainted.
void BM_ZoomStepTwoMillionRecords(benchmark::State& state) {
    velkar::CJobPicture picture;
    velkar::RenderSettings s = Settings(TwoMillionJob());
    QImage image(ViewWidth, ViewHeight, QImage::Format_RGB32);
    {
        picture.SetSettings(s);
        QPainter warm(&image);
        picture.Draw(warm, image.rect());
    }
    bool in = false;
    for (auto _ : state) {
        in = !in;
        s.scale = in ? 0.5 : 1.0;
        picture.SetSettings(s);
        image.fill(Qt::white);
        QPainter painter(&image);
        benchmark::DoNotOptimize(picture.Draw(painter, image.rect()).jobRecords);
    }
}

// The first showing of a job: read, track and draw into the view.
void FirstShow(benchmark::State& state, const std::string& job) {
    QImage image(ViewWidth, ViewHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        velkar::CJobPicture picture;
        picture.SetSettings(Settings(job));
        image.fill(Qt::white);
        QPainter painter(&image);
        benchmark::DoNotOptimize(picture.Draw(painter, image.rect()).jobRecords);
    }
}
void BM_FirstShowMillionRecords(benchmark::State& state) { FirstShow(state, MillionJob()); }
void BM_FirstShowTinyJob(benchmark::State& state) { FirstShow(state, TinyJob()); }

// The desktop program's first showing of a job: the main window is shown with
// the job and the offsets (as "--job", "--sharp" and "--close" give them) and
// the event loop runs until the view has drawn it and no further paint is
// waiting. Counts the viewport's paints.
void ShowWindow(benchmark::State& state, const std::string& job) {
    int paints = 0;
    for (auto _ : state) {
        velkar::CVelkarApp app;
        bool drawn = false;
        QObject::connect(app.View(), &velkar::CVelkarView::pictureDrawn, [&drawn] { drawn = true; });
        QObject::connect(app.View(), &velkar::CVelkarView::painted, [&paints] { ++paints; });
        app.MainFrame()->resize(1000, 760);
        if (!app.InitInstance({QStringLiteral("--job"), QString::fromStdString(job), QStringLiteral("--sharp"),
                               QStringLiteral("0.5"), QStringLiteral("--close"), QStringLiteral("1")}))
            state.SkipWithError("no window");
        QElapsedTimer limit;
        limit.start();
        while (!drawn && limit.elapsed() < 10000) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        QApplication::processEvents();
        if (!drawn) state.SkipWithError("the job was not drawn");
    }
    state.counters["paints"] = benchmark::Counter(paints, benchmark::Counter::kAvgIterations);
}
void BM_ShowWindowMillionRecords(benchmark::State& state) { ShowWindow(state, MillionJob()); }
void BM_ShowWindowTinyJob(benchmark::State& state) { ShowWindow(state, TinyJob()); }

// `velkar render JOB -o FILE.png` in process, at the default zoom and offsets.
void BM_RenderCommandMillionRecords(benchmark::State& state) {
    const char* dir = std::getenv("TMPDIR");
    const std::string png = std::string(dir ? dir : "/tmp") + "/velkar_bench_render.png";
    for (auto _ : state) {
        std::ostringstream out, err;
        if (velkar::cli::RunRender({MillionJob(), "-o", png}, out, err) != 0) state.SkipWithError("render failed");
    }
}

}  // namespace

#define VELKAR_BENCH(name) BENCHMARK(name)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly()
VELKAR_BENCH(BM_RepaintMillionRecords);
VELKAR_BENCH(BM_RepaintMillionRecordsWithOffsets);
VELKAR_BENCH(BM_WheelNotchTwoMillionRecords);
VELKAR_BENCH(BM_ZoomStepTwoMillionRecords);
VELKAR_BENCH(BM_FirstShowMillionRecords);
VELKAR_BENCH(BM_FirstShowTinyJob);
VELKAR_BENCH(BM_ShowWindowMillionRecords);
VELKAR_BENCH(BM_ShowWindowTinyJob);
VELKAR_BENCH(BM_RenderCommandMillionRecords);

int main(int argc, char** argv) {
    // Painting and the window need an application object; the offscreen platform needs no display.
    static int qargc = 3;
    static char arg0[] = "bench_render", arg1[] = "-platform", arg2[] = "offscreen";
    static char* qargv[] = {arg0, arg1, arg2, nullptr};
    QApplication app(qargc, qargv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
