// GetCommandLineA: the program's arguments as the program would get them on Windows,
// checked in a copy of this test program started with chosen arguments.
#include <gtest/gtest.h>
#include <hostpath.h>
#include <sys/wait.h>
#include <unistd.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

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
    const char* argv[] = {argv0.c_str(),     "a b",           "",     japanese.c_str(),
                          backslash.c_str(), invalid.c_str(), nullptr};
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

}  // namespace
