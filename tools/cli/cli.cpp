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
    "usage: se-retimer-cli --info [--json] IN.wav...\n"
    "       se-retimer-cli TARGET -o OUT.wav IN.wav\n"
    "       se-retimer-cli TARGET --out-dir DIR IN.wav...\n"
    "       se-retimer-cli --list FILE.tsv --out-dir DIR\n"
    "\n"
    "  --info         print each clip's duration, samples, size, rate, bits and channels\n"
    "  --json         with --info: one JSON object per clip, its markers and loops too\n"
    "TARGET, one of:\n"
    "  --ms N         change each clip to N milliseconds\n"
    "  --ratio R      change each clip to R times its duration (rounded to the millisecond)\n"
    "  --frames N     exactly N frames\n"
    "  --fps F --game-frames N\n"
    "                 N frames of a game running at F frames a second: round(N x rate / F)\n"
    "  --bpm B --beats N\n"
    "                 N beats at B beats a minute: round(N x 60 x rate / B) frames\n"
    "  --semitones S  S semitones higher (lower when negative): round(n x 2^(-S/12)) frames\n"
    "\n"
    "  --list FILE    lines of path<TAB>milliseconds; relative paths start at FILE's folder\n"
    "  -o OUT         where the one changed clip goes\n"
    "  --out-dir DIR  where changed clips go, each under its own file name\n"
    "  --no-metadata  write only the samples, without cue points, loops and other metadata\n"
    "  --force        replace output files or symbolic links that already exist\n"
    "  --sync         make each output reach the disk before it gets its name\n"
    "  --wait S       wait at most S seconds for a FIFO's writer (default 30)\n"
    "  --version      print the version\n"
    "  -              as IN: standard input; as OUT: standard output\n"
    "\n"
    "Exit status: 0 every file done, 1 some file failed, 2 usage error.\n";

// What a change aims at: a duration, a multiple of it, or a frame count in some unit.
struct Target {
    enum class EUnit { Ms, Ratio, Frames, GameFrames, Beats, Semitones };
    EUnit unit = EUnit::Ms;
    double value = 0;  // milliseconds, the ratio, frames, game frames, beats or semitones
    double rate = 0;   // game frames or beats a second (a minute for beats)
    std::string text;  // the target as the user gave it, for messages
};

struct Task {
    std::string input;   // as the user named it (host text)
    std::string output;  // empty for --info
    Target target;
};

