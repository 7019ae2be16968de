// The layer's file services: the C runtime calls and kernel32 file calls, on real files
// in a scratch folder, with the Windows error codes callers rely on.
#include <direct.h>
#include <gtest/gtest.h>
#include <hostpath.h>
#include <io.h>
#include <sys/stat.h>
#include <unistd.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> HostNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

mode_t ModeOf(const std::string& hostPath) {
    struct stat info {};
    stat(hostPath.c_str(), &info);
    return info.st_mode & 07777;
}

mode_t CurrentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

TEST(Files, JapaneseNameIsARealUtf8File) {
    TempFolder folder;
    FILE* file = nullptr;
    ASSERT_EQ(fopen_s(&file, folder.ProgramPath("表.wav").c_str(), "wb"), 0);
    std::fputs("RIFF", file);
    std::fclose(file);
    EXPECT_EQ(HostNames(folder.Host()), std::vector<std::string>{"\xE8\xA1\xA8.wav"});
    EXPECT_EQ(folder.ReadHostFile("\xE8\xA1\xA8.wav"), "RIFF");
    // A separator written the Windows way reaches the same file.
    std::string windowsPath = folder.ProgramPath("表.wav");
    std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
    ASSERT_EQ(fopen_s(&file, windowsPath.c_str(), "rb"), 0);
    std::fclose(file);
}

TEST(Files, NamesCodePage932LacksAreCreatedOpenedAndListedBack) {
    const char* hostNames[] = {
        "caf\xC3\xA9.wav",       // accented letter
        "\xF0\x9F\x8E\xB5.wav",  // emoji
        "back\\slash.wav",       // a backslash is part of a Linux name
        "\xEE\x80\x80.wav",      // private use
        "bad\xFF.wav",           // not UTF-8 at all
        "\xC2\xA5"
        "100.wav",  // U+00A5, which iconv would turn into "\"
    };
    for (const char* hostName : hostNames) {
        TempFolder folder;
        const std::string programName = HostToProgramPath(hostName);
        FILE* file = nullptr;
        ASSERT_EQ(fopen_s(&file, folder.ProgramPath(programName).c_str(), "w"), 0) << hostName;
        std::fputs("data", file);
        std::fclose(file);

        const std::vector<std::string> listed = HostNames(folder.Host());
        ASSERT_EQ(listed, std::vector<std::string>{hostName});
        // The name as the program would get it from a listing opens the same file.
        const std::string again = folder.ProgramPath(HostToProgramPath(listed[0]));
        ASSERT_EQ(fopen_s(&file, again.c_str(), "r"), 0) << hostName;
        char text[8] = {};
        EXPECT_EQ(std::fread(text, 1, sizeof text, file), 4u);
        std::fclose(file);
        EXPECT_STREQ(text, "data");
    }
}

