// Shared pieces of the benchmarks: a reporter that keeps every run's time, so that a
// program can print the ratios it is judged by after Google Benchmark's own table, and
// the clips they work on.
#pragma once

#include <benchmark/benchmark.h>
#include <hostpath.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "sound/clip.h"
#include "sound/wavefile.h"

// Writes a 44.1 kHz stereo 16-bit clip of frames frames (not silent) at the host path;
// a failure ends the benchmark.
inline void WriteClip(const std::string& path, uint32_t frames) {
    CSoundClip clip;
    clip.nChannels = 2;
    clip.wBitsPerSample = 16;
    clip.nSamplesPerSec = 44100;
    clip.nBlockAlign = 4;
    clip.nAvgBytesPerSec = 44100 * 4;
    clip.data.Resize(frames * 4u);
    for (uint32_t i = 0; i < clip.data.length; ++i)
        clip.data.data[i] = static_cast<uint8_t>(i * 7 + (i >> 11));
    CWaveFile wave;
    if (!SaveToFile(wave, HostToProgramPath(path).c_str(), clip)) std::abort();
}

// Keeps every timed run of each benchmark; a benchmark repeated (Repetitions) counts as
// the median of its runs, which a run disturbed by the rest of the machine does not move.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration)
                times[run.run_name.function_name].push_back(run.GetAdjustedRealTime());
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double Time(const std::string& name) const {
        auto it = times.find(name);
        if (it == times.end() || it->second.empty()) return 0.0;
        std::vector<double> sorted = it->second;
        std::sort(sorted.begin(), sorted.end());
        const size_t n = sorted.size();
        return n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
    std::map<std::string, std::vector<double>> times;
};

// Prints "label: R x baseline (target ...)" and answers whether R is within the target.
inline bool PrintRatio(const RecordingReporter& r, const char* label, const std::string& measured,
                       const std::string& baseline, double target) {
    const double a = r.Time(measured), b = r.Time(baseline);
    if (a <= 0 || b <= 0) {
        std::printf("%s: not measured\n", label);
        return false;
    }
    const double ratio = a / b;
    std::printf("%-48s %6.2fx %s (target <= %.2fx) %s\n", label, ratio, baseline.c_str(), target,
                ratio <= target ? "ok" : "MISSED");
    return ratio <= target;
}
