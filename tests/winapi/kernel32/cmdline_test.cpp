// GetCommandLineA: the program's arguments as the program would get them on Windows,
// checked in a copy of this test program started with chosen arguments; the layer's own
// option --scale taken out of them.
#include "kernel32/cmdline.h"

#include <gtest/gtest.h>
#include <hostpath.h>
#include <sys/wait.h>
#include <unistd.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

constexpr const char* kOutputVariable = "SE_TEST_COMMAND_LINE_OUT";

// In the copy: write the command line (twice the same pointer: "=", else "!") to the file
// named by the variable and end before any test runs.
const bool childWritten = [] {
    const char* output = std::getenv(kOutputVariable);
    if (output == nullptr) return false;
    FILE* file = std::fopen(output, "wb");
    if (file == nullptr) _exit(2);
    const char* line = GetCommandLineA();
    std::fputs(line == GetCommandLineA() ? "=" : "!", file);
    std::fputs(line, file);
    std::fclose(file);
    _exit(0);
}();

TEST(CommandLine, EveryArgumentIsQuotedInCodePage932StartingWithArgvZero) {
    (void)childWritten;
    TempFolder folder;
    const std::string output = folder / "line";
    const std::string argv0 = U8(u8"se tests 表");  // not the executable's path
    const std::string japanese = U8(u8"ソ.wav");    // trail byte 0x5C in code page 932
    const std::string backslash = "C:\\x";          // a host backslash is no separator
    const std::string invalid = "\xff";             // not UTF-8
    // The layer's own option is taken out, as a toolkit takes its options.
    const char* argv[] = {
        argv0.c_str(),     "a b",       "--scale",       "2",    "", japanese.c_str(),
        backslash.c_str(), "--scale=3", invalid.c_str(), nullptr};
    const pid_t child = fork();
    if (child == 0) {
        setenv(kOutputVariable, output.c_str(), 1);
        execv("/proc/self/exe", const_cast<char* const*>(argv));
        _exit(3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const std::string expected = "=\"se tests 表\" \"a b\" \"\" \"ソ.wav\" \"" +
                                 HostToProgramPath(backslash) + "\" \"" +
                                 HostToProgramPath(invalid) + "\"";
    EXPECT_EQ(folder.ReadHostFile("line"), expected);
    EXPECT_NE(HostToProgramPath(backslash), backslash);
}

// --scale N and --scale=N anywhere before "--", the last valid one counting; a value
// that is no whole number from 1 to 8 is taken out and complained about.
TEST(CommandLine, TheScaleOptionIsTakenOutWithItsValue) {
    using Arguments = std::vector<std::string>;
    const struct {
        Arguments in;
        Arguments out;
        int scale;
        bool complains;
    } cases[] = {
        {{"clip.wav"}, {"clip.wav"}, 0, false},
        {{"--scale", "2", "clip.wav"}, {"clip.wav"}, 2, false},
        {{"clip.wav", "--scale=8"}, {"clip.wav"}, 8, false},
        {{"--scale", "3", "--scale=2"}, {}, 2, false},
        {{"--scale=2", "--scale", "x"}, {}, 2, true},
        {{"--scale", "0"}, {}, 0, true},
        {{"--scale", "9"}, {}, 0, true},
        {{"--scale=1.5"}, {}, 0, true},
        {{"--scale"}, {}, 0, true},
        {{"--", "--scale", "2"}, {"--", "--scale", "2"}, 0, false},
        {{"--scaled", "2"}, {"--scaled", "2"}, 0, false},
    };
    for (const auto& c : cases) {
        Arguments arguments = c.in;
        std::string complaint;
        EXPECT_EQ(winapi::kernel32::TakeScaleOption(arguments, complaint), c.scale);
        EXPECT_EQ(arguments, c.out);
        EXPECT_EQ(!complaint.empty(), c.complains) << complaint;
    }
}

}  // namespace
