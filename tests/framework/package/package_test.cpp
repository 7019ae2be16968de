// The package reader: the directory read from packages the packer writes and from
// damaged bytes, name normalisation, lookups and their failure messages.
#include "framework/package/package.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/error/error.h"
#include "framework/package/package_key.h"
#include "support/test_support.h"
#include "tools/packer/pack.h"

namespace {

using NVireo::NFile::NSTDIO::CBinary;
using NVireo::NRender::CPackage;
using NVireo::NRender::CPackageKey;
using NVireo::NRender::NormalizeEntryName;

std::string Message() { return NVireo::NError::Record().message; }

// A host file below folder, its folders made as needed.
void Put(const TempFolder& folder, const std::string& hostName, const std::string& bytes) {
    const std::filesystem::path path = folder / hostName;
    std::filesystem::create_directories(path.parent_path());
    folder.WriteHostFile(hostName, bytes);
}

// Packs folder/src into folder/package (a fixed seed, every file as it is) and answers
// its program path.
std::string Pack(const TempFolder& folder) {
    std::filesystem::create_directories(folder / "src");
    std::string reason;
    EXPECT_TRUE(PackFolder(folder / "package", folder / "src", 5, reason, TextFiles::AsTheyAre))
        << reason;
    return folder.ProgramPath("package");
}

// The entry's bytes as read through the stream OpenEntry hands out.
std::string ReadEntry(CPackage& package, const char* name, CPackage::Entry& entry) {
    CBinary file;
    if (!package.OpenEntry(file, entry, name)) return "<not opened>";
    std::string bytes(entry.size, '\0');
    file.ReadBytes(bytes.data(), bytes.size());
    return bytes;
}

// Package bytes written by hand, for directories the packer never writes.
struct RawEntry {
    uint32_t offset, size;
    std::string name;
};
void Put32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}
std::string RawPackage(const std::string& contents, const std::vector<RawEntry>& entries) {
    std::string out = contents;
    Put32(out, static_cast<uint32_t>(entries.size()));
    for (const RawEntry& e : entries) {
        const uint32_t mask = 0xA5C3F00Fu, seed = 0x12345678u;
        Put32(out, mask);
        Put32(out, e.offset ^ mask);
        Put32(out, e.size ^ mask);
        Put32(out, static_cast<uint32_t>(4 + e.name.size()));
        Put32(out, seed);
        CPackageKey key(seed);
        for (char c : e.name) out.push_back(static_cast<char>(c ^ key.Next()));
    }
    Put32(out, static_cast<uint32_t>(contents.size()));
    return out;
}

class PackageTest : public ::testing::Test {
protected:
    RaisePolicy throwing;
    TempFolder folder;
    CPackage package;
};

TEST_F(PackageTest, EveryPackedFileReadsBackByteForByte) {
    const std::vector<std::pair<std::string, std::string>> files = {
        {"src/pd/se/ok.wav", std::string("RIFF\0\0\0\0WAVE", 12)},
        {"src/pd/se/Cancel.WAV", std::string(70000, '\x5C')},
        {"src/empty.bin", ""},
        {"src/a/b/c/deep.txt", "deep"},
        {"src/zero.bin", std::string(3, '\0')},
    };
    for (const auto& [name, bytes] : files) Put(folder, name, bytes);
    package.OpenFrom(Pack(folder).c_str());
    EXPECT_EQ(package.path, folder.ProgramPath("package"));
    ASSERT_EQ(package.directory.count, 5);

    // Contents are stored one after another in name order from offset 0.
    const char* inOrder[] = {"a/b/c/deep.txt", "empty.bin", "pd/se/cancel.wav", "pd/se/ok.wav",
                             "zero.bin"};
    uint32_t expectedOffset = 0;
    size_t i = 0;
    for (const CPackage::Entry& stored : package.directory) {
        ASSERT_LT(i, std::size(inOrder));
        EXPECT_EQ(stored.name, inOrder[i++]);
        EXPECT_EQ(stored.offset, expectedOffset) << stored.name;
        expectedOffset += stored.size;
    }
    for (const auto& [name, bytes] : files) {
        const std::string entryName = NormalizeEntryName(name.substr(4).c_str());
        CPackage::Entry entry;
        EXPECT_EQ(ReadEntry(package, entryName.c_str(), entry), bytes) << name;
        EXPECT_EQ(entry.size, bytes.size());
        EXPECT_EQ(entry.name, entryName);
        EXPECT_EQ(entry.offset, package.Find(entryName.c_str())->offset);
    }
}

