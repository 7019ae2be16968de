// The command-line retimer, run as a user runs it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <hostfile.h>
#include <hostpath.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <fstream>
#include <string>
#include <thread>

#include "sound/clip.h"
#include "sound/wavefile.h"
#include "support/child_process.h"
#include "support/test_support.h"
#include "support/wav_bytes.h"

extern char** environ;

namespace {

using namespace wavbytes;

Result Cli(const std::string& arguments) { return RunProgram(SE_CLI_PATH, arguments); }

Format Mono16() {
    Format f;
    f.channels = 1;
    f.bits = 16;
    f.rate = 1000;
    return f;
}

// The clip the window would make: load, ChangeDuration on the milliseconds, save.
Bytes ChangedInProcess(const TempFolder& folder, const std::string& input, uint32_t ms) {
    CWaveFile wave;
    CSoundClip clip;
    EXPECT_TRUE(LoadFromFile(wave, HostToProgramPath(input).c_str(), clip));
    CTimeChangeJob job;
    EXPECT_EQ(ChangeDuration(job, ms, clip), EChangeResult::Done);
    const std::string out = folder / "expected.wav";
    EXPECT_TRUE(SaveToFile(wave, HostToProgramPath(out).c_str(), clip));
    return ReadFile(out);
}

// Starts the command-line retimer without waiting for it; environment adds variables.
pid_t StartCli(const std::vector<std::string>& arguments, const std::string& environment = {}) {
    std::vector<std::string> args{SE_CLI_PATH};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
    if (!environment.empty()) env.push_back(environment);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    posix_spawn(&pid, SE_CLI_PATH, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits for a started run; answers its exit status (128 + the signal that ended it) and
// its peak memory in KiB.
std::pair<int, long> Wait(pid_t pid) {
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return {code, usage.ru_maxrss};
}

// The bytes a running process has written so far (0 when it cannot be told).
uint64_t BytesWritten(pid_t pid) {
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    std::string key;
    uint64_t value = 0;
    while (io >> key >> value) {
        if (key == "wchar:") return value;
    }
    return 0;
}

TEST(Cli, UsageErrorsExitWithTwo) {
    for (const char* args : {"",
                             "--ms",
                             "--ms abc in.wav -o o.wav",
                             "--ms -5 -o o.wav in.wav",
                             "--ratio 0 -o o.wav in.wav",
                             "--ms 5 -o o.wav a.wav b.wav",
                             "--info --ms 5 a.wav",
                             "--ms 5 a.wav",
                             "--bogus a.wav",
                             "--ms 5 --ratio 2 -o o.wav a.wav",
                             "--ms 4294967296 -o o.wav a.wav",
                             "--list l.tsv -o o.wav",
                             "--fps 60 -o o.wav a.wav",
                             "--beats 2 -o o.wav a.wav",
                             "--bpm 0 --beats 1 -o o.wav a.wav",
                             "--frames 5 --ms 5 -o o.wav a.wav",
                             "--frames -1 -o o.wav a.wav",
                             "--semitones 0x3 -o o.wav a.wav",
                             "--fps 30 --game-frames nan -o o.wav a.wav",
                             "--json a.wav",
                             "--info --no-metadata a.wav"}) {
        const Result r = Cli(args);
        EXPECT_EQ(r.status, 2) << args << "\n" << r.out;
        EXPECT_NE(r.out.find("usage:"), std::string::npos) << args;
    }
    const Result version = Cli("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "se-retimer-cli 1.00.1\n");
    const Result help = Cli("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage:", 0), 0u) << help.out;
}

TEST(Cli, InfoShowsTheFiguresOfTheWorkspacePanel) {
    TempFolder folder;
    WriteFile(folder / "a.wav", Canonical(Mono16(), Samples(1000)));
    Format stereo;
    WriteFile(folder / "b.wav", Canonical(stereo, Samples(88200)));
    const Result r = Cli("--info " + Quote(folder / "a.wav") + " " + Quote(folder / "b.wav"));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out,
              folder / "a.wav" +
                  ": duration=500 ms samples=500 size=1044 rate=1000 bits=16 channels=1\n" +
                  folder / "b.wav" +
                  ": duration=500 ms samples=44100 size=88244 rate=44100 bits=16 channels=2\n");
}

// A 100 ms stereo clip with cue points, loops, a tempo and labelled regions.
Bytes ClipWithMarkers() {
    return Riff({Chunk("fmt ", FmtBody(Format{})), Chunk("data", Samples(4 * 4410)),
                 Chunk("cue ", CueBody({{1, 0}, {2, 2205}, {3, 4409}})),
                 Chunk("smpl", SamplerBody({{0, 4409}, {1000, 1003}})),
                 Chunk("acid", AcidBody(96.0f)),
                 Chunk("LIST", ListBody("adtl", {LabelEntry(2, "hit"), RegionEntry(2, 441)}))});
}

TEST(Cli, ChangesExactlyAsTheWindowDoes) {
    TempFolder folder;
    const std::string input = folder / "in.wav";
    WriteFile(input, ClipWithMarkers());  // the markers move as in the window too
    for (const uint32_t ms : {30u, 100u, 170u, 0u}) {
        const std::string out = folder / ("out" + std::to_string(ms) + ".wav");
        const Result r =
            Cli("--ms " + std::to_string(ms) + " -o " + Quote(out) + " " + Quote(input));
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(ReadFile(out), ChangedInProcess(folder, input, ms)) << ms;
    }
    // --ratio asks for a multiple of the input's duration.
    const Result r = Cli("--ratio 1.5 -o " + Quote(folder / "x.wav") + " " + Quote(input));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(ReadFile(folder / "x.wav"), ChangedInProcess(folder, input, 150));

    // The CLI streams in blocks of 1 MiB: clips over several blocks, in frames of 1 to 6
    // bytes and one with a partial last frame, shortened a little and a lot, lengthened a
    // little and a lot, and emptied, give the bytes of the change in memory. A clip over
    // the 8 MiB of input the CLI sees at once is shortened only.
    struct Case {
        Format format;
        size_t bytes;
    };
    Format mono8, stereo24;
    mono8.channels = 1;
    mono8.bits = 8;
    stereo24.bits = 24;
    for (const Case& c : {Case{Format{}, 4 * 44100 * 8}, Case{mono8, 3 * 1024 * 1024 + 1},
                          Case{stereo24, 6 * 48000 * 4}, Case{Format{}, 17 * 1024 * 1024 + 8}}) {
        WriteFile(input, Canonical(c.format, Samples(c.bytes)));
        CWaveFile wave;
        CSoundClip clip;
        ASSERT_TRUE(LoadFromFile(wave, HostToProgramPath(input).c_str(), clip));
        const uint64_t duration = GetDurationMs(clip);
        std::vector<uint64_t> targets = {duration * 9 / 10, duration / 50};
        if (c.bytes < 8 * 1024 * 1024) {
            targets.insert(targets.end(),
                           {duration + 7, duration * 10, duration, uint64_t{0}, uint64_t{1}});
        }
        for (const uint64_t ms : targets) {
            SCOPED_TRACE(std::to_string(c.bytes) + " bytes to " + std::to_string(ms) + " ms");
            const std::string out = folder / "streamed.wav";
            const Result changed = Cli("--force --ms " + std::to_string(ms) + " -o " + Quote(out) +
                                       " " + Quote(input));
            ASSERT_EQ(changed.status, 0) << changed.out;
            EXPECT_TRUE(ReadFile(out) ==
                        ChangedInProcess(folder, input, static_cast<uint32_t>(ms)));
        }
    }
}

TEST(Cli, ExactTargetsGiveTheFramesOfTheirFormulas) {
    // Each unit against its formula, on clips of n = 44100 frames at 44100 Hz and of
    // n = 12345 frames at 48000 Hz.
    TempFolder folder;
    Format mono48;
    mono48.channels = 1;
    mono48.rate = 48000;
    struct Clip {
        Format format;
        uint32_t frames;
    };
    for (const Clip& clip : {Clip{Format{}, 44100}, Clip{mono48, 12345}}) {
        const uint32_t frameSize = clip.format.channels * 2;
        const double n = clip.frames, rate = clip.format.rate;
        WriteFile(folder / "in.wav", Riff({Chunk("fmt ", FmtBody(clip.format)),
                                           Chunk("data", Samples(clip.frames * frameSize)),
                                           Chunk("cue ", CueBody({{1, clip.frames - 1}}))}));
        struct Case {
            std::string options;
            double frames;
        };
        const Case cases[] = {
            {"--frames 0", 0},
            {"--frames 1", 1},
            {"--frames 33333", 33333},
            {"--frames " + std::to_string(clip.frames), n},
            {"--fps 60 --game-frames 45", std::round(45 * rate / 60)},
            {"--fps 29.97 --game-frames 7", std::round(7 * rate / 29.97)},
            {"--game-frames 0.5 --fps 144", std::round(0.5 * rate / 144)},
            {"--bpm 120 --beats 1", std::round(1 * 60 * rate / 120)},
            {"--bpm 97 --beats 3.5", std::round(3.5 * 60 * rate / 97)},
            {"--semitones 12", std::round(n * std::exp2(-12 / 12.0))},
            {"--semitones -7", std::round(n * std::exp2(7 / 12.0))},
            {"--semitones 0.5", std::round(n * std::exp2(-0.5 / 12.0))},
            {"--semitones 0", n},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.options + " on " + std::to_string(clip.frames) + " frames");
            const Result r = Cli("--force " + c.options + " -o " + Quote(folder / "out.wav") + " " +
                                 Quote(folder / "in.wav"));
            ASSERT_EQ(r.status, 0) << r.out;
            CWaveFile wave;
            CSoundClip out;
            ASSERT_TRUE(LoadFromFile(wave, folder.ProgramPath("out.wav").c_str(), out));
            EXPECT_EQ(out.data.length, static_cast<uint32_t>(c.frames) * frameSize);
            // The cue point on the last frame moves to floor((n - 1) x m / n), at most m - 1.
            const uint64_t m = static_cast<uint64_t>(c.frames);
            const std::vector<CCuePoint> cues = CuePoints(out.chunks);
            ASSERT_EQ(cues.size(), 1u);
            EXPECT_EQ(cues[0].position,
                      m == 0 ? 0 : std::min((clip.frames - 1) * m / clip.frames, m - 1));
        }
    }
    // An empty clip becomes silence of the frames asked for.
    WriteFile(folder / "empty.wav", Canonical(Format{}, {}));
    const Result r =
        Cli("--frames 5 -o " + Quote(folder / "five.wav") + " " + Quote(folder / "empty.wav"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(ReadFile(folder / "five.wav"), Canonical(Format{}, Bytes(20, 0)));
    // Targets past what a WAV file holds are refused as durations are.
    for (const char* options : {"--frames 4294967295", "--semitones -400", "--bpm 1 --beats 1e9"}) {
        const Result big = Cli(std::string(options) + " -o " + Quote(folder / "big.wav") + " " +
                               Quote(folder / "in.wav"));
        EXPECT_EQ(big.status, 1) << options;
        EXPECT_NE(big.out.find("more samples than a WAV file can hold"), std::string::npos)
            << big.out;
    }
}

TEST(Cli, MetadataIsCarriedLeftOutOnRequestOrDroppedWithAWarning) {
    TempFolder folder;
    const Bytes samples = Samples(4 * 4410);
    WriteFile(folder / "markers.wav", ClipWithMarkers());
    // --no-metadata: the bare canonical file.
    Result r = Cli("--no-metadata --ms 100 -o " + Quote(folder / "bare.wav") + " " +
                   Quote(folder / "markers.wav"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(ReadFile(folder / "bare.wav"), Canonical(Format{}, samples));
    // A malformed chunk is dropped with a warning naming the file; the clip is written
    // with the rest.
    Bytes broken = CueBody({{1, 1}});
    broken[0] = 9;
    WriteFile(folder / "broken.wav",
              Riff({Chunk("fmt ", FmtBody(Format{})), Chunk("cue ", broken), Chunk("data", samples),
                    Chunk("acid", AcidBody(100.0f))}));
    r = Cli("--ms 100 -o " + Quote(folder / "out.wav") + " " + Quote(folder / "broken.wav"));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, folder / "broken.wav" +
                         ": warning: chunk 'cue ' dropped: malformed: more cue points than "
                         "bytes\n");
    EXPECT_EQ(ReadFile(folder / "out.wav"),
              Riff({Chunk("fmt ", FmtBody(Format{})), Chunk("data", samples),
                    Chunk("acid", AcidBody(100.0f))}));
}

TEST(Cli, InfoAsJsonReadsBackThroughJq) {
    TempFolder folder;
    Format mono48;
    mono48.channels = 1;
    mono48.rate = 48000;
    // Names with a quote, a backslash, a line break and a byte that is no UTF-8.
    const std::string odd = folder / "a \"b\\ c\nd\xff.wav";
    WriteFile(odd, Canonical(mono48, Samples(2000)));
    WriteFile(folder / "markers.wav", ClipWithMarkers());
    int status = -1;
    const std::string out =
        Capture(std::string(SE_CLI_PATH) + " --info --json " + Quote(folder / "markers.wav") + " " +
                    Quote(odd) +
                    " | jq -c '[(.path | split(\"/\") | last), .frames, .duration_ms, .rate, "
                    ".bits, .channels, "
                    ".format_tag, .size, .chunks, [.cue_points[] | [.id, .position, .label]], "
                    "[.loops[] | [.start, .end]]]'",
                &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out, "[\"markers.wav\",4410,100,44100,16,2,1," +
                       std::to_string(ClipWithMarkers().size()) +
                       ",[\"cue \",\"smpl\",\"acid\",\"LIST\"],[[1,0,null],[2,2205,\"hit\"],"
                       "[3,4409,null]],[[0,4409],[1000,1003]]]\n"
                       "[\"a \\\"b\\\\ c\\nd\xEF\xBF\xBD.wav\",1000,20.833,48000,16,1,1,2044,[],[],"
                       "[]]\n");
}

TEST(Cli, PipesFifosAndStandardStreams) {
    TempFolder folder;
    const std::string input = folder / "in.wav";
    const Bytes samples = Samples(4 * 4410);
    WriteFile(input, Canonical(Format{}, samples));
    const Bytes expected = ChangedInProcess(folder, input, 80);
    // What tools write when they cannot seek back: placeholder sizes, here with a partial
    // frame at the end that is not read.
    Bytes partial = samples;
    partial.insert(partial.end(), {1, 2});
    Bytes unsized =
        Riff({Chunk("fmt ", FmtBody(Format{})), Chunk("data", partial, false, 0xFFFFFFFF)});
    for (int k = 4; k < 8; ++k) unsized[k] = 0xFF;
    WriteFile(folder / "unsized.wav", unsized);
    mkfifo((folder / "fifo.wav").c_str(), 0644);
    mkfifo((folder / "silent.wav").c_str(), 0644);
    const std::string cli = SE_CLI_PATH;
    struct Case {
        const char* what;
        std::string command;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"a pipe in and out",
         "cat " + Quote(input) + " | " + cli + " --ms 80 -o - - > " + Quote(folder / "out.wav"), 0,
         ""},
        {"0xFFFFFFFF sizes in a file",
         cli + " --ms 80 -o " + Quote(folder / "out.wav") + " " + Quote(folder / "unsized.wav"), 0,
         ""},
        {"0xFFFFFFFF sizes through a pipe",
         "cat " + Quote(folder / "unsized.wav") + " | " + cli + " --ms 80 -o " +
             Quote(folder / "out.wav") + " -",
         0, ""},
        {"a FIFO with a writer",
         "(cat " + Quote(input) + " > " + Quote(folder / "fifo.wav") + " &); " + cli +
             " --ms 80 -o " + Quote(folder / "out.wav") + " " + Quote(folder / "fifo.wav"),
         0, ""},
        {"a FIFO nobody writes to",
         cli + " --wait 1 --ms 80 -o " + Quote(folder / "out.wav") + " " +
             Quote(folder / "silent.wav"),
         1, "nothing wrote to the FIFO within 1 s"},
        {"standard output that is full", cli + " --ms 80 -o - " + Quote(input) + " > /dev/full", 1,
         "- could not be written: No space left on device"},
        {"--info to a full standard output", cli + " --info " + Quote(input) + " > /dev/full", 1,
         "standard output could not be written: No space left on device"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int status = -1;
        const std::string text = Capture("(" + c.command + ") 2>&1", &status);
        EXPECT_EQ(status, c.status) << text;
        EXPECT_NE(text.find(c.message), std::string::npos) << text;
        if (c.status == 0) {
            EXPECT_TRUE(ReadFile(folder / "out.wav") == expected);
        }
        std::filesystem::remove(folder / "out.wav");
    }
}

TEST(Cli, InfoReadsOnlyTheHeaders) {
    // A sparse file that declares and holds 4 GB of samples: the figures come from the
    // headers alone.
    TempFolder folder;
    const std::string path = folder / "large.wav";
    WriteFile(path, Riff({Chunk("fmt ", FmtBody(Format{})), Chunk("data", {}, false, 0xFFFFFF00)}));
    ASSERT_EQ(truncate(path.c_str(), 44 + 0xFFFFFF00ll), 0);
    // 64 MiB of data for the whole process, far below what reading the samples takes
    // (AddressSanitizer's shadow memory alone needs more).
#ifdef __SANITIZE_ADDRESS__
    const std::string limit;
#else
    const std::string limit = "ulimit -d 65536; ";
#endif
    const Result r = RunProgram(limit + SE_CLI_PATH, "--info " + Quote(path));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, path +
                         ": duration=24347885 ms samples=2147483520 size=4294967084 rate=44100 "
                         "bits=16 channels=2\n");
}

TEST(Cli, ListsAndPathsAtTheirLimits) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "out");
    WriteFile(folder / "a.wav", Canonical(Mono16(), Samples(200)));
    struct Case {
        const char* what;
        std::string list;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"a byte-order mark",
         "\xEF\xBB\xBF"
         "a.wav\t300\n",
         0, ""},
        {"a line over 64 KiB", std::string(70000, 'x') + "\t5\n", 2,
         "list.tsv:1: line longer than 64 KiB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(folder / "list.tsv", Text(c.list));
        const Result r = Cli("--force --list " + Quote(folder / "list.tsv") + " --out-dir " +
                             Quote(folder / "out"));
        EXPECT_EQ(r.status, c.status) << r.out;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
    }
    EXPECT_EQ(ReadFile(folder / "out/a.wav").size(), 44u + 600u);
    const Result zero = Cli("--list /dev/zero --out-dir " + Quote(folder / "out"));
    EXPECT_EQ(zero.status, 2);
    EXPECT_NE(zero.out.find("line longer than 64 KiB"), std::string::npos) << zero.out;

    // Paths far past 260 bytes, up to names of 255 bytes, in and out.
    std::string deep = folder.Host();
    while (deep.size() < PATH_MAX - 600) deep += "/" + std::string(200, 'd');
    std::filesystem::create_directories(deep);
    const std::string name = deep + "/" + std::string(251, 'n') + ".wav";
    WriteFile(name, Canonical(Mono16(), Samples(200)));
    const Result r =
        Cli("--ms 50 --out-dir " + Quote(deep + "/" + std::string(200, 'o')) + " " + Quote(name));
    std::filesystem::create_directory(deep + "/" + std::string(200, 'o'));
    const Result again =
        Cli("--ms 50 --out-dir " + Quote(deep + "/" + std::string(200, 'o')) + " " + Quote(name));
    EXPECT_EQ(again.status, 0) << again.out;
    EXPECT_EQ(
        ReadFile(deep + "/" + std::string(200, 'o') + "/" + std::string(251, 'n') + ".wav").size(),
        44u + 100u);
    EXPECT_EQ(r.status, 1) << "the output folder did not exist yet";
}

TEST(Cli, NeverOverwritesWithoutForce) {
    TempFolder folder;
    const std::string input = folder / "in.wav";
    WriteFile(input, Canonical(Mono16(), Samples(200)));
    WriteFile(folder / "out.wav", Text("keep"));
    Result r = Cli("--ms 50 -o " + Quote(folder / "out.wav") + " " + Quote(input));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("--force"), std::string::npos) << r.out;
    EXPECT_EQ(ReadFile(folder / "out.wav"), (Text("keep")));
    r = Cli("--force --ms 50 -o " + Quote(folder / "out.wav") + " " + Quote(input));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(ReadFile(folder / "out.wav").size(), 44u + 100u);
    // Changing a file in place is allowed with --force and keeps a whole file.
    r = Cli("--force --ms 20 -o " + Quote(input) + " " + Quote(input));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(ReadFile(input).size(), 44u + 40u);
}