struct Options {
    bool info = false;
    bool json = false;
    bool force = false;
    bool sync = false;
    bool version = false;
    bool metadata = true;
    int waitMs = 30000;
    std::vector<Target> targets;  // one, once the options make sense
    std::optional<double> fps, gameFrames, bpm, beats;
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

// A finite decimal number (strtod's syntax, without hexadecimal, infinities or NaN).
std::optional<double> ParseNumber(const std::string& text) {
    if (text.empty() || text.find_first_of("xX") != std::string::npos) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<double> ParseRatio(const std::string& text) {
    const std::optional<double> value = ParseNumber(text);
    if (!value || *value <= 0) return std::nullopt;
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
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--no-metadata") {
            o.metadata = false;
        } else if (a == "--ms") {
            const std::string v = value(i);
            const std::optional<uint32_t> ms = ParseMs(v);
            if (!ms)
                throw UsageError{"--ms takes whole milliseconds from 0 to 4294967295, not '" + v +
                                 "'"};
            o.targets.push_back(Target{Target::EUnit::Ms, static_cast<double>(*ms), 0, v + " ms"});
        } else if (a == "--ratio") {
            const std::string v = value(i);
            const std::optional<double> ratio = ParseRatio(v);
            if (!ratio) throw UsageError{"--ratio takes a number above 0, not '" + v + "'"};
            o.targets.push_back(Target{Target::EUnit::Ratio, *ratio, 0, "--ratio " + v});
        } else if (a == "--frames") {
            const std::string v = value(i);
            const std::optional<uint32_t> frames = ParseMs(v);
            if (!frames)
                throw UsageError{"--frames takes a whole number from 0 to 4294967295, not '" + v +
                                 "'"};
            o.targets.push_back(
                Target{Target::EUnit::Frames, static_cast<double>(*frames), 0, v + " frames"});
        } else if (a == "--semitones") {
            const std::string v = value(i);
            const std::optional<double> semitones = ParseNumber(v);
            if (!semitones) throw UsageError{"--semitones takes a number, not '" + v + "'"};
            o.targets.push_back(Target{Target::EUnit::Semitones, *semitones, 0, v + " semitones"});
        } else if (a == "--fps" || a == "--bpm") {
            const std::string v = value(i);
            const std::optional<double> rate = ParseRatio(v);
            if (!rate) throw UsageError{a + " takes a number above 0, not '" + v + "'"};
            (a == "--fps" ? o.fps : o.bpm) = rate;
        } else if (a == "--game-frames" || a == "--beats") {
            const std::string v = value(i);
            const std::optional<double> count = ParseNumber(v);
            if (!count || *count < 0)
                throw UsageError{a + " takes a number from 0, not '" + v + "'"};
            (a == "--beats" ? o.beats : o.gameFrames) = count;
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
    // The paired options make one target each.
    const auto pair = [&](const std::optional<double>& count, const std::optional<double>& rate,
                          const char* countName, const char* rateName, Target::EUnit unit,
                          const char* unitName) {
        if (count.has_value() != rate.has_value()) {
            throw UsageError{std::string(countName) + " and " + rateName + " go together"};
        }
        if (!count) return;
        char text[96];
        std::snprintf(text, sizeof text, "%g %s at %g", *count, unitName, *rate);
        o.targets.push_back(Target{unit, *count, *rate, text});
    };
    pair(o.gameFrames, o.fps, "--game-frames", "--fps", Target::EUnit::GameFrames, "game frames");
    pair(o.beats, o.bpm, "--beats", "--bpm", Target::EUnit::Beats, "beats");
    const size_t changeModes = o.targets.size() + (o.list.empty() ? 0 : 1);
    if (o.json && !o.info) throw UsageError{"--json goes with --info"};
    if (o.info) {
        if (changeModes || !o.out.empty() || !o.outDir.empty() || !o.metadata) {
            throw UsageError{"--info does not go with a change or an output"};
        }
        if (o.inputs.empty()) throw UsageError{"--info needs at least one file"};
        return o;
    }
    if (changeModes == 0) throw UsageError{"say what to do: --info, a target or --list"};
    if (changeModes > 1)
        throw UsageError{
            "give one target: --ms, --ratio, --frames, --fps, --bpm, "
            "--semitones and --list exclude each other"};
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
        task.target =
            Target{Target::EUnit::Ms, static_cast<double>(*ms), 0, std::to_string(*ms) + " ms"};
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

// Reads the headers and the metadata (kept only when keepMetadata, and then what was
// dropped is said as a warning); false after saying why the file was rejected.
bool ReadHeaders(const Task& task, NVireo::NFile::NSTDIO::CBinary& stream, CWaveFile& wave,
                 CSoundClip& clip, CWaveLayout& layout, bool keepMetadata) {
    SE_MARK();
    if (!ReadWaveHeaders(wave, stream, clip, layout)) {
        Fail(task.input, std::string("rejected: ") + wave.rejection);
        return false;
    }
    if (keepMetadata) {
        for (const std::string& dropped : wave.dropped) Fail(task.input, "warning: " + dropped);
    } else {
        clip.chunks.clear();
    }
    return true;
}

// text as a JSON string: quotes, backslashes and control characters escaped, bytes that
// are no UTF-8 replaced by U+FFFD, so that any file name makes valid JSON.
std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c == '"' || c == '\\') {
                out += '\\';
                out += static_cast<char>(c);
            } else if (c < 0x20 || c == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
            ++i;
            continue;
        }
        // A multi-byte sequence: its length from the lead byte, then continuation bytes,
        // no overlong forms, no surrogates, nothing past U+10FFFF.
        const size_t length = c >= 0xC2 && c <= 0xDF   ? 2
                              : c >= 0xE0 && c <= 0xEF ? 3
                              : c >= 0xF0 && c <= 0xF4 ? 4
                                                       : 0;
        bool valid = length != 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k) {
            valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        }
        if (valid && length >= 3) {
            const auto second = static_cast<unsigned char>(text[i + 1]);
            valid = !(c == 0xE0 && second < 0xA0) && !(c == 0xED && second >= 0xA0) &&
                    !(c == 0xF0 && second < 0x90) && !(c == 0xF4 && second >= 0x90);
        }
        if (valid) {
            out.append(text, i, length);
            i += length;
        } else {
            out += "\\ufffd";
            ++i;
        }
    }
    return out + "\"";
}

