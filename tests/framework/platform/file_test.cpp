// The framework file layer: streams, the text reader's tokenizer, path helpers and the
// home folder, on real files in a scratch folder.
#include "framework/platform/file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "framework/error/error.h"
#include "framework/platform/home.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using NVireo::NFile::NSTDIO::CBinary;
using NVireo::NFile::NSTDIO::CText;
using Tokens = std::vector<std::string>;

std::string Message() { return NVireo::NError::Record().message; }

TEST(FileStream, BinaryValuesAreLittleEndianAndReadBack) {
    TempFolder folder;
    const std::string path = folder.ProgramPath("values.bin");
    {
        CBinary out;
        out.Open(path.c_str(), "wb");
        out.WriteU16(0x1234);
        out.WriteU32(0x89ABCDEF);
        out.WriteBytes("xy", 2);
        out.WriteString("表");
        EXPECT_TRUE(out.TryWrite("z", 1));
        out.Close();
    }
    EXPECT_EQ(folder.ReadHostFile("values.bin"),
              std::string("\x34\x12\xEF\xCD\xAB\x89xy\x02\x00\x00\x00\x95\x5Cz", 15));

    CBinary in;
    in.Open(path.c_str(), "rb");
    EXPECT_EQ(in.mode, NVireo::NFile::NSTDIO::kModeBinary);
    EXPECT_EQ(in.Size(), 15u);
    uint16_t u16 = 0;
    uint32_t u32 = 0;
    uint8_t u8 = 0;
    char bytes[2];
    std::string text;
    in.ReadU16(u16);
    in.ReadU32(u32);
    in.ReadBytes(bytes, 2);
    in.ReadString(text);
    EXPECT_EQ(in.Position(), 14u);
    EXPECT_FALSE(in.AtEnd());
    in.ReadU8(u8);
    EXPECT_TRUE(in.AtEnd());
    EXPECT_EQ(u16, 0x1234);
    EXPECT_EQ(u32, 0x89ABCDEFu);
    EXPECT_EQ(std::string(bytes, 2), "xy");
    EXPECT_EQ(text, "表");
    EXPECT_EQ(u8, 'z');
    in.Seek(2);
    in.Skip(4);
    in.ReadU8(u8);
    EXPECT_EQ(u8, 'x');
    EXPECT_EQ(in.Size(), 15u);
    EXPECT_EQ(in.Position(), 7u);  // Size kept the position
}

TEST(FileStream, ShortReadsAreReportedWithPositionSizeAndCount) {
    TempFolder folder;
    folder.WriteHostFile("short.bin", "abc");
    const std::string path = folder.ProgramPath("short.bin");
    {
        RaisePolicy policy;
        CBinary in;
        in.Open(path.c_str(), "rb");
        uint32_t value = 7;
        EXPECT_THROW(in.ReadU32(value), NVireo::NError::CObject);
        EXPECT_EQ(Message(), "0(3),T=4");
        EXPECT_EQ(GetLastError(), ERROR_HANDLE_EOF);
    }
    {
        RaisePolicy policy;
        CBinary in;
        in.Open(path.c_str(), "rb");
        uint8_t first = 0;
        in.ReadU8(first);
        char rest[8];
        EXPECT_THROW(in.ReadBytes(rest, sizeof rest), NVireo::NError::CObject);
        EXPECT_EQ(Message(), "1(3),T=8");
    }
    {
        // When Raise returns, the value read is zero rather than half a read.
        NVireo::NError::Record().policy = 2;
        CBinary in;
        in.Open(path.c_str(), "rb");
        uint32_t value = 7;
        in.ReadU32(value);
        EXPECT_EQ(value, 0u);
        NVireo::NError::Clear();
        NVireo::NError::Record().policy = 0;
    }
    // TryRead answers instead of reporting.
    CBinary in;
    in.Open(path.c_str(), "rb");
    char four[4];
    EXPECT_FALSE(in.TryRead(four, 4));
    EXPECT_EQ(NVireo::NError::ErrorText(), "");
}

