// se-retimer-cli: the duration change as a batch tool. It loads each clip, changes it
// exactly as the window does (the same ChangeDuration on a whole number of
// milliseconds) and saves it with the same atomic writer.
#include "tools/cli/cli.h"

#include <hostpath.h>
#include <io.h>
#include <windows.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "framework/error/error.h"
#include "framework/error/trace.h"
#include "framework/platform/file.h"
#include "sound/clip.h"
#include "sound/wavefile.h"

namespace {

const char kUsage[] =
    "usage: se-retimer-cli --info IN.wav...\n"
    "       se-retimer-cli (--ms N | --ratio R) -o OUT.wav IN.wav\n"
    "       se-retimer-cli (--ms N | --ratio R) --out-dir DIR IN.wav...\n"
    "       se-retimer-cli --list FILE.tsv --out-dir DIR\n"
    "\n"
    "  --info         print each clip's duration, samples, size, rate, bits and channels\n"
    "  --ms N         change each clip to N milliseconds\n"
    "  --ratio R      change each clip to R times its duration (rounded to the millisecond)\n"
    "  --list FILE    lines of path<TAB>milliseconds; relative paths start at FILE's folder\n"
    "  -o OUT         where the one changed clip goes\n"
    "  --out-dir DIR  where changed clips go, each under its own file name\n"
    "  --force        replace output files that already exist\n"
    "\n"
    "Exit status: 0 every file done, 1 some file failed, 2 usage error.\n";

struct Task {
    std::string input;   // as the user named it (host text)
    std::string output;  // empty for --info
    std::optional<uint32_t> ms;
    std::optional<double> ratio;
};

struct Options {
    bool info = false;
    bool force = false;
    std::optional<uint32_t> ms;
    std::optional<double> ratio;
    std::string out, outDir, list;
    std::vector<std::string> inputs;
};

struct UsageError {
    std::string text;
};

std::optional<uint32_t> ParseMs(const std::string& text) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > UINT32_MAX) return std::nullopt;
    return static_cast<uint32_t>(value);
}

std::optional<double> ParseRatio(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value) || value <= 0) return std::nullopt;
    return value;
}

Options ParseOptions(int argc, char** argv) {
    SE_MARK();
    Options o;
    auto value = [&](int& i) -> std::string {
        if (i + 1 >= argc) throw UsageError{std::string(argv[i]) + " needs a value"};
        return argv[++i];
    };
    bool onlyInputs = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (onlyInputs || a.empty() || a[0] != '-' || a == "-") {
            o.inputs.push_back(a);
        } else if (a == "--") {
            onlyInputs = true;
        } else if (a == "--help" || a == "-h") {
            throw UsageError{};
        } else if (a == "--info") {
            o.info = true;
        } else if (a == "--force") {
            o.force = true;
        } else if (a == "--ms") {
            const std::string v = value(i);
            o.ms = ParseMs(v);
            if (!o.ms)
                throw UsageError{"--ms takes whole milliseconds from 0 to 4294967295, not '" + v +
                                 "'"};
        } else if (a == "--ratio") {
            const std::string v = value(i);
            o.ratio = ParseRatio(v);
            if (!o.ratio) throw UsageError{"--ratio takes a number above 0, not '" + v + "'"};
        } else if (a == "-o" || a == "--output") {
            o.out = value(i);
        } else if (a == "--out-dir") {
            o.outDir = value(i);
        } else if (a == "--list") {
            o.list = value(i);
        } else {
            throw UsageError{"unknown option " + a};
        }
    }
    const int changeModes = (o.ms ? 1 : 0) + (o.ratio ? 1 : 0) + (o.list.empty() ? 0 : 1);
    if (o.info) {
        if (changeModes || !o.out.empty() || !o.outDir.empty()) {
            throw UsageError{"--info does not go with a change or an output"};
        }
        if (o.inputs.empty()) throw UsageError{"--info needs at least one file"};
        return o;
    }
    if (changeModes == 0) throw UsageError{"say what to do: --info, --ms, --ratio or --list"};
    if (changeModes > 1) throw UsageError{"--ms, --ratio and --list exclude each other"};
    if (!o.out.empty() && !o.outDir.empty())
        throw UsageError{"-o and --out-dir exclude each other"};
    if (o.out.empty() && o.outDir.empty())
        throw UsageError{"say where the result goes: -o or --out-dir"};
    if (!o.list.empty()) {
        if (o.outDir.empty()) throw UsageError{"--list writes into --out-dir"};
        if (!o.inputs.empty()) throw UsageError{"--list takes its files from the list only"};
        return o;
    }
    if (o.inputs.empty()) throw UsageError{"no input file"};
    if (!o.out.empty() && o.inputs.size() != 1)
        throw UsageError{"-o takes exactly one input; use --out-dir"};
    return o;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || name.empty() || name[0] == '/') return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// Reads "path<TAB>milliseconds" lines; blank lines and lines starting with '#' are skipped.
