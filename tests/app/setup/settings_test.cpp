// The data paths and the settings file: the exact bytes SaveSettings writes for both
// window styles, and what LoadSettings takes from files written by hand.
#include "app/setup/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/setup/data_paths.h"
#include "framework/error/error.h"
#include "framework/package/package.h"
#include "framework/platform/home.h"
#include "framework/text/string_table.h"
#include "support/test_support.h"
#include "tools/packer/pack.h"

namespace {

using Appli::CSettings;
using Appli::JoinDataPath;

TEST(DataPaths, Join) {
    const struct {
        const char* folder;
        const char* name;
        const char* path;
    } cases[] = {
        {"Data", "settings.ini", "Data\\settings.ini"},
        {"", "settings.ini", "settings.ini"},
        {"Data\\", "settings.ini", "Data\\settings.ini"},
        {"pd/se/", "ok.wav", "pd/se/ok.wav"},
        {"pd/se", "ok.wav", "pd/se/ok.wav"},
        {"./", "bgm.wma", "./bgm.wma"},
        {"a\\b/c", "x", "a\\b/c/x"},
        {"a/b\\", "x", "a/b\\/x"},
        // 表 ends in the byte of a backslash, which is not a separator.
        {"\x95\x5C", "x", "\x95\x5C\\x"},
        {"\x95\x5C\\", "x", "\x95\x5C\\x"},
    };
    for (const auto& c : cases) EXPECT_EQ(JoinDataPath(c.folder, c.name), c.path) << c.folder;
    EXPECT_EQ(Appli::SettingsPath(), "Data\\settings.ini");
}

// The keys the tests' system table holds, in id order.
const Appli::CSettingsKeys kKeys = {"ProductName", "Format",      "Left",        "Top",
                                    "Maximised",   "ClientWidth", "ClientHeight"};

// A home folder of its own with a program package whose system table holds kKeys.
class SettingsTest : public ::testing::Test {
protected:
    RaisePolicy throwing;
    TempFolder folder;
    std::string previousHome = NVireo::NFile::HomeFolder();
    std::filesystem::path previousFolder = std::filesystem::current_path();
    CSettings previousSettings = Appli::Settings();

    void SetUp() override {
        std::vector<std::pair<uint32_t, std::string>> entries;
        for (size_t i = 0; i < kKeys.size(); ++i)
            entries.emplace_back(Appli::kSettingsKeyIds[i], kKeys[i]);
        std::filesystem::create_directories(folder / "src/program/string");
        folder.WriteHostFile("src/program/string/system.pd",
                             NVireo::NText::StringTableBytes("system\n", entries));
        std::string reason;
        ASSERT_TRUE(PackFolder(folder / "package", folder / "src", 3, reason)) << reason;
        NVireo::NRender::ProgramPackage().OpenFrom(folder.ProgramPath("package").c_str());
        NVireo::NText::SystemStrings().Load(NVireo::NText::kSystemStringsName);
        NVireo::NFile::SetHomeFolder(folder.Program().c_str());
        ASSERT_TRUE(NVireo::NFile::EnterHomeFolder());
        Appli::Settings() = CSettings{};
    }
    void TearDown() override {
        EXPECT_EQ(NVireo::NError::ErrorText(), "");
        NVireo::NFile::SetHomeFolder(previousHome.c_str());
        std::filesystem::current_path(previousFolder);
        Appli::Settings() = previousSettings;
        NVireo::NText::SystemStrings() = NVireo::NText::CStringTable{};
    }