TEST(FileStream, DamagedStringCountIsReportedBeforeAnyAllocation) {
    TempFolder folder;
    folder.WriteHostFile("string.bin", std::string("\xFF\xFF\xFF\x7Fshort", 9));
    RaisePolicy policy;
    CBinary in;
    in.Open(folder.ProgramPath("string.bin").c_str(), "rb");
    std::string text = "old";
    EXPECT_THROW(in.ReadString(text), NVireo::NError::CObject);
    EXPECT_EQ(text, "");
    EXPECT_EQ(Message(), "4(9),T=2147483647");
}

TEST(FileStream, OpenFailureIsReportedWithThePath) {
    TempFolder folder;
    const std::string path = folder.ProgramPath("表.missing");
    CBinary file;
    EXPECT_FALSE(file.TryOpen(path.c_str(), "rb"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(file.stream, nullptr);

    RaisePolicy policy;
    EXPECT_THROW(file.Open(path.c_str(), "rb"), NVireo::NError::CObject);
    EXPECT_EQ(Message(), path);
    EXPECT_NE(std::string(NVireo::NError::Record().systemMessage), "");
}

TEST(FileStream, TextLinesKeepTheirLineEndsAndGrowAsNeeded) {
    TempFolder folder;
    const std::string longLine(5000, 'L');
    folder.WriteHostFile("lines.txt", "first\r\n" + longLine + "\n\nlast");
    CText text;
    ASSERT_TRUE(text.OpenText(folder.ProgramPath("lines.txt").c_str()));
    std::string line;
    const std::vector<std::string> expected = {"first\r\n", longLine + "\n", "\n", "last", ""};
    for (const std::string& want : expected) {
        text.ReadLine(line);
        EXPECT_EQ(line, want);
    }
    EXPECT_TRUE(text.AtEnd());

    // Binary streams split at '\n' too, zero bytes included.
    folder.WriteHostFile("lines.bin", std::string("a\0b\nc", 5));
    CBinary binary;
    binary.Open(folder.ProgramPath("lines.bin").c_str(), "rb");
    binary.ReadLine(line);
    EXPECT_EQ(line, std::string("a\0b\n", 4));
    binary.ReadLine(line);
    EXPECT_EQ(line, "c");
    binary.ReadLine(line);
    EXPECT_EQ(line, "");
}

TEST(FileStream, TextLineLimitIsSixteenMebibytesOfBuffer) {
    TempFolder folder;
    const size_t largest = 16777216 - 1;  // the buffer holds the terminator too
    folder.WriteHostFile("fits.txt", std::string(largest, 'x'));
    folder.WriteHostFile("over.txt", std::string(largest, 'x') + "\n");
    std::string line;
    {
        CText text;
        ASSERT_TRUE(text.OpenText(folder.ProgramPath("fits.txt").c_str()));
        text.ReadLine(line);
        EXPECT_EQ(line.size(), largest);
    }
    RaisePolicy policy;
    CText text;
    ASSERT_TRUE(text.OpenText(folder.ProgramPath("over.txt").c_str()));
    EXPECT_THROW(text.ReadLine(line), NVireo::NError::CObject);
}

TEST(TextReader, TokenizesByTheReadersRules) {
    struct Case {
        char separator;
        const char* line;
        Tokens tokens;
    };
    const Case cases[] = {
        {'=', "key   =  12  // note\r\n", {"key", "12"}},
        {',', "a, b ,c", {"a", "b", "c"}},
        {',', "\"x, y\" , z", {"x, y", "z"}},  // the quoted separator stays inside
        {',', "  \"q\"  ", {"q"}},
        {',', "\"//\"", {""}},                    // the comment cut comes first
        {',', "\"open, ended", {"open, ended"}},  // no closing quote: to the end
        {',', "\"a\"junk,b", {"a", "b"}},         // after the quote, up to the separator
        {',', "a,,b,", {"a", "", "b", ""}},
        {',', "", {}},
        {',', "\r\n", {}},
        {',', "  // only a comment", {}},
        {'\t', "a\tb c\t", {"a", "b c", ""}},
        // Trail bytes 0x5C and 0x7C are not separators.
        {'\\', "表\\ソ", {"表", "ソ"}},
        {'|', "\x83\x7C|x", {"\x83\x7C", "x"}},
        // A marker made of a character's trail byte and the next byte is no comment.
        {',', "\x83/ a", {"\x83/ a"}},
        {',', "名前,値 // 注", {"名前", "値"}},
    };
    for (const Case& c : cases) {
        CText reader;
        reader.separator = c.separator;
        EXPECT_EQ(reader.Tokenize(c.line), c.tokens) << c.line;
    }
    CText custom;
    custom.commentMarker = "#";
    EXPECT_EQ(custom.Tokenize("a,b#c"), (Tokens{"a", "b"}));
    custom.commentMarker = "";
    EXPECT_EQ(custom.Tokenize("a//b"), (Tokens{"a//b"}));
}

TEST(TextReader, ReadsEveryLineOrSaysTheFileIsMissing) {
    TempFolder folder;
    folder.WriteHostFile("set.txt", "a=1\n\n// c\nb = \"x=y\"\n");
    CText reader;
    reader.separator = '=';
    ASSERT_TRUE(reader.OpenText(folder.ProgramPath("set.txt").c_str()));
    std::vector<Tokens> lines;
    ASSERT_TRUE(reader.ReadTokenLines(lines));
    EXPECT_EQ(lines, (std::vector<Tokens>{{"a", "1"}, {}, {}, {"b", "x=y"}}));
    EXPECT_EQ(reader.lineCounter, 3);
    EXPECT_EQ(reader.stream, nullptr);

    CText missing;
    EXPECT_FALSE(missing.OpenText(folder.ProgramPath("none.txt").c_str()));
    EXPECT_EQ(missing.state, 1);
    EXPECT_EQ(missing.path, folder.ProgramPath("none.txt"));
    EXPECT_FALSE(missing.ReadTokenLines(lines));
    EXPECT_TRUE(lines.empty());
}

TEST(PathHelpers, ReplaceExtensionSplitPathAndCopyLimited) {
    struct Replace {
        const char* path;
        const char* extension;
        const char* result;
    } const replaces[] = {
        {"old.dir\\name", "pd", "old.dir\\name.pd"},
        {"old.dir/name", "pd", "old.dir/name.pd"},
        {"name.TXT", "txt", "name.TXT"},
        {"name.wav", "txt", "name.txt"},
        {"a.b.c", "d", "a.b.d"},
        {"表\\x", "wav", "表\\x.wav"},
        {"name.", "wav", "name.wav"},
    };
    for (const Replace& r : replaces) {
        EXPECT_EQ(NVireo::NFile::ReplaceExtension(r.path, r.extension), r.result) << r.path;
    }

    struct Split {
        const char* path;
        const char* folder;
        const char* name;
    } const splits[] = {
        {"dir\\表", "dir\\", "表"},
        {"dir/sub\\ソ.wav", "dir/sub\\", "ソ.wav"},
        {"表", "", "表"},
        {"dir\\", "dir\\", ""},
        {"", "", ""},
    };
    for (const Split& s : splits) {
        std::string folder, name;
        NVireo::NFile::SplitPath(s.path, folder, name);
        EXPECT_EQ(folder, s.folder) << s.path;
        EXPECT_EQ(name, s.name) << s.path;
    }

    struct Copy {
        const char* source;
        size_t limit;
        const char* result;
    } const copies[] = {
        {"abc", 2, "ab"},  {"a表", 2, "a"},  // the lead byte alone would split the character
        {"a表", 3, "a表"}, {"表", 1, ""},
        {"abc", 0, ""},    {"ab\x81", 5, "ab"},  // a lead byte without its trail byte is dropped
    };
    for (const Copy& c : copies) {
        char destination[8];
        std::memset(destination, '#', sizeof destination);
        NVireo::NFile::CopyLimited(destination, c.source, c.limit);
        EXPECT_STREQ(destination, c.result) << c.source << " " << c.limit;
    }
}

// Makes a file unwritable even for root: the immutable flag. False when the file
// system does not offer it.
bool SetImmutable(const std::string& hostPath, bool on) {
    const int fd = open(hostPath.c_str(), O_RDONLY);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    close(fd);
    return done;
}

TEST(PathHelpers, ExistsAndIsWritable) {
    TempFolder folder;
    folder.WriteHostFile("\xE8\xA1\xA8.txt", "x");
    fs::create_directory(folder.HostPath("d"));
    const std::string file = folder.ProgramPath("表.txt");
    EXPECT_TRUE(NVireo::NFile::Exists(file.c_str()));
    EXPECT_FALSE(NVireo::NFile::Exists(""));
    EXPECT_FALSE(NVireo::NFile::Exists(folder.ProgramPath("none").c_str()));
    EXPECT_FALSE(NVireo::NFile::Exists(folder.ProgramPath("d").c_str()));  // a folder
    // Only a regular file, or a link to one, counts; a FIFO nobody writes to and an
    // endless device are not opened (the FIFO would wait for a writer).
    ASSERT_EQ(mkfifo(folder.HostPath("fifo").c_str(), 0644), 0);
    fs::create_symlink(folder.HostPath("\xE8\xA1\xA8.txt"), folder.HostPath("to-file"));
    fs::create_symlink(folder.HostPath("fifo"), folder.HostPath("to-fifo"));
    fs::create_symlink(folder.HostPath("none"), folder.HostPath("to-none"));
    EXPECT_TRUE(NVireo::NFile::Exists(folder.ProgramPath("to-file").c_str()));
    for (const std::string& other : {folder.ProgramPath("fifo"), folder.ProgramPath("to-fifo"),
                                     folder.ProgramPath("to-none"), std::string("/dev/zero")}) {
        EXPECT_FALSE(NVireo::NFile::Exists(other.c_str())) << other;
    }

    EXPECT_TRUE(NVireo::NFile::IsWritable(""));
    EXPECT_TRUE(NVireo::NFile::IsWritable(folder.ProgramPath("none").c_str()));
    EXPECT_TRUE(NVireo::NFile::IsWritable(file.c_str()));
    EXPECT_FALSE(NVireo::NFile::IsWritable(folder.ProgramPath("d").c_str()));
    EXPECT_EQ(folder.ReadHostFile("\xE8\xA1\xA8.txt"), "x");  // opening to append wrote nothing
}

TEST(PathHelpers, ReadOnlyFileIsNotWritable) {
    TempFolder folder;
    folder.WriteHostFile("ro.txt", "x");
    const std::string host = folder.HostPath("ro.txt");
    // Root may write to any file whatever its mode; the immutable flag binds root too.
    if (!SetImmutable(host, true)) {
        if (geteuid() == 0) {
            GTEST_SKIP() << "running as root on a file system without the immutable flag: "
                            "no file is read-only to this process";
        }
        chmod(host.c_str(), 0444);
    }
    const bool writable = NVireo::NFile::IsWritable(folder.ProgramPath("ro.txt").c_str());
    SetImmutable(host, false);
    EXPECT_FALSE(writable);
}

TEST(PathHelpers, EnsureFolderWorksInTheHomeFolder) {
    const std::string previousHome = NVireo::NFile::HomeFolder();
    const std::string previousFolder = fs::current_path().string();
    TempFolder folder;
    NVireo::NFile::SetHomeFolder(folder.Program().c_str());
    EXPECT_EQ(NVireo::NFile::HomeFolder(), folder.Program() + "/");

    NVireo::NFile::EnsureFolder("表");
    EXPECT_EQ(fs::current_path().string(), folder.Host());
    EXPECT_TRUE(fs::is_directory(folder.HostPath("\xE8\xA1\xA8")));
    NVireo::NFile::EnsureFolder("表");  // already there
    NVireo::NFile::EnsureFolder("");
    EXPECT_EQ(NVireo::NError::ErrorText(), "");

    folder.WriteHostFile("plain", "x");
    {
        RaisePolicy policy;
        EXPECT_THROW(NVireo::NFile::EnsureFolder("plain"), NVireo::NError::CObject);
        EXPECT_EQ(Message(), "plain");
    }
    // MakeFolders: every missing folder along a relative or absolute path, reporting
    // nothing; a file in the way answers false.
    EXPECT_TRUE(NVireo::NFile::MakeFolders("a/表/c/"));
    EXPECT_TRUE(fs::is_directory(folder.HostPath("a/\xE8\xA1\xA8/c")));
    EXPECT_TRUE(NVireo::NFile::MakeFolders(folder.ProgramPath("x/y").c_str()));
    EXPECT_TRUE(NVireo::NFile::MakeFolders(folder.ProgramPath("x/y").c_str()));  // already
    EXPECT_TRUE(fs::is_directory(folder.HostPath("x/y")));
    EXPECT_FALSE(NVireo::NFile::MakeFolders("plain/below"));
    EXPECT_FALSE(NVireo::NFile::MakeFolders(""));
    EXPECT_EQ(NVireo::NError::ErrorText(), "");
    NVireo::NFile::RemoveIfExists("plain");
    NVireo::NFile::RemoveIfExists("plain");  // gone: nothing to do, nothing reported
    EXPECT_FALSE(fs::exists(folder.HostPath("plain")));
    EXPECT_EQ(NVireo::NError::ErrorText(), "");

    NVireo::NFile::SetHomeFolder(previousHome.c_str());
    fs::current_path(previousFolder);
}

TEST(PathHelpers, HomeFolderIsTheProgramsFolder) {
    const std::string exe = fs::read_symlink("/proc/self/exe").string();
    const std::string folder = exe.substr(0, exe.rfind('/') + 1);
    EXPECT_EQ(ProgramToHostPath(NVireo::NFile::HomeFolder()), folder);
}

// Where the program reads from and whether it writes beside itself, for the layouts a
// program is found in: a portable folder (its package beside it), an installed one
// (<prefix>/bin and <prefix>/share/se-retimer, writable or not: it is never written),
// both (the package beside it wins), and a folder with no package at all.
TEST(PathHelpers, InstalledProgramsReadFromShareAndWriteToTheUserFolders) {
    const std::string previousHome = NVireo::NFile::HomeFolder();
    TempFolder folder;
    for (const char* package : {"portable/Data/package", "prefix/share/se-retimer/Data/package",
                                "both/bin/Data/package", "both/share/se-retimer/Data/package"}) {
        fs::create_directories(fs::path(folder / package).parent_path());
        folder.WriteHostFile(package, "");
    }
    fs::create_directories(folder / "prefix/bin");
    fs::create_directories(folder / "bare/bin");
    const struct {
        const char* program;
        const char* home;
        bool beside;
    } cases[] = {
        {"portable", "portable/", true},
        {"prefix/bin/", "prefix/share/se-retimer/", false},
        {"both/bin", "both/bin/", true},
        {"bare/bin", "bare/bin/", true},
    };
    errno = 0;
    for (const auto& c : cases) {
        NVireo::NFile::SetHomeFolder(folder.ProgramPath(c.program).c_str());
        EXPECT_EQ(NVireo::NFile::HomeFolder(), folder.ProgramPath(c.home)) << c.program;
        EXPECT_EQ(NVireo::NFile::WritesBesideProgram(), c.beside) << c.program;
    }
    EXPECT_EQ(errno, 0) << "start-up takes an error number left behind for a failure";
    NVireo::NFile::SetHomeFolder(previousHome.c_str());
}

// Sets environment variables for one scope (null: unset) and restores them afterwards.
class CEnvironment {
public:
    explicit CEnvironment(std::vector<std::pair<std::string, const char*>> values) {
        for (const auto& [name, value] : values) {
            const char* before = std::getenv(name.c_str());
            saved_.emplace_back(name, before != nullptr, before != nullptr ? before : "");
            value != nullptr ? setenv(name.c_str(), value, 1) : unsetenv(name.c_str());
        }
    }
    ~CEnvironment() {
        for (const auto& [name, set, value] : saved_) {
            set ? setenv(name.c_str(), value.c_str(), 1) : unsetenv(name.c_str());
        }
    }

private:
    std::vector<std::tuple<std::string, bool, std::string>> saved_;
};

// The XDG variables count only when they hold an absolute path; HOME stands in for the
// rest; without either there is no user folder.
TEST(UserFolders, XdgVariablesWhenAbsoluteElseBelowHome) {
    using NVireo::NFile::EUserFolder;
    using NVireo::NFile::UserFolder;
    const struct {
        const char* variable;
        const char* value;
        const char* home;
        EUserFolder kind;
        const char* expected;
    } cases[] = {
        {"XDG_CONFIG_HOME", "/x/config", "/h", EUserFolder::kConfig, "/x/config/se-retimer/"},
        {"XDG_CONFIG_HOME", "/x/config//", "/h", EUserFolder::kConfig, "/x/config/se-retimer/"},
        {"XDG_CONFIG_HOME", "relative", "/h", EUserFolder::kConfig, "/h/.config/se-retimer/"},
        {"XDG_CONFIG_HOME", "", "/h/", EUserFolder::kConfig, "/h/.config/se-retimer/"},
        {"XDG_STATE_HOME", nullptr, "/h", EUserFolder::kState, "/h/.local/state/se-retimer/"},
        {"XDG_STATE_HOME", "/s", "/h", EUserFolder::kState, "/s/se-retimer/"},
        {"XDG_DATA_HOME", nullptr, "/h", EUserFolder::kData, "/h/.local/share/se-retimer/"},
        {"XDG_DATA_HOME", "/d", nullptr, EUserFolder::kData, "/d/se-retimer/"},
        {"XDG_DATA_HOME", nullptr, nullptr, EUserFolder::kData, ""},
        {"XDG_DATA_HOME", nullptr, "relative", EUserFolder::kData, ""},
    };
    errno = 0;
    for (const auto& c : cases) {
        CEnvironment environment({{c.variable, c.value}, {"HOME", c.home}});
        EXPECT_EQ(UserFolder(c.kind), c.expected) << c.variable << "=" << (c.value ? c.value : "");
    }
    EXPECT_EQ(errno, 0);
}

// The pictures folder: what user-dirs.dirs names (through xdg-user-dir when it is
// installed, which reads the same file), else ~/Pictures.
TEST(UserFolders, PicturesFolderFromUserDirsElsePicturesBelowHome) {
    using NVireo::NFile::PicturesFolderOf;
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"XDG_PICTURES_DIR=\"$HOME/Bilder\"\n", "/h/Bilder"},
        {"# XDG_PICTURES_DIR=\"$HOME/no\"\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n", ""},
        {"XDG_PICTURES_DIR=\"/srv/pictures/\"", "/srv/pictures"},
        {"XDG_PICTURES_DIR=\"$HOME/a\"\n  XDG_PICTURES_DIR=\"$HOME/b\"\n", "/h/b"},
        {"XDG_PICTURES_DIR=\"$HOME/\"\n", ""},  // the home folder: none
        {"XDG_PICTURES_DIR=\"$HOMEWORK\"\n", ""},
        {"XDG_PICTURES_DIR=\"relative\"\n", ""},
        {"XDG_PICTURES_DIR=\"$HOME/unterminated\n", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(PicturesFolderOf(c.text, "/h"), c.expected) << c.text;

    TempFolder home;
    CEnvironment environment({{"HOME", home.Host().c_str()}, {"XDG_CONFIG_HOME", nullptr}});
    EXPECT_EQ(NVireo::NFile::UserFolder(NVireo::NFile::EUserFolder::kPictures),
              home.Program() + "/Pictures/se-retimer/");
    fs::create_directories(home / ".config");
    home.WriteHostFile(".config/user-dirs.dirs", "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    EXPECT_EQ(NVireo::NFile::UserFolder(NVireo::NFile::EUserFolder::kPictures),
              home.Program() + "/Bilder/se-retimer/");
}

}  // namespace