std::vector<Task> ReadList(const Options& o) {
    SE_MARK();
    std::ifstream in(o.list, std::ios::binary);
    if (!in) throw UsageError{o.list + ": cannot be read"};
    const size_t slash = o.list.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : o.list.substr(0, slash + 1);
    std::vector<Task> tasks;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') continue;
        const size_t tab = line.rfind('\t');
        const std::optional<uint32_t> ms =
            tab == std::string::npos ? std::nullopt : ParseMs(line.substr(tab + 1));
        if (tab == 0 || !ms) {
            throw UsageError{o.list + ":" + std::to_string(number) +
                             ": expected path<TAB>milliseconds"};
        }
        Task task;
        task.input = JoinPath(folder, line.substr(0, tab));
        task.ms = ms;
        tasks.push_back(task);
    }
    if (tasks.empty()) throw UsageError{o.list + ": no files listed"};
    return tasks;
}

void Fail(const std::string& input, const std::string& why) {
    std::fprintf(stderr, "%s: %s\n", input.c_str(), why.c_str());
}

std::string LastErrorText() {
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   GetLastError(), 1024, text, sizeof text, nullptr);
    std::string s = text;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

bool Load(const Task& task, CSoundClip& clip) {
    SE_MARK();
    const std::string path = HostToProgramPath(task.input);
    SetLastError(ERROR_SUCCESS);
    CWaveFile wave;
    if (LoadFromFile(wave, path.c_str(), clip)) return true;
    if (GetLastError() != ERROR_SUCCESS) {
        Fail(task.input, "cannot be read: " + LastErrorText());
    } else {
        Fail(task.input, std::string("rejected: ") + wave.rejection);
    }
    return false;
}

// Runs the change on a worker so that a terminal can watch its progress.
EChangeResult ChangeWithProgress(CTimeChangeJob& job, uint32_t ms, CSoundClip& clip,
                                 const std::string& name) {
    SE_MARK();
    if (!_isatty(_fileno(stderr))) return ChangeDuration(job, ms, clip);
    EChangeResult result = EChangeResult::Done;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        result = ChangeDuration(job, ms, clip);
        NVireo::NError::ReleaseThread(GetCurrentThreadId());  // its trace slot is free again
        done = true;
    });
    const auto start = std::chrono::steady_clock::now();
    bool shown = false;
    while (!done) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const uint32_t total = job.outFrames.load();
        if (done || total == 0 ||
            std::chrono::steady_clock::now() - start < std::chrono::milliseconds(500)) {
            continue;
        }
        const uint32_t progress = job.progress.load();
        std::fprintf(stderr, "\r%s: %u/%u frames (%u%%)", name.c_str(), progress, total,
                     static_cast<unsigned>(static_cast<uint64_t>(progress) * 100 / total));
        shown = true;
    }
    worker.join();
    if (shown) std::fprintf(stderr, "\r\033[K");
    return result;
}

