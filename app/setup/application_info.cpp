// The application information from the program's version record.
#include "app/setup/application_info.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"
#include "framework/text/string_ids.h"
#include "framework/text/string_table.h"

namespace Site = NVireo::NError::NSite::NApplicationInfo;

namespace Appli {
namespace {

// The language and code page of the record's texts: Japanese, code page 932.
constexpr char kTranslation[] = "041103a4";
// Where the fixed information starts in the version resource.
constexpr size_t kFixedInfoOffset = 40;

std::string QueryText(const std::vector<char>& block, const char* name) {
    SE_MARK();
    NVireo::NString::BBasic<char> path;
    path.Format("\\StringFileInfo\\%s\\%s", kTranslation, name);
    LPVOID text = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), path.c_str(), &text, &length) || length == 0) return {};
    return static_cast<const char*>(text);
}

// "%u.%1u%1u.%1u" of the four parts of the file version in the fixed information of
// resource 1 of type RT_VERSION; empty when it is missing.
std::string FixedVersionText() {
    SE_MARK();
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
    if (!resource) return {};
    HGLOBAL loaded = LoadResource(nullptr, resource);
    DWORD size = SizeofResource(nullptr, resource);
    auto bytes = static_cast<const uint8_t*>(loaded ? LockResource(loaded) : nullptr);
    if (!bytes || size < kFixedInfoOffset + sizeof(VS_FIXEDFILEINFO)) return {};
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, bytes + kFixedInfoOffset, sizeof fixed);
    if (fixed.dwSignature != VS_FFI_SIGNATURE) return {};
    NVireo::NString::BBasic<char> text;
    text.Format("%u.%1u%1u.%1u", fixed.dwFileVersionMS >> 16, fixed.dwFileVersionMS & 0xFFFF,
                fixed.dwFileVersionLS >> 16, fixed.dwFileVersionLS & 0xFFFF);
    return text.c_str();
}

}  // namespace

CApplicationInfo& ApplicationInfo() {
    static CApplicationInfo info;
    return info;
}

void LoadApplicationInfo(const char* programPath) {
    SE_MARK();
    CApplicationInfo& info = ApplicationInfo();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(programPath, &handle);
    if (size == 0) {
        const NVireo::NText::CStringTable& strings = NVireo::NText::ApplicationStrings();
        info.productName = strings.Get(StringId::Application::ProductName);
        info.companyName = strings.Get(StringId::Application::CompanyName);
        info.versionText = strings.Get(StringId::Application::VersionText);
        return;
    }
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(programPath, handle, size, block.data())) {
        RecordSystemError();
        Raise(NVireo::NError::kSite, Site::kVersionInfo, "GetFileVersionInfoA");
        return;
    }
    info.productName = QueryText(block, "ProductName");
    info.companyName = QueryText(block, "CompanyName");
    info.versionText = FixedVersionText();
}

std::string WindowTitle() {
    SE_MARK();
    const CApplicationInfo& info = ApplicationInfo();
    return info.productName + " : Ver " + info.versionText;
}

std::string InstanceName() {
    SE_MARK();
    NVireo::NString::BBasic<char> name;
    name.Format("%s %s", ApplicationInfo().productName.c_str(), "");
    return name.c_str();
}

std::string CopyrightLine() {
    SE_MARK();
    NVireo::NString::BBasic<char> line;
    line.Format("Copyright (C) %u %s", kCopyrightYear, ApplicationInfo().companyName.c_str());
    return line.c_str();
}

}  // namespace Appli
