// The command-line retimer, run as a user runs it.
#include <gtest/gtest.h>
#include <hostpath.h>

#include <string>

#include "sound/clip.h"
#include "sound/wavefile.h"
#include "support/test_support.h"
#include "support/wav_bytes.h"

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

TEST(Cli, UsageErrorsExitWithTwo) {
    for (const char* args :
         {"", "--ms", "--ms abc in.wav -o o.wav", "--ms -5 -o o.wav in.wav",
          "--ratio 0 -o o.wav in.wav", "--ms 5 -o o.wav a.wav b.wav", "--info --ms 5 a.wav",
          "--ms 5 a.wav", "--bogus a.wav", "--ms 5 --ratio 2 -o o.wav a.wav",
          "--ms 4294967296 -o o.wav a.wav", "--list l.tsv -o o.wav"}) {
        const Result r = Cli(args);
        EXPECT_EQ(r.status, 2) << args << "\n" << r.out;
        EXPECT_NE(r.out.find("usage:"), std::string::npos) << args;
    }
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

TEST(Cli, ChangesExactlyAsTheWindowDoes) {
    TempFolder folder;
    const std::string input = folder / "in.wav";
    WriteFile(input, Canonical(Format{}, Samples(4 * 4410)));  // 100 ms stereo
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

}  // namespace