// A JSON array of the items, each written by item.
template <typename Items, typename Item>
std::string JsonArray(const Items& items, Item item) {
    std::string out = "[";
    for (const auto& each : items) {
        if (out.size() > 1) out += ',';
        out += item(each);
    }
    return out + "]";
}

// One clip as a JSON object on one line.
void PrintJson(const Task& task, const CSoundClip& clip, const CWaveLayout& layout) {
    SE_MARK();
    const uint32_t frameSize =
        ChangeFrameSize(clip) != 0 ? ChangeFrameSize(clip) : clip.nBlockAlign;
    const uint64_t frames = layout.dataBytes / frameSize;
    // Milliseconds with three decimals, rounded to the microsecond.
    const uint64_t micro = (frames * 1000000 + clip.nSamplesPerSec / 2) / clip.nSamplesPerSec;
    char duration[32];
    std::snprintf(duration, sizeof duration, "%llu.%03llu",
                  static_cast<unsigned long long>(micro / 1000),
                  static_cast<unsigned long long>(micro % 1000));
    auto field = [](const char* name, uint64_t value) {
        return std::string(",\"") + name + "\":" + std::to_string(value);
    };
    const std::string json =
        "{\"path\":" + JsonString(task.input) + field("frames", frames) +
        ",\"duration_ms\":" + duration + field("rate", clip.nSamplesPerSec) +
        field("bits", clip.wBitsPerSample) + field("channels", clip.nChannels) +
        field("format_tag", clip.wFormatTag) +
        field("size", SavedFileSize(layout.dataBytes, clip.chunks)) + ",\"chunks\":" +
        JsonArray(clip.chunks,
                  [](const CMetaChunk& chunk) { return JsonString(std::string(chunk.tag, 4)); }) +
        ",\"cue_points\":" +
        JsonArray(CuePoints(clip.chunks),
                  [&](const CCuePoint& cue) {
                      return "{\"id\":" + std::to_string(cue.id) + field("position", cue.position) +
                             (cue.label.empty() ? "" : ",\"label\":" + JsonString(cue.label)) + "}";
                  }) +
        ",\"loops\":" +
        JsonArray(Loops(clip.chunks),
                  [&](const CLoop& loop) {
                      return "{\"cue_point_id\":" + std::to_string(loop.cuePointId) +
                             field("start", loop.start) + field("end", loop.end) + "}";
                  }) +
        "}\n";
    std::fputs(json.c_str(), stdout);
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
    if (!OpenInput(task, o, stream, wave) || !ReadHeaders(task, stream, wave, clip, layout, true)) {
        return false;
    }
    if (o.json) {
        PrintJson(task, clip, layout);
        return true;
    }
    const uint32_t bytesPerSample = clip.wBitsPerSample >> 3;
    std::printf("%s: duration=%u ms samples=%u size=%llu rate=%u bits=%u channels=%u\n",
                task.input.c_str(), static_cast<uint32_t>(DurationMs(clip, layout.dataBytes)),
                bytesPerSample == 0 ? 0u : layout.dataBytes / bytesPerSample,
                static_cast<unsigned long long>(SavedFileSize(layout.dataBytes, clip.chunks)),
                clip.nSamplesPerSec, clip.wBitsPerSample, clip.nChannels);
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

// The frame count a target in frames, game frames, beats or semitones asks of a clip of
// inFrames frames at rate frames a second, before rounding.
double WantedFrames(const Target& target, uint32_t inFrames, uint32_t rate) {
    switch (target.unit) {
        case Target::EUnit::Frames:
            return target.value;
        case Target::EUnit::GameFrames:
            return target.value * rate / target.rate;
        case Target::EUnit::Beats:
            return target.value * 60.0 * rate / target.rate;
        case Target::EUnit::Semitones:
            return inFrames * std::exp2(-target.value / 12.0);
        case Target::EUnit::Ms:
        case Target::EUnit::Ratio:
            break;
    }
    return 0;
}

// The change's plan for the task; false after saying why there is none.
bool Plan(const Task& task, const CSoundClip& clip, const CWaveLayout& layout, CChangePlan& plan) {
    SE_MARK();
    const Target& target = task.target;
    EChangeResult planned = EChangeResult::Failed;
    if (target.unit == Target::EUnit::Ms || target.unit == Target::EUnit::Ratio) {
        // Durations are whole milliseconds, as in the program's dialog.
        const double ms = target.unit == Target::EUnit::Ms
                              ? target.value
                              : std::round(target.value *
                                           static_cast<double>(DurationMs(clip, layout.dataBytes)));
        if (ms <= UINT32_MAX) planned = PlanDuration(clip, layout.dataBytes, ms, plan);
    } else {
        const uint32_t frameSize = ChangeFrameSize(clip);
        const uint32_t inFrames = frameSize == 0 ? 0 : layout.dataBytes / frameSize;
        const double frames = std::round(WantedFrames(target, inFrames, clip.nSamplesPerSec));
        if (frames <= static_cast<double>(kMaxWaveDataBytes)) {
            planned = PlanFrameCount(clip, layout.dataBytes, static_cast<uint64_t>(frames), plan);
        }
    }
    switch (planned) {
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
    Fail(task.input,
         target.text + " would take more samples than a WAV file can hold (4 GiB - 44 bytes)");
    return false;
}

// Writes header and then streams the plan from the input's samples: through views mapped
// from the file a few MiB at a time, which costs no copy, or, where the file cannot be
// mapped, by reading it. readError is the read's errno value, or -1 when the file ends
// too soon.
bool StreamFrom(FILE* in, const CWaveLayout& layout, CTimeChangeJob& job, const CChangePlan& plan,
                const std::vector<uint8_t>& header, const CSampleWriter& write, int& readError) {
    SE_MARK();
    constexpr uint64_t kViewBytes = 8u << 20;
    const uint64_t dataEnd = layout.dataOffset + layout.dataBytes;
    hostfile::CView mapped;
    auto map = [&](uint64_t from, uint64_t count) {
        const uint64_t length = std::min(std::max(kViewBytes, count), dataEnd - from);
        return hostfile::MapView(in, from, static_cast<size_t>(length), mapped);
    };
    const int mapError = layout.dataBytes == 0 ? ENODEV : map(layout.dataOffset, 0);
    if (mapError != 0) {
        auto read = [&](uint8_t* bytes, uint32_t count) {
            if (std::fread(bytes, 1, count, in) == count) return true;
            readError = std::ferror(in) ? (errno != 0 ? errno : EIO) : -1;
            return false;
        };
        return StreamChange(job, plan, read, write, header);
    }
    auto view = [&](uint64_t at, uint32_t count) -> const uint8_t* {
        const uint64_t from = layout.dataOffset + at;
        if (from + count > dataEnd) {
            readError = -1;
            return nullptr;
        }
        if (from < mapped.offset || from + count > mapped.offset + mapped.length) {
            if (const int error = map(from, count)) {
                readError = error;
                return nullptr;
            }
        }
        return mapped.data + (from - mapped.offset);
    };
    const bool ok = StreamChange(job, plan, view, write, header);
    hostfile::UnmapView(mapped);
    return ok;
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
    if (!OpenInput(task, o, stream, wave) ||
        !ReadHeaders(task, stream, wave, clip, layout, o.metadata) ||
        !Plan(task, clip, layout, plan)) {
        return false;
    }
    RescaleMetadata(clip.chunks, plan.inFrames, plan.outFrames);
    const std::vector<uint8_t> trailer = WaveTrailer(plan.outBytes, clip.chunks);
    if (!FitsWaveFile(plan.outBytes, trailer.size())) {
        Fail(task.input,
             "the result and its metadata would take more than a WAV file can hold "
             "(4 GiB - 44 bytes)");
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
    auto write = [&](const uint8_t* bytes, uint32_t count) {
        if (std::fwrite(bytes, 1, count, file.file) == count) return true;
        writeError = errno != 0 ? errno : EIO;
        return false;
    };
    const std::vector<uint8_t> header =
        WaveHeader(clip, static_cast<uint32_t>(plan.outBytes), trailer.size());
    CTimeChangeJob job;
    bool ok = WithProgress(job, task.input,
                           [&] {
                               return StreamFrom(stream.stream, layout, job, plan, header, write,
                                                 readError);
                           }) &&
              (trailer.empty() || write(trailer.data(), static_cast<uint32_t>(trailer.size())));
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
                if (!o.info) task.target = o.targets.front();
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
