// Throughput of the send: command text generated from a 1,000,000-record job,
// and the whole send into a pseudo-terminal whose far end reads as fast as it can.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <thread>

#include <unistd.h>

#include "cutter/cuttersend.h"
#include "job/jobwriter.h"
#include "job/tempdir.h"

#ifdef VELKAR_WITH_QT
#include <pty.h>
#include <termios.h>

#include "serial/commport.h"
#endif

using namespace velkar;

namespace {

constexpr int JobRecords = 1000000;

// Closed hexagon-like shapes with knife changes and path ends, about the mix a
// multi-knife sign job has.
const std::string& JobPath() {
    static const std::string path = [] {
        const std::string p = PrivateTempFile("bench_cutter_job.PT1");
        JobWriter writer;
        if (!writer.Open(p)) std::abort();
        JobRecord work;
        BoundingBox box;
        std::int32_t count = 0;
        auto put = [&](std::uint8_t code, std::int32_t x, std::int32_t y) {
            work.code = code, work.x = x, work.y = y;
            if (code == RecMove || code == RecLine) box.AddX(x), box.AddY(y);
            writer.Write(work);
            ++count;
        };
        put(RecJobStart, 0, 0);
        static const int dx[] = {400, 200, -200, -400, -200, 200};
        static const int dy[] = {0, 350, 350, 0, -350, -350};
        std::int32_t shape = 0;
        while (count < JobRecords - 4) {
            const std::int32_t x0 = (shape % 100) * 900, y0 = (shape / 100) * 900;
            if (shape % 500 == 0) put(RecKnife, 1 + (shape / 500) % 8, 0);
            put(RecMove, x0, y0);
            std::int32_t x = x0, y = y0;
            for (int k = 0; k < 6; ++k) put(RecLine, x += dx[k], y += dy[k]);
            ++shape;
        }
        put(RecPathEnd, 0, 0);
        writer.Finish(work, count, box, OrientationMirrorY);
        return p;
    }();
    return path;
}

CutterSendOptions Options() {
    CutterSendOptions o;
    o.sharpMm = 0.5f;
    o.closeMm = 1.0f;
    o.moveXMm = 10.0f;
    o.moveYMm = 5.0f;
    o.defineColor = true;
    return o;
}

class CountingOutput : public CutterOutput {
public:
    Status Write(const char* data, std::size_t n, OutputWait&) override {
        benchmark::DoNotOptimize(data);
        bytes += n;
        ++commands;
        return Status::Written;
    }
    std::string ErrorText() const override { return {}; }
    std::uint64_t bytes = 0;
    std::uint64_t commands = 0;
};

class NoHooks : public CutterSendHooks {
public:
    void SetMessage(std::string_view text) override { benchmark::DoNotOptimize(text.data()); }
};

void BM_CommandStream(benchmark::State& state) {
    const std::string& job = JobPath();
    std::uint64_t bytes = 0, commands = 0;
    for (auto _ : state) {
        CCutterSend send(Options());
        if (!send.OpenJob(job)) std::abort();
        CountingOutput out;
        NoHooks hooks;
        if (send.Send(hooks, out) != CCutterSend::Result::Completed) std::abort();
        bytes += out.bytes;
        commands += out.commands;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.counters["commands"] = benchmark::Counter(static_cast<double>(commands), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_CommandStream)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The same job without offsets (every sharp corner sends its vertex twice), in
// full and with the moves to where the knife already is left out.
void BM_CommandStreamCompact(benchmark::State& state) {
    const std::string& job = JobPath();
    CutterSendOptions options = Options();
    options.sharpMm = options.closeMm = 0.0f;
    options.compact = state.range(0) != 0;
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        CCutterSend send(options);
        if (!send.OpenJob(job)) std::abort();
        CountingOutput out;
        NoHooks hooks;
        if (send.Send(hooks, out) != CCutterSend::Result::Completed) std::abort();
        bytes = out.bytes;
    }
    state.counters["stream_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_CommandStreamCompact)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

#ifdef VELKAR_WITH_QT
void BM_SendIntoPseudoTerminal(benchmark::State& state) {
    const std::string& job = JobPath();
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        int master = -1, slave = -1;
        char name[128];
        termios raw {};
        cfmakeraw(&raw);
        if (openpty(&master, &slave, name, &raw, nullptr) != 0) std::abort();
        std::thread reader([master] {
            char buffer[65536];
            while (read(master, buffer, sizeof buffer) > 0) {
            }
        });
        {
            CCommPort port;
            LineParameters line;
            if (!port.OpenDevice(QString::fromLatin1(name), line)) std::abort();
            CCutterSend send(Options());
            if (!send.OpenJob(job)) std::abort();
            NoHooks hooks;
            if (send.Send(hooks, port) != CCutterSend::Result::Completed) std::abort();
            if (!port.ClosePort()) std::abort();
            bytes += send.BytesWritten();
        }
        close(slave);  // the reader sees the end of the line
        reader.join();
        close(master);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_SendIntoPseudoTerminal)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);
#endif

}  // namespace

BENCHMARK_MAIN();
