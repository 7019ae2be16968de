// se-pack, run as the build and a developer run it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/package/package.h"
#include "framework/text/string_table.h"
#include "support/test_support.h"
#include "tools/packer/pack.h"

namespace {

using NVireo::NRender::CPackage;
using NVireo::NText::StringTableBytes;
using Entries = std::vector<std::pair<uint32_t, std::string>>;

Result Pack(const std::string& arguments) { return RunProgram(SE_PACK_PATH, arguments); }

struct Listed {
    std::string name;
    uint32_t offset, size;
    bool operator==(const Listed&) const = default;
};

std::vector<Listed> Directory(const std::string& hostPath) {
    RaisePolicy throwing;
    CPackage package;
    package.OpenFrom(HostToProgramPath(hostPath).c_str());
    std::vector<Listed> listed;
    for (const CPackage::Entry& e : package.directory) listed.push_back({e.name, e.offset, e.size});
    return listed;
}

class PackerTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"src/Title.BMP", "src/pd/se/ok.wav", "src/.gitkeep",
                                 "src/.hidden/secret.wav", "src/pd/.swap"}) {
            std::filesystem::create_directories(std::filesystem::path(folder / name).parent_path());
            folder.WriteHostFile(name, std::string(name) + " bytes");
        }
    }
    TempFolder folder;
};