TEST(Cli, BatchGoesOnPastBadFilesAndNamesThem) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "out");
    WriteFile(folder / "good.wav", Canonical(Mono16(), Samples(200)));
    WriteFile(folder / "bad.wav", Bytes{'R', 'I', 'F', 'F', 1, 2, 3});
    WriteFile(folder / U8(u8"表 テスト.wav"), Canonical(Mono16(), Samples(300)));
    const Result r =
        Cli("--ms 250 --out-dir " + Quote(folder / "out") + " " + Quote(folder / "good.wav") + " " +
            Quote(folder / "bad.wav") + " " + Quote(folder / "missing.wav") + " " +
            Quote(folder / U8(u8"表 テスト.wav")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find(folder / "bad.wav" + ": rejected"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(folder / "missing.wav" + ": cannot be read: "), std::string::npos)
        << r.out;
    EXPECT_EQ(ReadFile(folder / "out/good.wav").size(), 44u + 500u);
    EXPECT_EQ(ReadFile(folder / U8(u8"out/表 テスト.wav")).size(), 44u + 500u);
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder / "out")) {
        names.push_back(e.path().filename().string());
    }
    EXPECT_EQ(names.size(), 2u) << "nothing written for the bad files";

    // Two inputs of the same name would write one output twice: the second is refused.
    std::filesystem::create_directory(folder / "sub");
    WriteFile(folder / "sub/good.wav", Canonical(Mono16(), Samples(100)));
    const Result twice = Cli("--force --ms 10 --out-dir " + Quote(folder / "out") + " " +
                             Quote(folder / "good.wav") + " " + Quote(folder / "sub/good.wav"));
    EXPECT_EQ(twice.status, 1);
    EXPECT_EQ(ReadFile(folder / "out/good.wav").size(), 44u + 20u);
}

