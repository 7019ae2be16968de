// Shared pieces of the benchmarks: a reporter that keeps every run's time, so that a
// program can print the ratios it is judged by after Google Benchmark's own table.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

class RecordingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration)
                times[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double Time(const std::string& name) const {
        auto it = times.find(name);
        return it == times.end() ? 0.0 : it->second;
    }
    std::map<std::string, double> times;
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
