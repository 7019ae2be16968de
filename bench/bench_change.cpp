// The duration change's copy loops on a 600-second 44.1 kHz stereo 16-bit clip (about
// 106 MB), each against memcpy of the same number of output bytes, both into buffers
// that are already in memory (hot).
#include <cstring>

#include "bench_common.h"
#include "sound/clip.h"

namespace {

constexpr uint32_t kFrames = 600u * 44100u;
constexpr uint32_t kFrameSize = 4;

CByteBuffer& Input() {
    static CByteBuffer input = [] {
        CByteBuffer b;
        b.Resize(kFrames * kFrameSize);
        for (uint32_t i = 0; i < b.length; ++i)
            b.data[i] = static_cast<uint8_t>(i * 131 + (i >> 9));
        return b;
    }();
    return input;
}

uint32_t OutFrames(double ratio) { return static_cast<uint32_t>(kFrames * ratio); }

void Change(benchmark::State& state, double ratio) {
    CTimeChangeJob job;
    job.inFrames = kFrames;
    job.outFrames = OutFrames(ratio);
    job.output.Resize(job.outFrames * kFrameSize);
    std::memset(job.output.data, 0, job.output.length);  // fault the pages in once
    const CByteBuffer& input = Input();
    for (auto _ : state) {
        job.progress = 0;
        const bool done = ratio < 1 ? ShrinkFrames(job, input, kFrameSize)
                                    : StretchFrames(job, input, kFrameSize);
        benchmark::DoNotOptimize(done);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * job.output.length);
}

// The baseline copies between buffers of the same kind as the change's.
void Memcpy(benchmark::State& state, double ratio) {
    const uint32_t bytes = OutFrames(ratio) * kFrameSize;
    CByteBuffer source, target;
    source.Resize(bytes);
    target.Resize(bytes);
    std::memset(source.data, 1, bytes);
    std::memset(target.data, 0, bytes);
    for (auto _ : state) {
        std::memcpy(target.data, source.data, bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Input();
    const double ratios[] = {0.5, 0.83, 1.5};
    for (double r : ratios) {
        const std::string tag = std::to_string(r).substr(0, 4);
        benchmark::RegisterBenchmark(("memcpy/" + tag).c_str(), Memcpy, r)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("change/" + tag).c_str(), Change, r)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    }
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    bool ok = true;
    for (double r : ratios) {
        const std::string tag = std::to_string(r).substr(0, 4);
        const std::string label = "duration change to " + tag + "x, against memcpy";
        ok = PrintRatio(reporter, label.c_str(), "change/" + tag, "memcpy/" + tag, 2.0) && ok;
    }
    benchmark::Shutdown();
    return ok ? 0 : 1;
}