TEST(Cli, ListGivesEachFileItsOwnDuration) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "out");
    WriteFile(folder / "a.wav", Canonical(Mono16(), Samples(200)));
    WriteFile(folder / "b.wav", Canonical(Mono16(), Samples(200)));
    WriteFile(folder / "list.tsv", [] {
        const std::string text =
            "# clip\tms\na.wav\t300\r\n\n"
            "b.wav\t50\n";
        return Bytes(text.begin(), text.end());
    }());
    Result r = Cli("--list " + Quote(folder / "list.tsv") + " --out-dir " + Quote(folder / "out"));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(ReadFile(folder / "out/a.wav").size(), 44u + 600u);
    EXPECT_EQ(ReadFile(folder / "out/b.wav").size(), 44u + 100u);

    WriteFile(folder / "bad.tsv", Bytes{'a', '.', 'w', 'a', 'v', '\n'});
    r = Cli("--list " + Quote(folder / "bad.tsv") + " --out-dir " + Quote(folder / "out"));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("bad.tsv:1:"), std::string::npos) << r.out;
}

TEST(Cli, UnchangeableFormatsFailVisibly) {
    TempFolder folder;
    Format alaw;
    alaw.tag = 6;
    alaw.channels = 3;
    alaw.bits = 8;
    WriteFile(folder / "a.wav", Canonical(alaw, Samples(300)));
    const Result r = Cli("--ms 50 -o " + Quote(folder / "o.wav") + " " + Quote(folder / "a.wav"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("cannot be changed"), std::string::npos) << r.out;
    EXPECT_FALSE(std::filesystem::exists(folder / "o.wav"));
}

TEST(Cli, ATerminalBatchOfManyFilesCompletes) {
    // In a terminal each change runs on a worker thread that shows progress; every one of
    // them must give its trace slot back, or the ninth file would end the run.
    TempFolder folder;
    std::filesystem::create_directory(folder / "out");
    std::string inputs;
    for (int i = 0; i < 12; ++i) {
        const std::string name = folder / ("clip" + std::to_string(i) + ".wav");
        WriteFile(name, Canonical(Mono16(), Samples(200)));
        inputs += " " + Quote(name);
    }
    int status = -1;
    const std::string command = std::string(SE_CLI_PATH) + " --ms 50 --out-dir " +
                                Quote(folder / "out") + inputs + "; echo exit=$?";
    const std::string out = Capture("script -qec \"" + command + "\" /dev/null", &status);
    EXPECT_NE(out.find("exit=0"), std::string::npos) << out;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / "out"),
                            std::filesystem::directory_iterator()),
              12);
}