TEST_F(PackerTest, PacksEveryVisibleFileUnderItsNormalisedName) {
    const Result r = Pack(Quote(folder / "out") + " " + Quote(folder / "src"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "");
    const std::vector<Listed> expected = {{"pd/se/ok.wav", 0, 22}, {"title.bmp", 22, 19}};
    EXPECT_EQ(Directory(folder / "out"), expected);
}

TEST_F(PackerTest, AFixedSeedGivesTheSameBytesAndAnotherSeedOtherBytes) {
    const std::string src = Quote(folder / "src");
    for (const char* run : {"--seed 7 %/a", "--seed 7 %/b", "--seed 8 %/c", "%/d"}) {
        std::string arguments = run;
        arguments.replace(arguments.find('%'), 1, Quote(folder.Host()));
        ASSERT_EQ(Pack(arguments + " " + src).status, 0) << arguments;
    }
    const std::string a = folder.ReadHostFile("a");
    EXPECT_EQ(a, folder.ReadHostFile("b"));
    EXPECT_NE(a, folder.ReadHostFile("c"));
    EXPECT_NE(a, folder.ReadHostFile("d"));
    EXPECT_EQ(a.size(), folder.ReadHostFile("c").size());
    // Only the scrambling differs: the contents and the directory they lead to are the same.
    EXPECT_EQ(a.substr(0, 41), folder.ReadHostFile("c").substr(0, 41));
    EXPECT_EQ(Directory(folder / "a"), Directory(folder / "c"));
    EXPECT_EQ(Directory(folder / "a"), Directory(folder / "d"));
}

TEST_F(PackerTest, ExitStatusSaysWhatWentWrong) {
    folder.WriteHostFile("src2", "");
    std::filesystem::create_directories(folder / "clash");
    folder.WriteHostFile("clash/A.wav", "1");
    folder.WriteHostFile("clash/a.wav", "2");
    struct Case {
        std::string arguments;
        int status;
        const char* says;
    };
    const std::string out = Quote(folder / "out"), src = Quote(folder / "src");
    const Case cases[] = {
        {"", 2, "usage:"},
        {out, 2, "usage:"},
        {out + " " + src + " extra", 2, "usage:"},
        {"--seed " + out + " " + src, 2, "--seed needs a number"},
        {out + " " + src + " --seed", 2, "usage:"},
        {"--seed -1 " + out + " " + src, 2, "--seed needs a number"},
        {"--seed 4294967296 " + out + " " + src, 2, "--seed needs a number"},
        {"--seed 12x " + out + " " + src, 2, "--seed needs a number"},
        {"--level 9 " + out + " " + src, 2, "unknown option --level"},
        {out + " " + Quote(folder / "missing"), 1, "se-pack: not a folder:"},
        {out + " " + Quote(folder / "src2"), 1, "se-pack: not a folder:"},
        {Quote(folder / "no/such/folder/out") + " " + src, 1, "se-pack: cannot write"},
        {out + " " + Quote(folder / "clash"), 1, "se-pack: two files have the entry name a.wav"},
        {"--seed 4294967295 " + out + " " + src, 0, ""},
    };
    for (const Case& c : cases) {
        const Result r = Pack(c.arguments);
        EXPECT_EQ(r.status, c.status) << c.arguments << "\n" << r.out;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << c.arguments << "\n" << r.out;
        if (c.status == 1) {
            EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
        }
    }
}

TEST_F(PackerTest, AnEarlierPackageInsideTheFolderIsNotPackedAgain) {
    std::string reason;
    ASSERT_TRUE(PackFolder(folder / "src/package", folder / "src", 1, reason)) << reason;
    ASSERT_TRUE(PackFolder(folder / "src/package", folder / "src", 1, reason)) << reason;
    EXPECT_EQ(Directory(folder / "src/package").size(), 2u);
}

// The bytes of one entry of a package.
std::string EntryBytes(const std::string& hostPath, const std::string& name) {
    const std::vector<uint8_t> file = ReadFile(hostPath);
    const std::string bytes(file.begin(), file.end());
    RaisePolicy throwing;
    CPackage package;
    package.OpenFrom(HostToProgramPath(hostPath).c_str());
    const CPackage::Entry* entry = package.Find(name.c_str());
    if (entry == nullptr) return "(no entry " + name + ")";
    return bytes.substr(entry->offset, entry->size);
}

const std::string kHeader = "#header H\n";

TEST(StringTableSource, CompilesToTheTableInIdOrder) {
    struct Case {
        const char* what;
        std::string source;
        std::string header;
        Entries entries;
    };
    const Case cases[] = {
        {"comments, blank lines, ids sorted",
         kHeader + "# note\n\n  \t\n5\tb\n1\ta\n",
         "H",
         {{1, "a"}, {5, "b"}}},
        {"empty file body", kHeader, "H", {}},
        {"bare header, no final line break", "#header\n0\tx", "", {{0, "x"}}},
        {"header keeps its blanks", "#header  spaced: \n", " spaced: ", {}},
        {"byte-order mark and CR LF", "\xEF\xBB\xBF#header H\r\n1\ta\r\n", "H", {{1, "a"}}},
        {"escapes", kHeader + "1\ta\\nb\\tc\\\\d\\\\n\n", "H", {{1, "a\nb\tc\\d\\n"}}},
        {"escape in the header", "#header a\\nb\n", "a\nb", {}},
        {"empty text, tab kept in the text",
         kHeader + "7\t\n8\tx\ty\n",
         "H",
         {{7, ""}, {8, "x\ty"}}},
        {"smallest and largest id",
         kHeader + "4294967295\tmax\n0\tmin\n00012\ttwelve\n",
         "H",
         {{0, "min"}, {12, "twelve"}, {4294967295u, "max"}}},
        {"Japanese text", kHeader + U8(u8"3\tテスト\n"), "H", {{3, "\x83\x65\x83\x58\x83\x67"}}},
        // Trail byte 0x5C: still part of its character, not a backslash.
        {"trail bytes that look like ASCII",
         kHeader + U8(u8"3\t表ソ\\\\\n"),
         "H",
         {{3, "\x95\x5C\x83\x5C\\"}}},
        {"full-width tilde and NEC special characters",
         kHeader + U8(u8"3\t～①㈱\n"),
         "H",
         {{3, "\x81\x60\x87\x40\x87\x8A"}}},
    };
    for (const Case& c : cases) {
        std::string table, reason;
        EXPECT_TRUE(CompileStringTable(c.source, "s.txt", table, reason))
            << c.what << ": " << reason;
        EXPECT_EQ(table, StringTableBytes(c.header, c.entries)) << c.what;
    }
}

TEST(StringTableSource, RejectsWhatItCannotCompileNamingTheLine) {
    struct Case {
        std::string source;
        std::string says;  // after "s.txt:"
    };
    const Case cases[] = {
        {"", "1: the first line must be the header line"},
        {"1\ta\n", "1: the first line must be the header line"},
        {"#headerX\n", "1: the first line must be the header line"},
        {"\n#header H\n", "1: the first line must be the header line"},
        {kHeader + "#header again\n", "2: a second header line"},
        {kHeader + "abc\n", "2: not an entry"},
        {kHeader + "\t1\ta\n", "2: not an entry"},
        {kHeader + "-1\ta\n", "2: not an entry"},
        {kHeader + "1\ta\n12 a\n", "3: a tab must follow the id 12"},
        {kHeader + "12\n", "2: a tab must follow the id 12"},
        {kHeader + "4294967296\tx\n", "2: the id 4294967296 is out of range"},
        {kHeader + "99999999999999999999999\tx\n",
         "2: the id 99999999999999999999999 is out of range"},
        {kHeader + "1\ta\n\n# c\n001\tb\n", "5: the id 1 is already on line 2"},
        {kHeader + "1\ta\\x\n", "2: the escape \\x is unknown"},
        {kHeader + U8(u8"1\ta\\あ\n"), U8(u8"2: the escape \\あ is unknown")},
        {kHeader + "1\ta\\\n", "2: a backslash ends the line"},
        {"#header \\q\n", "1: the escape \\q is unknown"},
        {kHeader + U8(u8"1\t\u20AC\n"), U8(u8"2: U+20AC \"\u20AC\" is not in code page 932")},
        {kHeader + U8(u8"1\t\u00E9\n"), U8(u8"2: U+00E9 \"\u00E9\" is not in code page 932")},
        {kHeader + U8(u8"1\t\U0001F600\n"), "2: U+1F600"},
        // Characters glibc folds onto another one's code: the message names the other.
        {kHeader + U8(u8"1\t\u301C\n"),
         U8(u8"2: U+301C \"\u301C\" is not in code page 932 (U+FF5E \"～\" is)")},
        {kHeader + U8(u8"1\t¥\n"),
         "2: U+00A5 \"\xC2\xA5\" is not in code page 932 (U+005C \"\\\" is)"},
        {kHeader + U8(u8"1\t\uE000\n"), "2: U+E000"},
        {kHeader + "1\ta\xFF\n", "2: not UTF-8 text (byte 0xFF)"},
        {kHeader + "1\t\xC0\xAF\n", "2: not UTF-8 text (byte 0xC0)"},      // overlong "/"
        {kHeader + "1\t\xED\xA0\x80\n", "2: not UTF-8 text (byte 0xED)"},  // a surrogate
        {kHeader + "1\t\xE3\x81", "2: not UTF-8 text (byte 0xE3)"},        // cut short
        {kHeader + std::string("1\ta\0b\n", 6), "2: a control character U+0000"},
        {kHeader + "1\ta\rb\n", "2: a control character U+000D"},
        {kHeader + "1\ta\x7F\n", "2: a control character U+007F"},
    };
    for (const Case& c : cases) {
        std::string table = "untouched", reason;
        EXPECT_FALSE(CompileStringTable(c.source, "s.txt", table, reason)) << c.says;
        EXPECT_EQ(reason.rfind("s.txt:" + c.says, 0), 0u) << reason;
        EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
        EXPECT_EQ(table, "untouched");
    }
}

TEST_F(PackerTest, TextFilesArePackedAsCompiledTables) {
    std::filesystem::create_directories(folder / "src/Program/String");
    folder.WriteHostFile("src/Program/String/Strings.txt", "#header S\n2\tb\n1\ta\n");
    folder.WriteHostFile("src/Notes.TXT", "#header N\n");
    const Result r = Pack("--seed 3 " + Quote(folder / "out") + " " + Quote(folder / "src"));
    ASSERT_EQ(r.status, 0) << r.out;
    std::vector<std::string> names;
    for (const Listed& e : Directory(folder / "out")) names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{"notes.pd", "pd/se/ok.wav",
                                               "program/string/strings.pd", "title.bmp"}));
    EXPECT_EQ(EntryBytes(folder / "out", "program/string/strings.pd"),
              StringTableBytes("S", {{1, "a"}, {2, "b"}}));
    EXPECT_EQ(EntryBytes(folder / "out", "notes.pd"), StringTableBytes("N", {}));
}

