// se-retimer-cli end to end (load, change to 0.83x, save) against cp of the same input
// file and against ffmpeg doing the same job, on a 600-second and a 2-second 44.1 kHz
// stereo 16-bit clip; then the command's peak memory against its input and output.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_common.h"

extern char** environ;

namespace {

std::string folder;

std::string MakeClip(const std::string& name, uint32_t seconds) {
    const std::string path = folder + "/" + name;
    WriteClip(path, seconds * 44100u);
    return path;
}

// Runs a command to its end; answers its peak resident memory in KiB.
long Run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) std::abort();
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "failed: %s\n", args[0].c_str());
        std::abort();
    }
    return usage.ru_maxrss;
}

void Command(benchmark::State& state, std::vector<std::string> args) {
    Run(args);  // warm the page cache and the program's own pages
    for (auto _ : state) Run(args);
}

std::vector<std::string> Cp(const std::string& in) { return {"cp", in, folder + "/cp.wav"}; }
std::vector<std::string> Cli(const std::string& in) {
    return {SE_CLI_PATH, "--force", "--ratio", "0.83", "-o", folder + "/cli.wav", in};
}
std::vector<std::string> Ffmpeg(const std::string& in) {
    return {"ffmpeg",
            "-v",
            "error",
            "-y",
            "-i",
            in,
            "-af",
            "asetrate=" + std::to_string(44100 / 0.83) + ",aresample=44100",
            folder + "/ffmpeg.wav"};
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    char pattern[] = "/tmp/se-bench-XXXXXX";
    folder = mkdtemp(pattern);
    const std::string longClip = MakeClip("long.wav", 600);
    const std::string shortClip = MakeClip("short.wav", 2);

    auto add = [](const char* name, std::vector<std::string> args, int iterations) {
        benchmark::RegisterBenchmark(name, Command, args)
            ->UseRealTime()
            ->Iterations(iterations)
            ->Unit(benchmark::kMillisecond);
    };
    add("cp/600s", Cp(longClip), 5);
    add("cli/600s", Cli(longClip), 5);
    add("ffmpeg/600s", Ffmpeg(longClip), 2);
    add("cp/2s", Cp(shortClip), 50);
    add("cli/2s", Cli(shortClip), 50);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    bool ok =
        PrintRatio(reporter, "se-retimer-cli 600 s clip, against cp", "cli/600s", "cp/600s", 3.0);
    ok = PrintRatio(reporter, "se-retimer-cli 600 s clip, against ffmpeg", "cli/600s",
                    "ffmpeg/600s", 1.0) &&
         ok;
    ok = PrintRatio(reporter, "se-retimer-cli 2 s clip, against cp", "cli/2s", "cp/2s", 1.5) && ok;

    const long peakKiB = Run(Cli(longClip));
    const double input = static_cast<double>(std::filesystem::file_size(longClip));
    const double output = static_cast<double>(std::filesystem::file_size(folder + "/cli.wav"));
    const double extraMiB = (peakKiB * 1024.0 - input - output) / (1024.0 * 1024.0);
    std::printf("%-48s %6.1f MiB over input + output (target <= 16 MiB) %s\n",
                "se-retimer-cli peak memory", extraMiB, extraMiB <= 16 ? "ok" : "MISSED");
    ok = ok && extraMiB <= 16;

    std::filesystem::remove_all(folder);
    benchmark::Shutdown();
    return ok ? 0 : 1;
}