TEST(Cli, NothingIsReplacedThatMustNotBe) {
    // Each case puts something at the output, runs a change and checks what stands there
    // after: a refused run leaves it exactly as it was, and no temporary file remains.
    TempFolder folder;
    const std::string input = folder / "in.wav";
    WriteFile(input, Canonical(Mono16(), Samples(200)));
    const std::string out = folder / "out.wav";
    const bool root = geteuid() == 0;
    struct Case {
        const char* what;
        std::function<void()> setUp;
        std::string options, environment;
        int status;
        const char* message;
        std::function<bool()> after;  // what stands at the output afterwards is right
    };
    auto keeps = [&] { return ReadFile(out) == Text("keep"); };
    auto written = [&] { return ReadFile(out).size() == 44u + 100u; };
    auto isKind = [&](mode_t kind) {
        return [&, kind] {
            struct stat st;
            return lstat(out.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == kind;
        };
    };
    const Case cases[] = {
        {"a target nobody may read",
         [&] {
             WriteFile(out, Text("keep"));
             chmod(out.c_str(), 0);
         },
         "", "", 1, "exists (use --force)", keeps},
        {"a target created while the change runs", [] {}, "",
         "SE_CLI_TEST_CREATE_BEFORE_LINK=" + out, 1, "exists (use --force)",
         [&] { return ReadFile(out).empty() && std::filesystem::exists(out); }},
        {"a dangling symbolic link", [&] { symlink("nowhere", out.c_str()); }, "", "", 1,
         "exists (use --force)", isKind(S_IFLNK)},
        {"--force onto a FIFO", [&] { mkfifo(out.c_str(), 0644); }, "--force", "", 1,
         "is a FIFO; --force replaces only files", isKind(S_IFIFO)},
        {"--force onto a folder", [&] { std::filesystem::create_directory(out); }, "--force", "", 1,
         "is a folder", isKind(S_IFDIR)},
        {"--force onto a device node made here",
         [&] {
             if (root) mknod(out.c_str(), S_IFCHR | 0666, makedev(1, 3));
         },
         "--force", "", 1, "is a device", isKind(S_IFCHR)},
        {"--force onto a file", [&] { WriteFile(out, Text("keep")); }, "--force", "", 0, "",
         written},
        {"--force onto a symbolic link replaces the link, not what it points to",
         [&] {
             WriteFile(folder / "linked.wav", Text("keep"));
             symlink("linked.wav", out.c_str());
         },
         "--force", "", 0, "",
         [&] { return written() && ReadFile(folder / "linked.wav") == Text("keep"); }},
        {"--force with a file created while the change runs", [] {}, "--force",
         "SE_CLI_TEST_CREATE_BEFORE_LINK=" + out, 0, "", written},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (std::string(c.what).find("device") != std::string::npos && !root) {
            std::printf("skipped \"%s\": mknod needs root\n", c.what);
            continue;
        }
        c.setUp();
        const std::string command = (c.environment.empty() ? "" : c.environment + " ") +
                                    SE_CLI_PATH + " " + c.options + " --ms 50 -o " + Quote(out) +
                                    " " + Quote(input) + " 2>&1";
        int status = -1;
        const std::string text = Capture(command, &status);
        EXPECT_EQ(status, c.status) << text;
        EXPECT_NE(text.find(c.message), std::string::npos) << text;
        EXPECT_TRUE(c.after());
        std::vector<std::string> names = folder.Names();
        std::erase(names, "linked.wav");
        EXPECT_EQ(names, (std::vector<std::string>{"in.wav", "out.wav"}));
        std::filesystem::remove_all(out);
        std::filesystem::remove(folder / "linked.wav");
    }
}

TEST(Cli, TwoRunsOnOneNewNameLeaveOneWinner) {
    TempFolder folder;
    const std::string input = folder / "in.wav";
    WriteFile(input, Canonical(Format{}, Samples(4 * 44100 * 20)));  // 20 s
    const std::vector<std::string> args{"--ms", "60000", "-o", folder / "out.wav", input};
    const pid_t first = StartCli(args);
    const pid_t second = StartCli(args);
    const int a = Wait(first).first, b = Wait(second).first;
    EXPECT_EQ(a + b, 1) << a << " " << b;  // one succeeded, one failed
    EXPECT_EQ(ReadFile(folder / "out.wav").size(), 44u + 4u * 44100 * 60);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"in.wav", "out.wav"}));
}