TEST(Files, FopenSModesAndFailures) {
    TempFolder folder;
    folder.WriteHostFile("there.txt", "x");
    fs::create_directory(folder.HostPath("sub"));
    struct Case {
        const char* name;
        const char* mode;
        errno_t result;
        DWORD lastError;
    };
    const Case cases[] = {
        {"there.txt", "rt", 0, 0},
        {"there.txt", "r+b", 0, 0},
        {"there.txt", "at", 0, 0},
        {"new.txt", "wx", 0, 0},
        {"there.txt", "wx", EEXIST, ERROR_ALREADY_EXISTS},
        {"missing.txt", "r", ENOENT, ERROR_FILE_NOT_FOUND},
        {"nofolder/x.txt", "w", ENOENT, ERROR_PATH_NOT_FOUND},
        {"sub", "r", EACCES, ERROR_ACCESS_DENIED},  // a folder is no file, as on Windows
        {"sub", "w", EACCES, ERROR_ACCESS_DENIED},
        {"there.txt/x", "r", ENOTDIR, ERROR_DIRECTORY},
        {"there.txt", "q", EINVAL, ERROR_INVALID_PARAMETER},
        {"there.txt", "rw", EINVAL, ERROR_INVALID_PARAMETER},
        {"there.txt", "rb, ccs=UTF-8", EINVAL, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        FILE* file = reinterpret_cast<FILE*>(&folder);  // must be overwritten
        const errno_t result = fopen_s(&file, folder.ProgramPath(c.name).c_str(), c.mode);
        EXPECT_EQ(result, c.result) << c.name << " " << c.mode;
        EXPECT_EQ(GetLastError(), c.lastError) << c.name << " " << c.mode;
        if (result == 0) {
            ASSERT_NE(file, nullptr);
            std::fclose(file);
        } else {
            EXPECT_EQ(file, nullptr);
        }
    }
}

TEST(Files, AccessUnlinkAndMkdir) {
    TempFolder folder;
    folder.WriteHostFile("f", "x");
    const std::string file = folder.ProgramPath("f");
    const std::string missing = folder.ProgramPath("missing");
    struct Case {
        const std::string* path;
        int mode;
        int result;
        int error;
    };
    const Case cases[] = {
        {&file, 0, 0, 0},       {&file, 2, 0, 0},          {&file, 4, 0, 0},
        {&file, 6, 0, 0},       {&missing, 0, -1, ENOENT}, {&missing, 6, -1, ENOENT},
        {&file, 1, -1, EINVAL}, {&file, 8, -1, EINVAL},
    };
    for (const Case& c : cases) {
        errno = 0;
        EXPECT_EQ(_access(c.path->c_str(), c.mode), c.result) << *c.path << " " << c.mode;
        if (c.result != 0) {
            EXPECT_EQ(errno, c.error) << *c.path << " " << c.mode;
        }
    }

    const std::string sub = folder.ProgramPath("表");
    EXPECT_EQ(_mkdir(sub.c_str()), 0);
    EXPECT_TRUE(fs::is_directory(folder.HostPath("\xE8\xA1\xA8")));
    EXPECT_EQ(_mkdir(sub.c_str()), -1);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(_mkdir(folder.ProgramPath("no/deeper").c_str()), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

    EXPECT_EQ(_unlink(sub.c_str()), -1);  // folders are not unlinked
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(_unlink(file.c_str()), 0);
    EXPECT_FALSE(fs::exists(folder.HostPath("f")));
    EXPECT_EQ(_unlink(file.c_str()), -1);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(Files, CaseInsensitiveComparisonFoldsOnlyAsciiLetters) {
    struct Case {
        const char* a;
        const char* b;
        int sign;
    };
    const Case cases[] = {
        {"Clip.WAV", "clip.wav", 0},
        {"abc", "abd", -1},
        {"b", "A", 1},
        {"ab", "abc", -1},
        {"", "", 0},
        {"[", "a", -1},                 // '[' (0x5B) sorts before 'a', not after 'A'
        {"\x83\x41", "\x83\x61", -1},   // two katakana: trail bytes are not letters
        {"\x83\x41X", "\x83\x41x", 0},  // the letter after them still folds
        {"\xC9", "\xE9", -1},           // no folding beyond ASCII
    };
    const auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (const Case& c : cases) {
        EXPECT_EQ(sign(_stricmp(c.a, c.b)), c.sign) << c.a << " " << c.b;
        EXPECT_EQ(sign(_stricmp(c.b, c.a)), -c.sign) << c.a << " " << c.b;
    }
    EXPECT_EQ(_strnicmp("CLIP.wav", "clip.txt", 5), 0);
    EXPECT_GT(_strnicmp("CLIP.wav", "clip.txt", 6), 0);
    EXPECT_EQ(_strnicmp("abc", "xyz", 0), 0);
}

TEST(Files, AttributesAndFailureCodes) {
    TempFolder folder;
    folder.WriteHostFile("f", "x");
    folder.WriteHostFile("ro", "x");
    fs::create_directory(folder.HostPath("d"));
    chmod(folder.HostPath("ro").c_str(), 0444);
    EXPECT_EQ(GetFileAttributesA(folder.ProgramPath("f").c_str()), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesA(folder.ProgramPath("ro").c_str()), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(GetFileAttributesA(folder.ProgramPath("d").c_str()), FILE_ATTRIBUTE_DIRECTORY);

    struct Case {
        const char* name;
        DWORD lastError;
    };
    const Case missing[] = {
        {"missing", ERROR_FILE_NOT_FOUND},
        {"nofolder/missing", ERROR_PATH_NOT_FOUND},
        {"f/x", ERROR_DIRECTORY},
    };
    for (const Case& c : missing) {
        const std::string path = folder.ProgramPath(c.name);
        EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << c.name;
        EXPECT_EQ(GetLastError(), c.lastError) << c.name;
        EXPECT_FALSE(DeleteFileA(path.c_str())) << c.name;
        EXPECT_EQ(GetLastError(), c.lastError) << c.name;
    }
    EXPECT_FALSE(DeleteFileA(folder.ProgramPath("d").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(DeleteFileA(folder.ProgramPath("f").c_str()));
    EXPECT_FALSE(fs::exists(folder.HostPath("f")));

    EXPECT_TRUE(CreateDirectoryA(folder.ProgramPath("ソ").c_str(), nullptr));
    EXPECT_TRUE(fs::is_directory(folder.HostPath("\xE3\x82\xBD")));
    EXPECT_FALSE(CreateDirectoryA(folder.ProgramPath("ソ").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectoryA(folder.ProgramPath("no/x").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    int securityAttributes = 0;
    EXPECT_FALSE(CreateDirectoryA(folder.ProgramPath("s").c_str(), &securityAttributes));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
}

TEST(Files, MoveReplacingKeepsTheReplacedFilesMode) {
    TempFolder folder;
    folder.WriteHostFile("new.tmp", "new");
    folder.WriteHostFile("saved.wav", "old");
    chmod(folder.HostPath("new.tmp").c_str(), 0600);
    chmod(folder.HostPath("saved.wav").c_str(), 0754);
    const std::string source = folder.ProgramPath("new.tmp");
    const std::string target = folder.ProgramPath("saved.wav");

    EXPECT_FALSE(MoveFileExA(source.c_str(), target.c_str(), 0));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(folder.ReadHostFile("new.tmp"), "new");
    EXPECT_EQ(folder.ReadHostFile("saved.wav"), "old");
    EXPECT_EQ(ModeOf(folder.HostPath("new.tmp")), 0600u);  // untouched by the failure

    EXPECT_TRUE(MoveFileExA(source.c_str(), target.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ(HostNames(folder.Host()), std::vector<std::string>{"saved.wav"});
    EXPECT_EQ(folder.ReadHostFile("saved.wav"), "new");
    EXPECT_EQ(ModeOf(folder.HostPath("saved.wav")), 0754u);
}

TEST(Files, MoveFailureCodes) {
    TempFolder folder;
    folder.WriteHostFile("a", "a");
    fs::create_directory(folder.HostPath("d"));
    const std::string a = folder.ProgramPath("a");
    struct Case {
        std::string from;
        std::string to;
        DWORD flags;
        DWORD lastError;
    };
    const Case cases[] = {
        {folder.ProgramPath("missing"), folder.ProgramPath("b"), 0, ERROR_FILE_NOT_FOUND},
        {a, folder.ProgramPath("no/b"), 0, ERROR_PATH_NOT_FOUND},
        {a, folder.ProgramPath("no/b"), MOVEFILE_REPLACE_EXISTING, ERROR_PATH_NOT_FOUND},
        {a, folder.ProgramPath("d"), MOVEFILE_REPLACE_EXISTING, ERROR_ACCESS_DENIED},
        {a, folder.ProgramPath("b"), 0x2 /* MOVEFILE_COPY_ALLOWED */, ERROR_NOT_SUPPORTED},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(MoveFileExA(c.from.c_str(), c.to.c_str(), c.flags)) << c.to;
        EXPECT_EQ(GetLastError(), c.lastError) << c.from << " -> " << c.to;
    }
    EXPECT_EQ(folder.ReadHostFile("a"), "a");
    // A plain move into a Japanese name.
    EXPECT_TRUE(MoveFileExA(a.c_str(), folder.ProgramPath("d\\表").c_str(), 0));
    EXPECT_EQ(folder.ReadHostFile("d/\xE8\xA1\xA8"), "a");
}

TEST(Files, TempFileNamesAreNewEmptyAndDistinct) {
    TempFolder folder;
    const mode_t expectedMode = 0666 & ~CurrentUmask();
    std::set<std::string> names;
    for (int i = 0; i < 64; ++i) {
        char path[MAX_PATH];
        const UINT number = GetTempFileNameA(folder.ProgramPath("").c_str(), "sewave", 0, path);
        ASSERT_NE(number, 0u);
        char expected[MAX_PATH];
        std::snprintf(expected, sizeof expected, "%s/sew%X.tmp", folder.Host().c_str(), number);
        ASSERT_EQ(ProgramToHostPath(path), expected);
        EXPECT_TRUE(fs::is_regular_file(expected));
        EXPECT_EQ(fs::file_size(expected), 0u);
        EXPECT_EQ(ModeOf(expected), expectedMode);
        names.insert(path);
    }
    EXPECT_EQ(names.size(), 64u);
    EXPECT_EQ(HostNames(folder.Host()).size(), 64u);

    // The folder without a trailing separator; a prefix of three double-byte characters.
    char path[MAX_PATH];
    ASSERT_NE(GetTempFileNameA(folder.Program().c_str(), "表表表表", 0, path), 0u);
    const std::string name = ProgramToHostPath(path).substr(folder.Host().size() + 1);
    EXPECT_EQ(name.rfind("\xE8\xA1\xA8\xE8\xA1\xA8\xE8\xA1\xA8", 0), 0u) << name;
    EXPECT_NE(name.find(".tmp"), std::string::npos);
    EXPECT_EQ(name.find("\xE8\xA1\xA8", 9), std::string::npos) << name;

    EXPECT_EQ(GetTempFileNameA(folder.ProgramPath("nofolder").c_str(), "x", 0, path), 0u);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(GetTempFileNameA(folder.ProgramPath("").c_str(), "x", 7, path), 0u);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    const std::string deep(MAX_PATH, 'd');
    EXPECT_EQ(GetTempFileNameA(deep.c_str(), "x", 0, path), 0u);
    EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
}

TEST(Files, ModuleFileNameIsTheRunningProgram) {
    const std::string expected = HostToProgramPath(fs::read_symlink("/proc/self/exe").string());
    char path[4096];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    EXPECT_EQ(length, expected.size());
    EXPECT_EQ(std::string(path), expected);

    char small[8];
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), sizeof small);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::string(small), expected.substr(0, 7));
}

TEST(Files, CurrentFolderInAJapaneseName) {
    TempFolder folder;
    const std::string previous = fs::current_path().string();
    fs::create_directory(folder.HostPath("\xE8\xA1\xA8\xE3\x82\xBD"));
    folder.WriteHostFile("plain", "x");
    const std::string target = folder.ProgramPath("表ソ");

    ASSERT_TRUE(SetCurrentDirectoryA(target.c_str()));
    char buffer[4096];
    EXPECT_EQ(GetCurrentDirectoryA(sizeof buffer, buffer), target.size());
    EXPECT_EQ(std::string(buffer), target);
    // Too small: the size needed with the terminator, and the buffer untouched.
    char small[4] = "abc";
    EXPECT_EQ(GetCurrentDirectoryA(sizeof small, small), target.size() + 1);
    EXPECT_STREQ(small, "abc");
    EXPECT_EQ(fs::current_path().string(), folder.HostPath("\xE8\xA1\xA8\xE3\x82\xBD"));

    EXPECT_FALSE(SetCurrentDirectoryA(folder.ProgramPath("plain").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
    EXPECT_FALSE(SetCurrentDirectoryA(folder.ProgramPath("missing").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    fs::current_path(previous);
}

}  // namespace