    std::string SavedFile() const { return folder.ReadHostFile("Data/settings.ini"); }
    void WriteSettingsFile(const std::string& text) const {
        std::filesystem::create_directories(folder / "Data");
        folder.WriteHostFile("Data/settings.ini", text);
    }
};

const char kFixedForm[] =
    "ProductName                     =SE Retimer\n"
    "Format                          =1\n"
    "\n"
    "\n"
    "Left                            =-10000\n"
    "Top                             =25\n"
    "\n"
    "\n";

const char kResizableForm[] =
    "ProductName                     =SE Retimer\n"
    "Format                          =1\n"
    "\n"
    "\n"
    "Left                            =12\n"
    "Top                             =-3\n"
    "\n"
    "Maximised                       =1\n"
    "\n"
    "\n"
    "ClientWidth                     =800\n"
    "ClientHeight                    =600\n"
    "\n";

TEST_F(SettingsTest, SavesTheFixedForm) {
    Appli::Settings().left = -10000;
    Appli::Settings().top = 25;
    Appli::Settings().clientWidth = 800;  // not written for a window that keeps its size
    Appli::Settings().style = 0x00CA0000;
    std::filesystem::current_path(folder / "..");  // saving makes the home folder current
    Appli::SaveSettings("SE Retimer");
    EXPECT_EQ(SavedFile(), kFixedForm);
    EXPECT_EQ(std::filesystem::current_path(), folder.Host());
}

TEST_F(SettingsTest, SavesTheResizableForm) {
    CSettings& s = Appli::Settings();
    s = {12, -3, 1, 800, 600, 0, Appli::kResizableStyle, false};
    Appli::SaveSettings("SE Retimer");
    EXPECT_EQ(SavedFile(), kResizableForm);
}

TEST_F(SettingsTest, SaveReplacesTheOldFile) {
    WriteSettingsFile(std::string(5000, 'x'));
    Appli::Settings() = CSettings{-10000, 25, 0, 0, 0, 0, 0, false};
    Appli::SaveSettings("SE Retimer");
    EXPECT_EQ(SavedFile(), kFixedForm);
}

TEST(SettingsText, LongKeysAndCodePage932AreNotPadded) {
    Appli::CSettingsKeys keys = kKeys;
    keys[0] = std::string(40, 'K');
    keys[1] = "\x83\x74\x83\x48\x81\x5B\x83\x7D\x83\x62\x83\x67";  // フォーマット: 12 bytes
    const std::string text = Appli::SettingsText(CSettings{}, keys, "");
    EXPECT_EQ(text.substr(0, 42), std::string(40, 'K') + "=\n");
    EXPECT_EQ(text.substr(42, 35), keys[1] + std::string(20, ' ') + "=1\n");
}

TEST_F(SettingsTest, LoadsWhatWasSaved) {
    Appli::Settings() = CSettings{12, -3, 1, 800, 600, 0, Appli::kResizableStyle, false};
    Appli::SaveSettings("SE Retimer");
    Appli::Settings() = CSettings{};
    EXPECT_TRUE(Appli::LoadSettings());
    const CSettings& s = Appli::Settings();
    EXPECT_EQ(s.left, 12);
    EXPECT_EQ(s.top, -3);
    EXPECT_EQ(s.maximised, 1u);
    EXPECT_EQ(s.clientWidth, 800u);
    EXPECT_EQ(s.clientHeight, 600u);
    EXPECT_EQ(s.formatMarker, 1u);
}

TEST_F(SettingsTest, MissingFileAnswersFalseAndKeepsTheValues) {
    Appli::Settings().left = 77;
    EXPECT_FALSE(Appli::LoadSettings());
    EXPECT_EQ(Appli::Settings().left, 77);
}

TEST_F(SettingsTest, LineRules) {
    const struct {
        const char* what;
        const char* line;
        int32_t left;
    } cases[] = {
        {"centred", "Left=-10000\n", -10000},
        {"padded key", "Left                            =40\n", 40},
        {"blanks and tabs", " \tLeft\t = \t41 \r\n", 41},
        {"comment after", "Left=42 // was 7\n", 42},
        {"quoted", "\"Left\"=\"43\"\n", 43},
        {"last line without end", "Left=44", 44},
        {"other case", "left=45\n", 5},
        {"upper case", "LEFT=45\n", 5},
        {"three tokens", "Left=46=1\n", 5},
        {"one token", "Left\n", 5},
        {"commented out", "// Left=47\n", 5},
        {"key with a blank inside", "Le ft=48\n", 5},
        {"unknown key", "Width=49\n", 5},
        {"product line", "ProductName=50\n", 5},
        {"not a number", "Left=x\n", 0},
        {"the later line wins", "Left=51\nLeft=52\n", 52},
    };
    for (const auto& c : cases) {
        WriteSettingsFile(c.line);
        Appli::Settings() = CSettings{};
        Appli::Settings().left = 5;
        EXPECT_TRUE(Appli::LoadSettings()) << c.what;
        EXPECT_EQ(Appli::Settings().left, c.left) << c.what;
    }
}

TEST_F(SettingsTest, UnknownLinesAreGoneAfterTheNextSave) {
    WriteSettingsFile(
        "// written by hand\n"
        "ProductName = Something Else\n"
        "Volume = 80\n"
        "Left = -10000\n"
        "top = 99\n"
        "Top = 25\n"
        "Maximised = 1\n"
        "garbage line\n");
    ASSERT_TRUE(Appli::LoadSettings());
    EXPECT_EQ(Appli::Settings().maximised, 1u);
    Appli::SaveSettings("SE Retimer");
    EXPECT_EQ(SavedFile(), kFixedForm);
}

TEST_F(SettingsTest, KeysComeFromTheSystemTable) {
    NVireo::NText::SystemStrings().texts.erase(11030);
    EXPECT_THROW(Appli::SaveSettings("SE Retimer"), NVireo::NError::CObject);
    EXPECT_EQ(std::string(NVireo::NError::Record().message), "system\nid=11030\n");
    NVireo::NError::Clear();
}

}  // namespace