bool Info(const Task& task) {
    SE_MARK();
    CSoundClip clip;
    if (!Load(task, clip)) return false;
    std::printf("%s: duration=%u ms samples=%u size=%llu rate=%u bits=%u channels=%u\n",
                task.input.c_str(), static_cast<uint32_t>(GetDurationMs(clip)), SampleCount(clip),
                static_cast<unsigned long long>(SavedFileSize(clip)), clip.nSamplesPerSec,
                clip.wBitsPerSample, clip.nChannels);
    return true;
}

bool Change(const Task& task, bool force) {
    SE_MARK();
    const std::string output = HostToProgramPath(task.output);
    if (!force && NVireo::NFile::Exists(output.c_str())) {
        Fail(task.input, task.output + " exists; --force replaces it");
        return false;
    }
    CSoundClip clip;
    if (!Load(task, clip)) return false;
    uint32_t ms = 0;
    if (task.ms) {
        ms = *task.ms;
    } else {
        const double wanted = std::round(*task.ratio * static_cast<double>(GetDurationMs(clip)));
        if (wanted > UINT32_MAX) {
            Fail(task.input, "the requested duration is longer than 4294967295 ms");
            return false;
        }
        ms = static_cast<uint32_t>(wanted);
    }
    CTimeChangeJob job;
    switch (ChangeWithProgress(job, ms, clip, task.input)) {
        case EChangeResult::Done:
            break;
        case EChangeResult::Unsupported:
            Fail(task.input, "its sample format (tag " + std::to_string(clip.wFormatTag) + ", " +
                                 std::to_string(clip.nChannels) + " channels, " +
                                 std::to_string(clip.wBitsPerSample) + " bits, block " +
                                 std::to_string(clip.nBlockAlign) + ") cannot be changed");
            return false;
        case EChangeResult::Aborted:
        case EChangeResult::Failed:
            Fail(task.input, "the change failed");
            return false;
    }
    SetLastError(ERROR_SUCCESS);
    CWaveFile wave;
    if (!SaveToFile(wave, output.c_str(), clip)) {
        const std::string why = GetLastError() != ERROR_SUCCESS ? ": " + LastErrorText() : "";
        Fail(task.input, task.output + " could not be written" + why);
        return false;
    }
    return true;
}

int Run(int argc, char** argv) {
    SE_MARK();
    Options o;
    std::vector<Task> tasks;
    try {
        o = ParseOptions(argc, argv);
        if (!o.list.empty()) {
            tasks = ReadList(o);
        } else {
            for (const std::string& input : o.inputs) {
                Task task;
                task.input = input;
                task.ms = o.ms;
                task.ratio = o.ratio;
                tasks.push_back(task);
            }
        }
    } catch (const UsageError& e) {
        if (e.text.empty()) {  // asked for help
            std::fputs(kUsage, stdout);
            return 0;
        }
        std::fprintf(stderr, "se-retimer-cli: %s\n\n%s", e.text.c_str(), kUsage);
        return 2;
    }
    if (!o.info) {
        const DWORD attributes = o.outDir.empty()
                                     ? FILE_ATTRIBUTE_DIRECTORY
                                     : GetFileAttributesA(HostToProgramPath(o.outDir).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            std::fprintf(stderr, "%s: not a folder\n", o.outDir.c_str());
            return 1;
        }
        for (Task& task : tasks)
            task.output = o.out.empty() ? JoinPath(o.outDir, BaseName(task.input)) : o.out;
    }

    bool allDone = true;
    std::set<std::string> written;
    for (const Task& task : tasks) {
        bool done = false;
        try {
            if (o.info) {
                done = Info(task);
            } else if (!written.insert(task.output).second) {
                Fail(task.input, task.output + " is already the output of an earlier file");
            } else {
                done = Change(task, o.force);
            }
        } catch (const NVireo::NError::CObject&) {
            Fail(task.input, NVireo::NError::ErrorText());
            NVireo::NError::Clear();
        }
        allDone = allDone && done;
    }
    return allDone ? 0 : 1;
}

}  // namespace

int RunCli(int argc, char** argv) {
    SE_MARK();
    // Failures of the file layer end one file with a message, not the whole batch.
    NVireo::NError::Record().policy = 1;
    return Run(argc, argv);
}
