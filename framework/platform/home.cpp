#include "framework/platform/home.h"

#include <windows.h>

#include <vector>

#include "framework/error/trace.h"
#include "framework/platform/file.h"

namespace NVireo::NFile {

namespace {

std::string FolderOfExecutable() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) break;
        buffer.resize(buffer.size() * 2);  // truncated: try again with more room
    }
    std::string folder, name;
    SplitPath(buffer.data(), folder, name);
    return folder;
}

char emergencyHome[256] = {};

std::string& Home() {
    static std::string home = FolderOfExecutable();
    return home;
}

}  // namespace

const std::string& HomeFolder() { return Home(); }

void SetHomeFolder(const char* folder) {
    SE_MARK();
    std::string& home = Home();
    home = folder ? folder : "";
    std::string parent, name;
    SplitPath(home.c_str(), parent, name);
    if (!name.empty()) home += '/';
    CopyLimited(emergencyHome, home.c_str(), sizeof emergencyHome - 1);
}

const char* EmergencyHomeFolder() { return emergencyHome; }

bool EnterEmergencyHomeFolder() {
    if (emergencyHome[0] == '\0') return EnterHomeFolder();
    return SetCurrentDirectoryA(emergencyHome) != FALSE;
}

bool EnterHomeFolder() {
    SE_MARK();
    const std::string& home = Home();
    if (home.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    return SetCurrentDirectoryA(home.c_str()) != FALSE;
}

}  // namespace NVireo::NFile