TEST_F(PackerTest, ABrokenTextFileFailsThePackNamingFileAndLine) {
    const std::string out = Quote(folder / "out"), src = Quote(folder / "src");
    ASSERT_EQ(Pack(out + " " + src).status, 0);  // an earlier package, replaced or removed
    folder.WriteHostFile("src/Strings.txt", "#header S\n1\ta\n1\tb\n");
    Result r = Pack(out + " " + src);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "se-pack: " + (folder / "src/Strings.txt") + ":3: the id 1 is already on line 2\n");
    EXPECT_FALSE(std::filesystem::exists(folder / "out"));

    // A source and a table of the same name would be one entry.
    folder.WriteHostFile("src/Strings.txt", "#header S\n");
    folder.WriteHostFile("src/strings.pd", "");
    r = Pack(out + " " + src);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("two files have the entry name strings.pd"), std::string::npos) << r.out;
}

TEST(BuiltPackage, TheBuildPacksTheDataFolderWithSeedOne) {
    const std::string built =
        (std::filesystem::path(SE_PACK_PATH).parent_path() / "Data/package").string();
    TempFolder folder;
    std::string reason;
    ASSERT_TRUE(PackFolder(folder / "package", SE_SOURCE_DIR "/data", 1, reason)) << reason;
    EXPECT_EQ(ReadFile(built), ReadFile(folder / "package"));
    EXPECT_EQ(Directory(built), Directory(folder / "package"));
}

}  // namespace
