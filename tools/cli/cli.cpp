// se-retimer-cli: the duration change as a batch tool. It reads each clip's headers,
// plans the change exactly as the window does (the same plan on a whole number of
// milliseconds) and streams the samples through it in bounded blocks into an unnamed
// file that gets its name only when complete, never over anything without --force.
#include "tools/cli/cli.h"

#include <hostfile.h>
#include <hostpath.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
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

const char kVersion[] = "se-retimer-cli 1.00.1\n";

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
    "  --force        replace output files or symbolic links that already exist\n"
    "  --sync         make each output reach the disk before it gets its name\n"
    "  --wait S       wait at most S seconds for a FIFO's writer (default 30)\n"
    "  --version      print the version\n"
    "  -              as IN: standard input; as OUT: standard output\n"
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
    bool sync = false;
    bool version = false;
    int waitMs = 30000;
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
        } else if (a == "--sync") {
            o.sync = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (a == "--wait") {
            const std::string v = value(i);
            const std::optional<uint32_t> seconds = ParseMs(v);
            if (!seconds || *seconds > 86400) {
                throw UsageError{"--wait takes whole seconds from 0 to 86400, not '" + v + "'"};
            }
            o.waitMs = static_cast<int>(*seconds * 1000);
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
    if (o.version) return o;
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

// Reads "path<TAB>milliseconds" lines; blank lines and lines starting with '#' are
// skipped, a UTF-8 byte-order mark before the first line too. A line over 64 KiB is no
// list line (and /dev/zero no list).
std::vector<Task> ReadList(const Options& o) {
    SE_MARK();
    constexpr size_t kLongestLine = 64 * 1024;
    std::ifstream in(o.list, std::ios::binary);
    if (!in) throw UsageError{o.list + ": cannot be read: " + hostfile::Reason(errno)};
    const size_t slash = o.list.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : o.list.substr(0, slash + 1);
    std::vector<Task> tasks;
    std::string line;
    int number = 1;
    auto take = [&] {
        if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') return;
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
    };
    for (std::istreambuf_iterator<char> c(in), end; c != end; ++c) {
        if (*c != '\n') {
            if (line.size() >= kLongestLine) {
                throw UsageError{o.list + ":" + std::to_string(number) +
                                 ": line longer than 64 KiB"};
            }
            line += *c;
            continue;
        }
        take();
        line.clear();
        ++number;
    }
    if (in.bad()) throw UsageError{o.list + ": cannot be read: " + hostfile::Reason(errno)};
    if (!line.empty()) take();
    if (tasks.empty()) throw UsageError{o.list + ": no files listed"};
    return tasks;
}

void Fail(const std::string& input, const std::string& why) {
    std::fprintf(stderr, "%s: %s\n", input.c_str(), why.c_str());
}

// An input opened for reading: standard input for "-", FIFOs waited on, and anything
// that cannot seek first copied to an unnamed temporary file, so that the headers can
// be read around the samples. Answers false after saying why.
bool OpenInput(const Task& task, const Options& o, NVireo::NFile::NSTDIO::CBinary& stream,
               CWaveFile& wave) {
    SE_MARK();
    FILE* file = stdin;
    if (task.input != "-") {
        auto waiting = [](void* context) {
            const Task& t = *static_cast<const Task*>(context);
            std::fprintf(stderr, "%s: waiting for something to write to the FIFO\n",
                         t.input.c_str());
        };
        const int error = hostfile::OpenInput(HostToProgramPath(task.input).c_str(), o.waitMs,
                                              waiting, const_cast<Task*>(&task), file);
        if (error == ETIMEDOUT) {
            Fail(task.input, "cannot be read: nothing wrote to the FIFO within " +
                                 std::to_string(o.waitMs / 1000) + " s");
            return false;
        }
        if (error != 0) {
            Fail(task.input, "cannot be read: " + hostfile::Reason(error));
            return false;
        }
    }
    if (!hostfile::IsSeekable(file)) {
        FILE* copy = std::tmpfile();
        std::vector<uint8_t> block(kStreamBytes);
        int error = copy == nullptr ? errno : 0;
        while (error == 0) {
            const size_t got = std::fread(block.data(), 1, block.size(), file);
            if (got != 0 && std::fwrite(block.data(), 1, got, copy) != got) error = errno;
            if (got < block.size()) {
                if (std::ferror(file)) error = errno != 0 ? errno : EIO;
                break;
            }
        }
        if (file != stdin) std::fclose(file);
        if (error == 0 && std::fseek(copy, 0, SEEK_SET) != 0) error = errno;
        if (error != 0) {
            if (copy != nullptr) std::fclose(copy);
            Fail(task.input, "cannot be read: " + hostfile::Reason(error));
            return false;
        }
        file = copy;
        wave.fromPipe = true;
    }
    stream.Adopt(file, NVireo::NFile::NSTDIO::kModeBinary);
    return true;
}

bool ReadHeaders(const Task& task, NVireo::NFile::NSTDIO::CBinary& stream, CWaveFile& wave,
                 CSoundClip& clip, CWaveLayout& layout) {
    SE_MARK();
    if (ReadWaveHeaders(wave, stream, clip, layout)) return true;
    Fail(task.input, std::string("rejected: ") + wave.rejection);
    return false;
}

// Runs work on a worker while a terminal watches the job's progress.
template <typename Work>
auto WithProgress(const CTimeChangeJob& job, const std::string& name, Work work) {
    SE_MARK();
    if (!_isatty(_fileno(stderr))) return work();
    decltype(work()) result{};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        result = work();
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

bool Info(const Task& task, const Options& o) {
    SE_MARK();
    NVireo::NFile::NSTDIO::CBinary stream;
    CSoundClip clip;
    CWaveLayout layout;
    CWaveFile wave;
    if (!OpenInput(task, o, stream, wave) || !ReadHeaders(task, stream, wave, clip, layout)) {
        return false;
    }
    const uint32_t bytesPerSample = clip.wBitsPerSample >> 3;
    std::printf("%s: duration=%u ms samples=%u size=%llu rate=%u bits=%u channels=%u\n",
                task.input.c_str(), static_cast<uint32_t>(DurationMs(clip, layout.dataBytes)),
                bytesPerSample == 0 ? 0u : layout.dataBytes / bytesPerSample,
                static_cast<unsigned long long>(layout.dataBytes) + 44, clip.nSamplesPerSec,
                clip.wBitsPerSample, clip.nChannels);
    return true;
}

// Whatever stands at the output may stay there: nothing without --force, and with it
// only a file or a symbolic link is replaced.
bool OutputAllowed(const Task& task, bool force) {
    SE_MARK();
    hostfile::EKind kind = hostfile::EKind::Missing;
    if (const int error = hostfile::KindAt(HostToProgramPath(task.output).c_str(), kind)) {
        Fail(task.input, task.output + ": " + hostfile::Reason(error));
        return false;
    }
    if (kind == hostfile::EKind::Missing) return true;
    if (!force) {
        Fail(task.input, task.output + " exists (use --force)");
        return false;
    }
    if (kind == hostfile::EKind::Regular || kind == hostfile::EKind::Link) return true;
    Fail(task.input, task.output + " is " + hostfile::KindName(kind) +
                         "; --force replaces only files and symbolic links");
    return false;
}

// The change's plan for the task; false after saying why there is none.
bool Plan(const Task& task, const CSoundClip& clip, const CWaveLayout& layout, CChangePlan& plan) {
    SE_MARK();
    uint32_t ms = 0;
    if (task.ms) {
        ms = *task.ms;
    } else {
        const double wanted =
            std::round(*task.ratio * static_cast<double>(DurationMs(clip, layout.dataBytes)));
        if (wanted > UINT32_MAX) {
            Fail(task.input, "the requested duration is longer than 4294967295 ms");
            return false;
        }
        ms = static_cast<uint32_t>(wanted);
    }
    switch (PlanDuration(clip, layout.dataBytes, ms, plan)) {
        case EChangeResult::Done:
            return true;
        case EChangeResult::Unsupported:
            Fail(task.input, "its sample format (tag " + std::to_string(clip.wFormatTag) + ", " +
                                 std::to_string(clip.nChannels) + " channels, " +
                                 std::to_string(clip.wBitsPerSample) + " bits, block " +
                                 std::to_string(clip.nBlockAlign) + ") cannot be changed");
            return false;
        case EChangeResult::Aborted:
        case EChangeResult::Failed:
        case EChangeResult::NoMemory:  // a plan allocates nothing
            break;
    }
    Fail(task.input, std::to_string(ms) +
                         " ms would take more samples than a WAV file can hold (4 GiB - 44 bytes)");
    return false;
}

bool Change(const Task& task, const Options& o) {
    SE_MARK();
    const bool toStdout = task.output == "-";
    if (!toStdout && !OutputAllowed(task, o.force)) return false;
    NVireo::NFile::NSTDIO::CBinary stream;
    CSoundClip clip;
    CWaveLayout layout;
    CChangePlan plan;
    CWaveFile wave;
    if (!OpenInput(task, o, stream, wave) || !ReadHeaders(task, stream, wave, clip, layout) ||
        !Plan(task, clip, layout, plan)) {
        return false;
    }

    const std::string output = HostToProgramPath(task.output);
    hostfile::COutput file;
    if (toStdout) {
        // Unbuffered: what could not be written is never tried again at exit.
        std::setvbuf(stdout, nullptr, _IONBF, 0);
        file.file = stdout;
    } else if (const int error = hostfile::CreateOutput(output.c_str(), file)) {
        Fail(task.input, task.output + " cannot be written: " + hostfile::Reason(error));
        return false;
    }
    // Each step records the first failure: reading the input or writing the output.
    int readError = 0, writeError = 0;
    FILE* in = stream.stream;
    auto write = [&](const uint8_t* bytes, uint32_t count) {
        if (std::fwrite(bytes, 1, count, file.file) == count) return true;
        writeError = errno != 0 ? errno : EIO;
        return false;
    };
    auto read = [&](uint8_t* bytes, uint32_t count) {
        if (std::fread(bytes, 1, count, in) == count) return true;
        readError = std::ferror(in) ? (errno != 0 ? errno : EIO) : -1;
        return false;
    };
    const std::vector<uint8_t> header = WaveHeader(clip, static_cast<uint32_t>(plan.outBytes));
    CTimeChangeJob job;
    bool ok = write(header.data(), static_cast<uint32_t>(header.size())) &&
              WithProgress(job, task.input, [&] { return StreamChange(job, plan, read, write); });
    if (ok && toStdout) {
        ok = std::fflush(stdout) == 0;
        if (!ok) writeError = errno;
    }
    if (!ok) {
        if (toStdout) {
            std::clearerr(stdout);  // reported here, not again at exit
        } else {
            hostfile::DiscardOutput(file);
        }
        if (readError == -1) {
            Fail(task.input, "rejected: file ends inside the data chunk");
        } else if (readError != 0) {
            Fail(task.input, "cannot be read: " + hostfile::Reason(readError));
        } else {
            Fail(task.input,
                 task.output + " could not be written: " + hostfile::Reason(writeError));
        }
        return false;
    }
    if (toStdout) return true;
    // Tests create a file at the output here, as another program might during the run.
    if (const char* hook = std::getenv("SE_CLI_TEST_CREATE_BEFORE_LINK")) {
        if (FILE* f = std::fopen(hook, "wb")) std::fclose(f);
    }
    if (const int error = hostfile::PublishOutput(file, output.c_str(), o.force, o.sync)) {
        if (error == EEXIST && !o.force) {
            Fail(task.input, task.output + " exists (use --force)");
        } else {
            Fail(task.input, task.output + " could not be written: " + hostfile::Reason(error));
        }
        return false;
    }
    return true;
}

// Standard output must have taken everything printed: a failed write is a failure.
int FinishOutput(int status) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
    std::fprintf(stderr, "se-retimer-cli: standard output could not be written: %s\n",
                 hostfile::Reason(errno != 0 ? errno : EIO).c_str());
    return 1;
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
            return FinishOutput(0);
        }
        std::fprintf(stderr, "se-retimer-cli: %s\n\n%s", e.text.c_str(), kUsage);
        return 2;
    }
    if (o.version) {
        std::fputs(kVersion, stdout);
        return FinishOutput(0);
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
                done = Info(task, o);
            } else if (!written.insert(task.output).second) {
                Fail(task.input, task.output + " is already the output of an earlier file");
            } else {
                done = Change(task, o);
            }
        } catch (const NVireo::NError::CObject&) {
            Fail(task.input, NVireo::NError::ErrorText());
            NVireo::NError::Clear();
        }
        allDone = allDone && done;
    }
    return FinishOutput(allDone ? 0 : 1);
}

}  // namespace

int RunCli(int argc, char** argv) {
    SE_MARK();
    // Failures of the file layer end one file with a message, not the whole batch.
    NVireo::NError::Record().policy = 1;
    return Run(argc, argv);
}