TEST_F(PackageTest, NamesAreLowerCasedAndSlashedOutsideDoubleByteCharacters) {
    struct Case {
        const char* asked;
        const char* normalized;
    };
    const Case cases[] = {
        {"PD\\SE\\OK.WAV", "pd/se/ok.wav"},
        {"already/fine-_09.wav", "already/fine-_09.wav"},
        {"@[`{", "@[`{"},                          // neighbours of the letter ranges
        {"\x95\x5C.WAV", "\x95\x5C.wav"},          // a trail byte 0x5C is no separator
        {"\x83\x41\x83\x43", "\x83\x41\x83\x43"},  // trail bytes "A", "C" stay upper case
        {"\x82\xA0\\A", "\x82\xA0/a"},             // after a double-byte character
        {"\xB1X", "\xB1x"},                        // a single-byte katakana is no lead byte
        {"A\x95", "a\x95"},                        // a lead byte with nothing after it
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(NormalizeEntryName(c.asked), c.normalized) << c.asked;
}

TEST_F(PackageTest, LookupsFindEntriesWhateverTheCaseAndSeparator) {
    Put(folder, "src/pd/se/ok.wav", "ok");
    Put(folder, U8(u8"src/\u8868/\u30A2\u30A4.WAV"),
        "japanese");  // the folder's trail byte is 0x5C
    package.OpenFrom(Pack(folder).c_str());
    ASSERT_EQ(package.directory.count, 2);
    EXPECT_NE(package.Find("\x95\x5C/\x83\x41\x83\x43.wav"), nullptr) << "stored without change";

    const char* found[][2] = {
        {"PD\\SE\\OK.WAV", "ok"},
        {"pd/se/ok.wav", "ok"},
        {"Pd/sE\\oK.wAv", "ok"},
        {"\x95\x5C\\\x83\x41\x83\x43.WAV", "japanese"},
    };
    for (const auto& [asked, bytes] : found) {
        CPackage::Entry entry;
        EXPECT_EQ(ReadEntry(package, asked, entry), bytes) << asked;
    }
    const char* missing[] = {"pd/se/ok",
                             "pd/se/ok.wav ",
                             "/pd/se/ok.wav",
                             "\x95/\x83\x41\x83\x43.wav",
                             "\x95\x5C/\x83\x61\x83\x63.wav",
                             ""};
    for (const char* asked : missing) {
        CPackage::Entry entry;
        CBinary file;
        EXPECT_THROW(package.OpenEntry(file, entry, asked), NVireo::NError::CObject) << asked;
        EXPECT_EQ(file.stream, nullptr);
        NVireo::NError::Clear();
    }
}

TEST_F(PackageTest, MissingEntryNamesAskedNormalisedAndPackageOnThreeLines) {
    Put(folder, "src/pd/se/ok.wav", "ok");
    const std::string path = Pack(folder);
    package.OpenFrom(path.c_str());
    CPackage::Entry entry;
    CBinary file;
    EXPECT_THROW(package.OpenEntry(file, entry, "PD\\SE\\NG.WAV"), NVireo::NError::CObject);
    EXPECT_EQ(Message(), "PD\\SE\\NG.WAV\npd/se/ng.wav\n" + path + "\n");
}

TEST_F(PackageTest, UnderAReturningPolicyAMissingEntryAnswersFalse) {
    NVireo::NError::Record().policy = 2;
    package.OpenFrom(Pack(folder).c_str());
    CPackage::Entry entry;
    entry.name = "untouched";
    CBinary file;
    EXPECT_FALSE(package.OpenEntry(file, entry, "x"));
    EXPECT_EQ(file.stream, nullptr);
    EXPECT_EQ(entry.name, "untouched");
}

TEST_F(PackageTest, APackageWithoutEntriesOpensAndFindsNothing) {
    Put(folder, "src/.gitkeep", "");
    const std::string path = Pack(folder);
    EXPECT_EQ(folder.ReadHostFile("package"), std::string(8, '\0'));  // N = 0, directory at 0
    package.OpenFrom(path.c_str());
    EXPECT_EQ(package.path, path);
    EXPECT_EQ(package.directory.count, 0);
    CPackage::Entry entry;
    CBinary file;
    EXPECT_THROW(package.OpenEntry(file, entry, "a.wav"), NVireo::NError::CObject);
    EXPECT_EQ(Message(), "a.wav\na.wav\n" + path + "\n");
}

TEST_F(PackageTest, TheScenarioPackageIsNeverOpened) {
    CPackage::Entry entry;
    CBinary file;
    EXPECT_THROW(NVireo::NRender::ScenarioPackage().OpenEntry(file, entry, "Scenario\\A.BMP"),
                 NVireo::NError::CObject);
    EXPECT_EQ(Message(), "Scenario\\A.BMP\nscenario/a.bmp\nnon initialized");
}

TEST_F(PackageTest, OpenReadsDataPackageOfTheCurrentFolder) {
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(folder.Host());
    EXPECT_THROW(NVireo::NRender::ProgramPackage().Open(), NVireo::NError::CObject);
    EXPECT_EQ(Message(), "The 'Data/package' file could not be found.");
    NVireo::NError::Clear();

    Put(folder, "src/pd/se/ok.wav", "ok");
    std::filesystem::create_directories(folder / "Data");
    std::string reason;
    ASSERT_TRUE(PackFolder(folder / "Data/package", folder / "src", 1, reason)) << reason;
    NVireo::NRender::ProgramPackage().Open();
    EXPECT_EQ(NVireo::NRender::ProgramPackage().path, "Data/package");
    CPackage::Entry entry;
    EXPECT_EQ(ReadEntry(NVireo::NRender::ProgramPackage(), "PD\\SE\\OK.WAV", entry), "ok");
    std::filesystem::current_path(before);
}

TEST_F(PackageTest, OpeningAgainReplacesTheDirectory) {
    Put(folder, "src/first.wav", "1");
    package.OpenFrom(Pack(folder).c_str());
    std::filesystem::remove(folder / "src/first.wav");
    Put(folder, "src/second.wav", "2");
    package.OpenFrom(Pack(folder).c_str());
    EXPECT_EQ(package.Find("first.wav"), nullptr);
    EXPECT_NE(package.Find("second.wav"), nullptr);
    EXPECT_EQ(package.directory.count, 1);
}

TEST_F(PackageTest, DamagedDirectoriesAreReportedAsShortReads) {
    const std::string good = RawPackage("abcdef", {{0, 3, "a"}, {3, 3, "b"}});
    const auto withU32 = [](std::string bytes, size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
        return bytes;
    };
    const size_t count = 6, firstLength = count + 4 + 12;
    struct Case {
        const char* what;
        std::string bytes;
        const char* message;  // empty: only the form is checked
    };
    const Case cases[] = {
        {"empty file", "", "0(0),T=4"},
        {"three bytes", "abc", "0(3),T=4"},
        {"directory offset past the end", withU32(good, good.size() - 4, 1000), ""},
        {"directory offset in the last bytes", withU32(good, good.size() - 4, good.size() - 2), ""},
        {"count larger than the file", withU32(good, count, 0xFFFFFFFFu), ""},
        {"count one too many", withU32(good, count, 3), ""},
        {"name length larger than the file", withU32(good, firstLength, 0xFFFFFFF0u), ""},
        {"name length one past the end",
         withU32(good, firstLength, static_cast<uint32_t>(good.size())), ""},
        {"cut inside the directory", good.substr(0, good.size() - 9) + good.substr(good.size() - 4),
         ""},
    };
    // "<position>(<size>),T=<wanted>": the short-read report.
    auto isShortRead = [](const std::string& text) {
        int position = 0, consumed = 0;
        unsigned size = 0, wanted = 0;
        return std::sscanf(text.c_str(), "%d(%u),T=%u%n", &position, &size, &wanted, &consumed) ==
                   3 &&
               static_cast<size_t>(consumed) == text.size();
    };
    for (const Case& c : cases) {
        folder.WriteHostFile("package", c.bytes);
        const std::string path = folder.ProgramPath("package");
        EXPECT_THROW(package.OpenFrom(path.c_str()), NVireo::NError::CObject) << c.what;
        EXPECT_TRUE(isShortRead(Message())) << c.what << ": " << Message();
        if (*c.message) {
            EXPECT_EQ(Message(), c.message) << c.what;
        }
        EXPECT_EQ(package.path, "") << c.what;
        NVireo::NError::Clear();

        // When the report returns, reading stops: the package stays closed.
        NVireo::NError::Record().policy = 3;
        package.OpenFrom(path.c_str());
        EXPECT_EQ(package.path, "") << c.what;
        EXPECT_LE(package.directory.count, 2) << c.what;
        NVireo::NError::Clear();
        NVireo::NError::Record().policy = 1;
    }
}

TEST_F(PackageTest, OddButReadableDirectoriesLoad) {
    // Names are taken as stored: a name block with only its seed gives an empty name; a
    // repeated name keeps its first entry; an entry may lie outside the file (its reader
    // then meets the end of the file).
    std::string bytes =
        RawPackage("xyz", {{0, 1, "dup"}, {1, 1, "dup"}, {2, 1, ""}, {500, 9, "far"}});
    folder.WriteHostFile("package", bytes);
    package.OpenFrom(folder.ProgramPath("package").c_str());
    EXPECT_EQ(package.directory.count, 3);
    EXPECT_EQ(package.Find("dup")->offset, 0u);
    EXPECT_EQ(package.Find("")->offset, 2u);
    CPackage::Entry entry;
    CBinary file;
    ASSERT_TRUE(package.OpenEntry(file, entry, "FAR"));
    char byte;
    EXPECT_FALSE(file.TryRead(&byte, 1));
}

}  // namespace
