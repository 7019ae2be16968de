// String tables: written with StringTableBytes, packed, loaded back through the program
// package; the extension rule, lookup failures and damaged tables.
#include "framework/text/string_table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "framework/error/error.h"
#include "framework/package/package.h"
#include "support/test_support.h"
#include "tools/packer/pack.h"

namespace {

using NVireo::NFile::NSTDIO::CBinary;
using NVireo::NText::CStringTable;
using NVireo::NText::StringTableBytes;
using Entries = std::vector<std::pair<uint32_t, std::string>>;

std::string Message() { return NVireo::NError::Record().message; }

// Packs the named files (host names below the package root, finished bytes even for a
// ".txt" name) into folder/package and opens it as the program package.
void OpenPackage(const TempFolder& folder,
                 const std::vector<std::pair<std::string, std::string>>& files) {
    for (const auto& [name, bytes] : files) {
        const std::filesystem::path path = folder / ("src/" + name);
        std::filesystem::create_directories(path.parent_path());
        folder.WriteHostFile("src/" + name, bytes);
    }
    std::filesystem::create_directories(folder / "src");
    std::string reason;
    ASSERT_TRUE(PackFolder(folder / "package", folder / "src", 7, reason, TextFiles::AsTheyAre))
        << reason;
    NVireo::NRender::ProgramPackage().OpenFrom(folder.ProgramPath("package").c_str());
}

// Reads a table from raw bytes through a stream over a file holding them.
bool ReadBytes(const TempFolder& folder, const std::string& bytes, CStringTable& table) {
    folder.WriteHostFile("table", bytes);
    CBinary file;
    file.Open(folder.ProgramPath("table").c_str(), "rb");
    return table.Read(file, bytes.size());
}

const Entries kEntries = {{0, "SE Retimer"},
                          {3, "\x83\x65\x83\x58\x83\x67"},  // テスト
                          {11000, "Product"},
                          {4294967295u, ""},
                          {100000, "placeholder"}};

TEST(StringTable, BytesFollowTheLayout) {
    EXPECT_EQ(StringTableBytes("H", {{0x01020304u, "ab"}}),
              std::string("\x01\0\0\0H\x01\0\0\0\x04\x03\x02\x01\x02\0\0\0ab", 19));
    EXPECT_EQ(StringTableBytes("", {}), std::string(8, '\0'));
}

TEST(StringTable, RoundTripThroughThePackage) {
    RaisePolicy throwing;
    TempFolder folder;
    OpenPackage(folder, {{"Program/String/Strings.pd", StringTableBytes("strings\n", kEntries)},
                         {"Program/String/System.pd", StringTableBytes("system\n", {{5, "x"}})}});
    CStringTable& table = NVireo::NText::ApplicationStrings();
    table.Load(NVireo::NText::kApplicationStringsName);
    EXPECT_EQ(table.header, "strings\n");
    ASSERT_EQ(table.texts.size(), kEntries.size());
    for (const auto& [id, text] : kEntries) EXPECT_EQ(table.Get(id), text) << id;

    NVireo::NText::SystemStrings().Load(NVireo::NText::kSystemStringsName);
    EXPECT_EQ(NVireo::NText::SystemStrings().Get(5), "x");
    // Loading again empties the table first.
    table.Load("Program/String/System.txt");
    EXPECT_EQ(table.header, "system\n");
    EXPECT_EQ(table.texts.size(), 1u);
    EXPECT_EQ(NVireo::NError::ErrorText(), "");
}

TEST(StringTable, ExtensionBecomesPd) {
    RaisePolicy throwing;
    TempFolder folder;
    OpenPackage(folder, {{"a.pd", StringTableBytes("a", {{1, "pd"}})},
                         {"b.txt.pd", StringTableBytes("b", {{1, "b"}})},
                         {"c.PD", StringTableBytes("c", {{1, "c"}})},
                         {"d.txt", StringTableBytes("d", {{1, "txt"}})}});
    const struct {
        const char* path;
        const char* header;
    } cases[] = {{"a.txt", "a"},     {"a", "a"},    {"a.pd", "a"}, {"A.PD", "a"},
                 {"b.txt.txt", "b"}, {"c.Pd", "c"}, {"c.csv", "c"}};
    for (const auto& c : cases) {
        CStringTable table;
        table.Load(c.path);
        EXPECT_EQ(table.header, c.header) << c.path;
    }
    // "d.txt" itself is never opened: the entry looked up is "d.pd".
    CStringTable table;
    EXPECT_THROW(table.Load("d.txt"), NVireo::NError::CObject);
    EXPECT_NE(Message().find("d.pd"), std::string::npos) << Message();
}

TEST(StringTable, MissingIdNamesTheTableAndTheId) {
    RaisePolicy throwing;
    CStringTable table;
    table.header = "Strings.txt\n";
    table.texts[1] = "one";
    EXPECT_THROW(table.Get(4000000000u), NVireo::NError::CObject);
    EXPECT_EQ(Message(), "Strings.txt\nid=4000000000\n");
}

TEST(StringTable, MissingIdAnswersEmptyWhenTheReportReturns) {
    RaisePolicy returning(2);
    CStringTable table;
    table.header = "h ";
    EXPECT_EQ(table.Get(7), "");
    EXPECT_EQ(Message(), "h id=7\n");
}

TEST(StringTable, DamagedTablesAreReported) {
    const std::string good = StringTableBytes("head", {{1, "abc"}, {2, "de"}});
    const struct {
        const char* what;
        std::string bytes;
        const char* message;
    } cases[] = {
        {"empty", "", "0(0),T=4"},
        {"header length cut", good.substr(0, 3), "0(3),T=4"},
        {"header longer than the table", std::string("\xFF\xFF\xFF\x7F", 4) + "head",
         "4(8),T=2147483647"},
        {"count missing", good.substr(0, 8), "8(8),T=4"},
        {"count too large", good.substr(0, 8) + std::string("\xFF\xFF\xFF\xFF", 4),
         "12(12),T=4294967295"},
        {"text cut", good.substr(0, good.size() - 1), "31(32),T=2"},
        {"entry length cut", good.substr(0, 30), "27(30),T=4"},
    };
    for (const auto& c : cases) {
        RaisePolicy throwing;
        TempFolder folder;
        CStringTable table;
        table.texts[99] = "old";
        EXPECT_THROW(ReadBytes(folder, c.bytes, table), NVireo::NError::CObject) << c.what;
        EXPECT_EQ(Message(), c.message) << c.what;
        EXPECT_EQ(table.texts.count(99), 0u) << c.what;
    }
}

TEST(StringTable, ReadStopsAtTheTablesEnd) {
    // Bytes after the table belong to the next entry and are never read.
    RaisePolicy throwing;
    TempFolder folder;
    const std::string table1 = StringTableBytes("one", {{1, "x"}});
    folder.WriteHostFile("table", table1 + StringTableBytes("two", {{2, "y"}}));
    CBinary file;
    file.Open(folder.ProgramPath("table").c_str(), "rb");
    CStringTable table;
    EXPECT_TRUE(table.Read(file, table1.size()));
    EXPECT_EQ(table.header, "one");
    EXPECT_EQ(table.texts.size(), 1u);
    EXPECT_EQ(file.Position(), table1.size());

    // A table claiming more entries than its bytes hold is refused even when the file
    // goes on.
    CStringTable cut;
    file.Seek(0);
    EXPECT_THROW(cut.Read(file, table1.size() - 1), NVireo::NError::CObject);
}

TEST(StringTable, LaterDuplicateIdReplacesTheEarlier) {
    RaisePolicy throwing;
    TempFolder folder;
    CStringTable table;
    EXPECT_TRUE(ReadBytes(folder, StringTableBytes("", {{1, "a"}, {1, "b"}}), table));
    EXPECT_EQ(table.Get(1), "b");
}

}  // namespace
