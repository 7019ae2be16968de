// The program's version record as the layer serves it, and the application information,
// window title, instance name and copyright line built from it (or, without a record,
// from the application strings).
#include "app/setup/application_info.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/setup/error_handlers.h"
#include "framework/package/package.h"
#include "framework/text/string_ids.h"
#include "framework/text/string_table.h"
#include "support/test_support.h"
#include "tools/packer/pack.h"

namespace {

std::string ProgramFile() {
    char path[MAX_PATH];
    EXPECT_GT(GetModuleFileNameA(nullptr, path, sizeof path), 0u);
    return path;
}

std::vector<char> VersionBlock(const std::string& path) {
    DWORD handle = 1;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    EXPECT_EQ(handle, 0u);
    std::vector<char> block(size);
    if (size) {
        EXPECT_TRUE(GetFileVersionInfoA(path.c_str(), handle, size, block.data()));
    }
    return block;
}

TEST(VersionRecord, OnlyTheProgramsOwnFileHasOne) {
    TempFolder folder;
    std::filesystem::create_symlink(ProgramToHostPath(ProgramFile()), folder / "link");
    folder.WriteHostFile("other", "not a program");
    const struct {
        std::string path;
        bool hasRecord;
        DWORD error;
    } cases[] = {
        {ProgramFile(), true, 0},
        {folder.ProgramPath("link"), true, 0},
        {folder.ProgramPath("other"), false, ERROR_RESOURCE_TYPE_NOT_FOUND},
        {folder.ProgramPath("missing"), false, ERROR_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        DWORD size = GetFileVersionInfoSizeA(c.path.c_str(), nullptr);
        EXPECT_EQ(size > 0, c.hasRecord) << c.path;
        if (!c.hasRecord) {
            EXPECT_EQ(GetLastError(), c.error) << c.path;
        }
    }
    // A block smaller than the answer is refused, not overrun.
    DWORD size = GetFileVersionInfoSizeA(ProgramFile().c_str(), nullptr);
    std::vector<char> small(size - 1);
    EXPECT_FALSE(GetFileVersionInfoA(ProgramFile().c_str(), 0, size - 1, small.data()));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST(VersionRecord, Queries) {
    std::vector<char> block = VersionBlock(ProgramFile());
    ASSERT_FALSE(block.empty());
    const struct {
        const char* path;
        const char* text;  // null: a binary value or nothing
        bool found;
    } cases[] = {
        {"\\StringFileInfo\\041103a4\\ProductName", "SE Retimer", true},
        {"\\stringfileinfo\\041103A4\\companyname", "SE Retimer Project", true},
        {"\\StringFileInfo\\041103a4\\FileVersion", "1.0.0.1", true},
        {"\\StringFileInfo\\041103a4\\Comments", nullptr, false},
        {"\\StringFileInfo\\040904b0\\ProductName", nullptr, false},
        {"\\StringFileInfo\\041103a4\\ProductName\\More", nullptr, false},
        {"\\VarFileInfo\\Translation", nullptr, true},
        {"\\", nullptr, true},
    };
    for (const auto& c : cases) {
        LPVOID value = nullptr;
        UINT length = 0;
        EXPECT_EQ(VerQueryValueA(block.data(), c.path, &value, &length) != FALSE, c.found)
            << c.path;
        if (c.text) {
            EXPECT_STREQ(static_cast<const char*>(value), c.text) << c.path;
            EXPECT_EQ(length, std::strlen(c.text) + 1) << c.path;
        }
    }
    LPVOID value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &value, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    auto fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fixed->dwSignature, VS_FFI_SIGNATURE);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 4u);
    DWORD translation;
    std::memcpy(&translation, value, 4);
    EXPECT_EQ(translation, 0x03A40411u);  // Japanese, code page 932
}

TEST(VersionRecord, TheResourceHoldsTheFixedInformationFortyBytesIn) {
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
    ASSERT_NE(resource, nullptr);
    auto bytes = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, resource)));
    ASSERT_GE(SizeofResource(nullptr, resource), 40 + sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, bytes + 40, sizeof fixed);
    EXPECT_EQ(fixed.dwSignature, VS_FFI_SIGNATURE);
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(2), RT_VERSION), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(3)), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_TYPE_NOT_FOUND);
}

