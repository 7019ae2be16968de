#include "app/setup/data_paths.h"

#include "framework/error/trace.h"
#include "framework/platform/cp932.h"
#include "framework/platform/file.h"
#include "framework/platform/home.h"

namespace Appli {

namespace {

// Whether text ends with the single-byte character c (a double-byte character whose
// trail byte equals c does not count).
bool EndsWithCharacter(const std::string& text, char c) {
    size_t i = 0, last = std::string::npos;
    while (i < text.size()) {
        last = i;
        i += NVireo::NCp932::CharacterLength(text, i);
    }
    return last != std::string::npos && last == text.size() - 1 && text[last] == c;
}

// Where files of a kind are written: beside (a folder below the home folder) while the
// program writes beside itself, else the user's folder of the kind; beside again when
// the user has none (no HOME).
std::string WritingFolder(NVireo::NFile::EUserFolder kind, const char* beside) {
    if (NVireo::NFile::WritesBesideProgram()) return beside;
    const std::string folder = NVireo::NFile::UserFolder(kind);
    return folder.empty() ? std::string(beside) : folder;
}

}  // namespace

std::string JoinDataPath(const std::string& folder, const std::string& name) {
    SE_MARK();
    if (folder.empty()) return name;
    const char separator = folder.find('/') != std::string::npos ? '/' : '\\';
    std::string path = folder;
    if (!EndsWithCharacter(path, separator)) path += separator;
    return path + name;
}

std::string SettingsFolder() {
    SE_MARK();
    return WritingFolder(NVireo::NFile::EUserFolder::kConfig, kSettingsFolder);
}

std::string StateFolder() {
    SE_MARK();
    return WritingFolder(NVireo::NFile::EUserFolder::kState, "");
}

std::string ReportFolder() {
    SE_MARK();
    const std::string state = StateFolder();
    return (state.empty() ? NVireo::NFile::HomeFolder() : state) + kReportFolderPath;
}

std::string ScreenshotFolder() {
    SE_MARK();
    return WritingFolder(NVireo::NFile::EUserFolder::kPictures, kScreenshotFolder);
}

std::string FindMusicFile(const std::string& name) {
    SE_MARK();
    std::string path = JoinDataPath(kMusicFolder, name);
    if (NVireo::NFile::Exists(path.c_str())) return path;
    if (NVireo::NFile::WritesBesideProgram()) return {};
    const std::string data = NVireo::NFile::UserFolder(NVireo::NFile::EUserFolder::kData);
    if (data.empty()) return {};
    path = JoinDataPath(data, name);
    return NVireo::NFile::Exists(path.c_str()) ? path : std::string();
}

}  // namespace Appli
