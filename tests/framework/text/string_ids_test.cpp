// The built package against the id lists: every id the code names is in its table, the
// tables hold nothing else, and the texts fit the way the code uses them (printf
// formats, settings-file keys).
#include "framework/text/string_ids.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "framework/package/package.h"
#include "framework/text/string_table.h"
#include "support/test_support.h"

namespace {

using NVireo::NRender::CPackage;
using NVireo::NText::CStringTable;

struct Named {
    const char* name;
    uint32_t id;
};
#define SE_NAMED_ID(name, id) {#name, id},
const std::vector<Named> kApplication = {SE_APPLICATION_STRINGS(SE_NAMED_ID)};
const std::vector<Named> kSystem = {SE_SYSTEM_STRINGS(SE_NAMED_ID)};
#undef SE_NAMED_ID

constexpr bool StrictlyAscending(const uint32_t* ids, size_t count) {
    for (size_t i = 1; i < count; ++i) {
        if (ids[i - 1] >= ids[i]) return false;
    }
    return true;
}
// Each list in id order, so no id is listed twice.
static_assert(StrictlyAscending(StringId::kApplicationIds, std::size(StringId::kApplicationIds)));
static_assert(StrictlyAscending(StringId::kSystemIds, std::size(StringId::kSystemIds)));

// The built program's package, next to se-pack in the build's bin folder.
std::string BuiltPackage() {
    return (std::filesystem::path(SE_PACK_PATH).parent_path() / "Data/package").string();
}

// A table of the built package, read as the program reads it.
CStringTable ReadTable(const char* entryName) {
    RaisePolicy throwing;
    CPackage package;
    package.OpenFrom(HostToProgramPath(BuiltPackage()).c_str());
    NVireo::NFile::NSTDIO::CBinary file;
    CPackage::Entry entry;
    CStringTable table;
    if (package.OpenEntry(file, entry, entryName)) {
        EXPECT_TRUE(table.Read(file, entry.size)) << entryName;
    }
    return table;
}

// The conversions of a printf format ("%%" is none); a "%" that ends the text counts as
// one, named "end".
std::vector<std::string> Conversions(const std::string& text) {
    std::vector<std::string> found;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        if (i + 1 < text.size() && text[i + 1] == '%') {
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < text.size() &&
               std::string("-+ #0123456789.*hlLqjzt").find(text[j]) != std::string::npos)
            ++j;
        found.push_back(j < text.size() ? text.substr(i, j - i + 1) : "end");
        i = j;
    }
    return found;
}

struct Table {
    const char* entry;
    const std::vector<Named>& ids;
};
const Table kTables[] = {{NVireo::NText::kApplicationStringsName, kApplication},
                         {NVireo::NText::kSystemStringsName, kSystem}};

TEST(BuiltStrings, EachTableHoldsExactlyTheListedIds) {
    for (const Table& t : kTables) {
        const CStringTable table =
            ReadTable(NVireo::NFile::ReplaceExtension(t.entry, "pd").c_str());
        EXPECT_FALSE(table.header.empty()) << t.entry;
        std::set<uint32_t> listed;
        for (const Named& n : t.ids) {
            listed.insert(n.id);
            EXPECT_EQ(table.texts.count(n.id), 1u)
                << t.entry << " lacks " << n.name << " (" << n.id << ")";
        }
        for (const auto& [id, text] : table.texts) {
            EXPECT_EQ(listed.count(id), 1u)
                << t.entry << " holds id " << id << ", which no constant names";
        }
    }
}

TEST(BuiltStrings, OnlyTheFormattedTextsHoldConversions) {
    struct Format {
        const char* entry;
        uint32_t id;
        std::vector<std::string> conversions;
    };
    const Format formats[] = {
        {NVireo::NText::kApplicationStringsName, StringId::Application::ShortcutKeyLine, {"%c"}},
        {NVireo::NText::kSystemStringsName, StringId::System::ErrorMessage, {"%s"}},
        {NVireo::NText::kSystemStringsName, StringId::System::ErrorUnwritten, {"%s"}},
    };
    for (const Table& t : kTables) {
        const CStringTable table =
            ReadTable(NVireo::NFile::ReplaceExtension(t.entry, "pd").c_str());
        for (const auto& [id, text] : table.texts) {
            const auto format = std::find_if(
                std::begin(formats), std::end(formats),
                [&](const Format& f) { return std::string(f.entry) == t.entry && f.id == id; });
            if (format != std::end(formats)) {
                EXPECT_EQ(Conversions(text), format->conversions) << t.entry << " " << id;
            } else {
                // Shown as it is: even "%%" would show both signs.
                EXPECT_EQ(text.find('%'), std::string::npos)
                    << t.entry << " " << id << ": " << text;
            }
        }
    }
}

TEST(BuiltStrings, SettingsKeysAreDistinctPlainKeys) {
    const CStringTable table = ReadTable(NVireo::NText::kSystemStringsName);
    std::set<std::string> keys;
    for (const Named& n : kSystem) {
        if (std::string(n.name).rfind("Settings", 0) != 0) continue;
        const auto found = table.texts.find(n.id);
        ASSERT_NE(found, table.texts.end()) << n.name;
        const std::string& key = found->second;
        EXPECT_TRUE(keys.insert(key).second) << n.name << " repeats the key " << key;
        // Written padded to 32 and read back as one token of an "=" separated line.
        EXPECT_FALSE(key.empty()) << n.name;
        EXPECT_LE(key.size(), 32u) << n.name;
        EXPECT_TRUE(std::all_of(key.begin(), key.end(), [](char c) { return c > ' ' && c < 0x7F; }))
            << n.name << ": " << key;
        EXPECT_EQ(key.find_first_of("=\""), std::string::npos) << n.name << ": " << key;
        EXPECT_EQ(key.find("//"), std::string::npos) << n.name << ": " << key;
    }
    EXPECT_EQ(keys.size(), 7u);
}

}  // namespace