TEST(Cli, InterruptedRunsLeaveTheTargetAsItWas) {
    // A 2 s clip stretched to 20 minutes: over 200 MB written, stopped half way.
    TempFolder folder;
    const std::string input = folder / "in.wav";
    WriteFile(input, Canonical(Format{}, Samples(4 * 44100 * 2)));
    WriteFile(folder / "out.wav", Text("keep"));
    for (const int signal : {SIGINT, SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signal);
        const pid_t pid = StartCli({"--force", "--ms", "1200000", "-o", folder / "out.wav", input});
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (BytesWritten(pid) < (32u << 20) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        kill(pid, signal);
        const int status = Wait(pid).first;
        if (status == 0) {
            std::printf("the run ended before signal %d came\n", signal);
            std::filesystem::remove(folder / "out.wav");
            WriteFile(folder / "out.wav", Text("keep"));
            continue;
        }
        EXPECT_EQ(status, 128 + signal);
        EXPECT_EQ(ReadFile(folder / "out.wav"), Text("keep"));
        EXPECT_EQ(folder.Names(), (std::vector<std::string>{"in.wav", "out.wav"}));
    }
    // Where the file system has no unnamed files, the named temporary goes with the signal.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const int status = RunInChild([&] {
            hostfile::SetUnnamedOutputs(false);
            hostfile::COutput output;
            if (hostfile::CreateOutput(folder.ProgramPath("out.wav").c_str(), output) != 0 ||
                output.temporary.empty()) {
                _exit(1);
            }
            std::fputs("partial", output.file);
            std::fflush(output.file);
            raise(signal);
        });
        EXPECT_EQ(status, 128 + signal);
        EXPECT_EQ(folder.Names(), (std::vector<std::string>{"in.wav", "out.wav"}));
    }
}

TEST(Cli, ResultsPastWhatAWaveFileHoldsAreRefusedBeforeAnythingIsWritten) {
    TempFolder folder;
    const std::string input = folder / "in.wav";
    WriteFile(input, Canonical(Format{}, Samples(4 * 44100)));  // 1 s
    // 24347887 ms is the first duration whose samples (176400 bytes a second) pass
    // 4 GiB - 44 bytes; the others are far past it, or past 32 bits.
    for (const char* args : {"--ms 24347887", "--ms 30000000", "--ratio 30000"}) {
        const Result r =
            Cli(std::string(args) + " -o " + Quote(folder / "out.wav") + " " + Quote(input));
        EXPECT_EQ(r.status, 1) << args << r.out;
        EXPECT_NE(r.out.find("more samples than a WAV file can hold"), std::string::npos) << r.out;
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"in.wav"});
    }
}

}  // namespace