// Keeps the process-wide information and tables as they were.
class ApplicationInfoTest : public ::testing::Test {
protected:
    RaisePolicy throwing;
    Appli::CApplicationInfo previousInfo = Appli::ApplicationInfo();
    NVireo::NText::CStringTable previousApplication = NVireo::NText::ApplicationStrings();
    NVireo::NText::CStringTable previousSystem = NVireo::NText::SystemStrings();
    void TearDown() override {
        Appli::ApplicationInfo() = previousInfo;
        NVireo::NText::ApplicationStrings() = previousApplication;
        NVireo::NText::SystemStrings() = previousSystem;
    }
};

TEST_F(ApplicationInfoTest, FromTheVersionRecord) {
    Appli::LoadApplicationInfo(ProgramFile().c_str());
    const Appli::CApplicationInfo& info = Appli::ApplicationInfo();
    EXPECT_EQ(info.productName, "SE Retimer");
    EXPECT_EQ(info.companyName, "SE Retimer Project");
    EXPECT_EQ(info.versionText, "1.00.1");
    EXPECT_EQ(Appli::WindowTitle(), "SE Retimer : Ver 1.00.1");
    EXPECT_EQ(Appli::InstanceName(), "SE Retimer ");
    EXPECT_EQ(Appli::CopyrightLine(), "Copyright (C) 2026 SE Retimer Project");
}

TEST_F(ApplicationInfoTest, WithoutARecordTheApplicationStringsStandIn) {
    TempFolder folder;
    std::filesystem::create_directories(folder / "src/program/string");
    folder.WriteHostFile("src/program/string/strings.pd",
                         NVireo::NText::StringTableBytes(
                             "strings\n", {{StringId::Application::ProductName, "Tool"},
                                           {StringId::Application::CompanyName, "Maker"},
                                           {StringId::Application::VersionText, "2.00.3"}}));
    std::string reason;
    ASSERT_TRUE(PackFolder(folder / "package", folder / "src", 3, reason)) << reason;
    NVireo::NRender::ProgramPackage().OpenFrom(folder.ProgramPath("package").c_str());
    NVireo::NText::ApplicationStrings().Load(NVireo::NText::kApplicationStringsName);
    folder.WriteHostFile("plain", "no record here");

    Appli::LoadApplicationInfo(folder.ProgramPath("plain").c_str());
    EXPECT_EQ(Appli::WindowTitle(), "Tool : Ver 2.00.3");
    EXPECT_EQ(Appli::InstanceName(), "Tool ");
    EXPECT_EQ(Appli::CopyrightLine(), "Copyright (C) 2026 Maker");
}

TEST_F(ApplicationInfoTest, ErrorMessagesUseTheSystemTableOnceLoaded) {
    NVireo::NText::SystemStrings() = NVireo::NText::CStringTable{};
    Appli::ApplicationInfo() = Appli::CApplicationInfo{};
    Appli::CErrorMessageTexts builtIn = Appli::ErrorMessageTexts();
    EXPECT_STREQ(builtIn.productName, "SE Retimer");
    EXPECT_NE(std::strstr(builtIn.message, "%s"), nullptr);
    EXPECT_NE(std::strstr(builtIn.unwritten, "%s"), nullptr);

    NVireo::NText::SystemStrings().texts = {{StringId::System::ErrorCaption, "Caption"},
                                            {StringId::System::ErrorMessage, "See %s"},
                                            {StringId::System::ErrorUnwritten, "Not in %s"}};
    Appli::ApplicationInfo().productName = "Tool";
    NVireo::NString::BBasic<char> text, caption;
    Appli::ComposeErrorMessage(text, caption, "/home/u/.local/state/se-retimer/error/");
    EXPECT_STREQ(caption.c_str(), "Caption:Tool");
    EXPECT_STREQ(text.c_str(), "See /home/u/.local/state/se-retimer/error");
}

}  // namespace
