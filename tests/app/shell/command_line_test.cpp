// The command-line record and the home folder's emergency copy.
#include "app/shell/command_line.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "framework/platform/home.h"
#include "support/test_support.h"

namespace {

struct ParseCase {
    const char* line;
    const char* folder;
    const char* fileName;
    const char* arguments;
    const char* file;  // started in "/home/u/clips/"
};

TEST(CommandLine, SplitsProgramPathAndKeepsQuotedArguments) {
    const ParseCase cases[] = {
        // A quoted program path and a quoted WAV path: the quotes stay on the argument.
        {"\"C:\\x\\se.exe\" \"C:\\w a v\\a.wav\"", "C:\\x\\", "se.exe", "\"C:\\w a v\\a.wav\"",
         "/home/u/clips/C:\\w a v\\a.wav"},
        {"\"/opt/se/se-retimer\" \"/tmp/a b.wav\"", "/opt/se/", "se-retimer", "\"/tmp/a b.wav\"",
         "/tmp/a b.wav"},
        // A relative file is found where the program was started, not in its own folder.
        {"\"se\" \"a.wav\"", "", "se", "\"a.wav\"", "/home/u/clips/a.wav"},
        {"\"/opt/se/se-retimer\" \"../b/\x8C\xF8.wav\"", "/opt/se/", "se-retimer",
         "\"../b/\x8C\xF8.wav\"", "/home/u/clips/../b/\x8C\xF8.wav"},
        // No arguments, and a closing quote not followed by a blank: nothing after it.
        {"\"/opt/se/se-retimer\"", "/opt/se/", "se-retimer", "", ""},
        {"\"/opt/se/se-retimer\"x", "/opt/se/", "se-retimer", "", ""},
        // Unquoted: the path runs to the end, and there are no arguments.
        {"/opt/se/se-retimer", "/opt/se/", "se-retimer", "", ""},
        // Everything after the blank, blanks included.
        {"\"se\"  two", "", "se", " two", "/home/u/clips/ two"},
        {"\"se\" ", "", "se", "", ""},
        {"\"se\" \"\"", "", "se", "\"\"", ""},
        {"", "", "", "", ""},
        // A double-byte character whose trail byte is a backslash is no separator.
        {"\"C:\\\x95\x5C\\se.exe\" a", "C:\\\x95\x5C\\", "se.exe", "a", "/home/u/clips/a"},
        {"\"C:\\\x95\x5C.exe\"", "C:\\", "\x95\x5C.exe", "", ""},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.line);
        const Main::CCommandLine record = Main::ParseCommandLine(c.line, "/home/u/clips/");
        EXPECT_EQ(record.folder, c.folder);
        EXPECT_EQ(record.fileName, c.fileName);
        EXPECT_EQ(record.arguments, c.arguments);
        EXPECT_EQ(record.file, c.file);
    }
}

TEST(CommandLine, QuotesAreStrippedFromBothEnds) {
    struct Case {
        const char* arguments;
        const char* path;
    };
    const Case cases[] = {
        {"", ""},
        {"\"\"", ""},
        {"\"/tmp/a b.wav\"", "/tmp/a b.wav"},
        {"\"\"/x.wav\"\"\"", "/x.wav"},
        {"/x\"y.wav", "/x\"y.wav"},  // quotes inside are kept
    };
    for (const Case& c : cases) EXPECT_EQ(Main::StripQuotes(c.arguments), c.path) << c.arguments;
}

// Restores the process's home folder after a test moved it.
struct HomeFolderGuard {
    std::string saved = NVireo::NFile::HomeFolder();
    ~HomeFolderGuard() { NVireo::NFile::SetHomeFolder(saved.c_str()); }
};

TEST(EmergencyHomeFolder, CopiesTheHomeFolderWithinItsFixedBuffer) {
    HomeFolderGuard guard;
    NVireo::NFile::SetHomeFolder("/opt/se/");
    EXPECT_STREQ(NVireo::NFile::EmergencyHomeFolder(), "/opt/se/");

    // 254 bytes and a double-byte character: the character does not fit in 255 bytes and
    // is left out whole.
    std::string longFolder = "/" + std::string(253, 'a') + "\x95\x5C" + "/";
    NVireo::NFile::SetHomeFolder(longFolder.c_str());
    EXPECT_EQ(std::string(NVireo::NFile::EmergencyHomeFolder()), longFolder.substr(0, 254));

    std::string exact = "/" + std::string(253, 'b') + "/";  // 255 bytes: kept whole
    NVireo::NFile::SetHomeFolder(exact.c_str());
    EXPECT_EQ(std::string(NVireo::NFile::EmergencyHomeFolder()), exact);
}

TEST(EmergencyHomeFolder, BecomesTheCurrentFolder) {
    HomeFolderGuard guard;
    TempFolder folder;
    char before[MAX_PATH];
    GetCurrentDirectoryA(sizeof before, before);
    NVireo::NFile::SetHomeFolder(folder.Program().c_str());
    ASSERT_TRUE(NVireo::NFile::EnterEmergencyHomeFolder());
    char now[MAX_PATH];
    GetCurrentDirectoryA(sizeof now, now);
    EXPECT_EQ(std::string(now) + "/", folder.Program() + "/");
    SetCurrentDirectoryA(before);
}

TEST(HomeFolder, ComesFromTheExecutableWhenStartedThroughARelativePath) {
    HomeFolderGuard guard;
    Main::FixHomeFolder();
    // The test program is started through an absolute or a relative path; either way
    // the home folder is absolute and names the executable's folder.
    ASSERT_FALSE(NVireo::NFile::HomeFolder().empty());
    EXPECT_EQ(NVireo::NFile::HomeFolder()[0], '/');
    EXPECT_STREQ(NVireo::NFile::EmergencyHomeFolder(), NVireo::NFile::HomeFolder().c_str());
}

}  // namespace
