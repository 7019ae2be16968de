#include "framework/platform/home.h"

#include <hostpath.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
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
// Whether SetHomeFolder chose an installed program's data folder.
bool installed = false;

std::string& Home() {
    static std::string home = FolderOfExecutable();
    return home;
}

// Keeps errno and the last error of the calling code across probes of the file system
// and the environment: start-up treats an error number left behind as a failure.
class CQuietProbe {
public:
    CQuietProbe() : errorNumber_(errno), lastError_(GetLastError()) {}
    ~CQuietProbe() {
        errno = errorNumber_;
        SetLastError(lastError_);
    }
    CQuietProbe(const CQuietProbe&) = delete;
    CQuietProbe& operator=(const CQuietProbe&) = delete;

private:
    int errorNumber_;
    DWORD lastError_;
};

bool Present(const std::string& path) { return _access(path.c_str(), 0) == 0; }

// The data folder of an installed program whose executable is in folder ("<prefix>/bin/"),
// or empty when there is none.
std::string InstalledDataFolder(const std::string& folder) {
    if (folder.size() < 2) return {};
    std::string prefix, name;
    SplitPath(folder.substr(0, folder.size() - 1).c_str(), prefix, name);
    if (prefix.empty()) return {};
    const std::string data = prefix + kInstalledDataFolder;
    return Present(data + kProgramPackagePath) ? data : std::string();
}

// An environment variable's value when it is an absolute path, else empty (host bytes).
std::string AbsoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? std::string(value) : std::string();
}

std::string WithoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// What `xdg-user-dir PICTURES` prints, without its line end; empty when the tool is
// missing or prints nothing.
std::string PicturesFolderOfTool() {
    FILE* pipe = popen("xdg-user-dir PICTURES 2>/dev/null", "r");
    if (pipe == nullptr) return {};
    std::string out;
    char buffer[512];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

std::string ReadWholeFile(const std::string& hostPath) {
    std::string text;
    FILE* file = std::fopen(hostPath.c_str(), "rb");
    if (file == nullptr) return text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
    std::fclose(file);
    return text;
}

// The pictures folder (host bytes): the tool's answer unless it names the home folder
// itself (its answer for "none"), else the configuration file's, else ~/Pictures.
std::string PicturesFolder(const std::string& home, const std::string& config) {
    const std::string tool = WithoutTrailingSeparators(PicturesFolderOfTool());
    if (!tool.empty() && tool[0] == '/' && tool != WithoutTrailingSeparators(home)) return tool;
    if (!config.empty()) {
        const std::string named = PicturesFolderOf(ReadWholeFile(config + "/user-dirs.dirs"), home);
        if (!named.empty()) return named;
    }
    return home.empty() ? std::string() : home + "/Pictures";
}

}  // namespace

const std::string& HomeFolder() { return Home(); }

void SetHomeFolder(const char* folder) {
    SE_MARK();
    CQuietProbe quiet;
    std::string& home = Home();
    home = folder ? folder : "";
    std::string parent, name;
    SplitPath(home.c_str(), parent, name);
    if (!name.empty()) home += '/';
    installed = false;
    if (!home.empty() && !Present(home + kProgramPackagePath)) {
        const std::string data = InstalledDataFolder(home);
        if (!data.empty()) {
            home = data;
            installed = true;
        }
    }
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

bool WritesBesideProgram() {
    SE_MARK();
    CQuietProbe quiet;
    return !installed && !Home().empty() && _access(Home().c_str(), 2) == 0;
}

std::string UserFolder(EUserFolder kind) {
    SE_MARK();
    CQuietProbe quiet;
    const char* home = std::getenv("HOME");
    const std::string homeFolder =
        home != nullptr && home[0] == '/' ? WithoutTrailingSeparators(home) : std::string();
    const auto base = [&](const char* variable, const char* belowHome) {
        const std::string value = AbsoluteVariable(variable);
        if (!value.empty()) return WithoutTrailingSeparators(value);
        return homeFolder.empty() ? std::string() : homeFolder + belowHome;
    };
    std::string folder;
    switch (kind) {
        case EUserFolder::kConfig:
            folder = base("XDG_CONFIG_HOME", "/.config");
            break;
        case EUserFolder::kState:
            folder = base("XDG_STATE_HOME", "/.local/state");
            break;
        case EUserFolder::kData:
            folder = base("XDG_DATA_HOME", "/.local/share");
            break;
        case EUserFolder::kPictures:
            folder = PicturesFolder(homeFolder, base("XDG_CONFIG_HOME", "/.config"));
            break;
    }
    if (folder.empty()) return folder;
    if (folder.back() != '/') folder += '/';
    return HostToProgramPath(folder + kUserFolderName + "/");
}

std::string PicturesFolderOf(const std::string& userDirs, const std::string& home) {
    SE_MARK();
    constexpr char kKey[] = "XDG_PICTURES_DIR=\"";
    std::string named;
    size_t start = 0;
    while (start < userDirs.size()) {
        size_t end = userDirs.find('\n', start);
        if (end == std::string::npos) end = userDirs.size();
        const std::string line = userDirs.substr(start, end - start);
        start = end + 1;
        const size_t key = line.find_first_not_of(" \t");
        if (key == std::string::npos || line.compare(key, sizeof kKey - 1, kKey) != 0) continue;
        const size_t value = key + sizeof kKey - 1;
        const size_t close = line.find('"', value);
        if (close == std::string::npos) continue;
        named = line.substr(value, close - value);  // the last assignment wins, as in sh
    }
    if (named.rfind("$HOME", 0) == 0 && (named.size() == 5 || named[5] == '/')) {
        if (home.empty()) return {};
        named = home + named.substr(5);
    }
    if (named.empty() || named[0] != '/') return {};
    named = WithoutTrailingSeparators(named);
    return named == WithoutTrailingSeparators(home) ? std::string() : named;
}

}  // namespace NVireo::NFile
